#include "db/TlsSettings.h"

#include "db/ConnectionString.h"
#include "db/DataAccess.h"

#include <QFileInfo>

const char *const TlsSettings::ModeKey = "SSL Mode";
const char *const TlsSettings::CaFileKey = "SSL CA File";
const char *const TlsSettings::CertFileKey = "SSL Cert File";
const char *const TlsSettings::KeyFileKey = "SSL Key File";

namespace {

struct ModeName
{
    TlsSettings::Mode mode;
    const char *name;
};

constexpr ModeName kModes[] = {
    {TlsSettings::Mode::Disable, "disable"},    {TlsSettings::Mode::Allow, "allow"},
    {TlsSettings::Mode::Prefer, "prefer"},      {TlsSettings::Mode::Require, "require"},
    {TlsSettings::Mode::VerifyCa, "verify-ca"}, {TlsSettings::Mode::VerifyFull, "verify-full"},
};

} // namespace

TlsSettings TlsSettings::fromConnectionString(const ConnectionString &cs)
{
    TlsSettings tls;
    const QString mode = cs.value(QLatin1String(ModeKey)).trimmed();
    if (!mode.isEmpty()) {
        bool known = false;
        for (const ModeName &m : kModes) {
            if (mode.compare(QLatin1String(m.name), Qt::CaseInsensitive) == 0) {
                tls.mode = m.mode;
                known = true;
            }
        }
        if (!known)
            throw DataAccessError(QStringLiteral("The %1 \"%2\" is not known; use disable, allow, prefer, "
                                                 "require, verify-ca or verify-full.")
                                      .arg(QLatin1String(ModeKey), mode));
    }
    tls.caFile = cs.value(QLatin1String(CaFileKey));
    tls.certFile = cs.value(QLatin1String(CertFileKey));
    tls.keyFile = cs.value(QLatin1String(KeyFileKey));
    return tls;
}

QString TlsSettings::trustedCaFile() const
{
    if (!caFile.isEmpty())
        return caFile;
    if (!verifies())
        return QString();
    const QString bundle = systemCaBundle();
    if (!QFileInfo::exists(bundle))
        throw DataAccessError(QStringLiteral("No CA file was given and the system's certificate store %1 "
                                             "does not exist (package ca-certificates).")
                                  .arg(bundle));
    return bundle;
}

QString TlsSettings::explainFailure(const QString &text, const QString &host) const
{
    if (!verifies())
        return text;
    auto has = [&text](const char *part) { return text.contains(QLatin1String(part), Qt::CaseInsensitive); };
    if (has("certificate verify failed") || has("self-signed certificate") ||
        has("unable to get local issuer")) {
        QString ca;
        try {
            ca = trustedCaFile();
        } catch (const DataAccessError &) {
        }
        return text + QStringLiteral(" (The server's certificate was not issued by a CA in %1.)").arg(ca);
    }
    if (has("Validation of SSL server certificate failed") && mode == Mode::VerifyFull)
        return text + QStringLiteral(" (The server's certificate does not name the host \"%1\".)").arg(host);
    return text;
}

QString TlsSettings::modeName(Mode mode)
{
    for (const ModeName &m : kModes) {
        if (m.mode == mode)
            return QLatin1String(m.name);
    }
    return QString();
}

QString systemCaBundle()
{
    return QStringLiteral("/etc/ssl/certs/ca-certificates.crt");
}
