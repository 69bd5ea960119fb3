#include "connection/SessionSecurityText.h"

#include "shell/texts/UiTexts.h"

namespace sessionsecurity {

QString logLine(const SessionSecurity &s, const UiTexts &t)
{
    if (!s.network && s.tunnel.isEmpty())
        return QString();
    QStringList parts;
    if (!s.tunnel.isEmpty())
        parts.append(t.securityTunnel.arg(s.tunnel));
    if (!s.known) {
        parts.append(t.securityUnknown);
    } else if (!s.encrypted) {
        parts.append(s.tunnel.isEmpty() ? t.securityNotEncrypted.arg(s.host)
                                        : t.securityBeyondTunnel.arg(s.host));
    } else {
        QString line = t.securityEncrypted.arg(s.protocol, s.cipher) + QStringLiteral("; ");
        if (!s.verifiedName.isEmpty())
            line += t.securityVerifiedFor.arg(s.verifiedName);
        else
            line += s.verified ? t.securityChainVerified : t.securityNotVerified;
        parts.append(line);
    }
    return parts.join(QStringLiteral("; "));
}

QString caption(const QString &caption, const SessionSecurity &s, const UiTexts &t)
{
    return s.exposed() ? caption + QLatin1Char(' ') + t.captionNotEncrypted : caption;
}

} // namespace sessionsecurity
