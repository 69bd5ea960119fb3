#include "SecondUser.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool run(const QString &program, const QStringList &arguments, QString *output)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool done = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
                      process.exitCode() == 0;
    if (output)
        *output = QString::fromLocal8Bit(process.readAll()).trimmed();
    return done;
}

} // namespace

SecondUser::SecondUser()
{
    if (::geteuid() != 0) {
        m_why = QStringLiteral("only root can add a second user");
        return;
    }
    const QString name = QStringLiteral("orvessa-t%1").arg(::getpid());
    QString output;
    if (!run(QStringLiteral("useradd"),
             {QStringLiteral("--system"), QStringLiteral("--no-create-home"), QStringLiteral("--user-group"),
              QStringLiteral("--shell"), QStringLiteral("/usr/sbin/nologin"), name},
             &output)) {
        m_why = QStringLiteral("useradd failed: ") + output;
        return;
    }
    const struct passwd *entry = ::getpwnam(QFile::encodeName(name).constData());
    if (!entry) {
        m_why = QStringLiteral("the new user is not known");
        run(QStringLiteral("userdel"), {name}, nullptr);
        return;
    }
    m_uid = entry->pw_uid;
    m_gid = entry->pw_gid;
    m_name = name;
}

SecondUser::~SecondUser()
{
    if (!m_name.isEmpty())
        run(QStringLiteral("userdel"), {m_name}, nullptr);
}

QString SecondUser::makeSharedFolder(const QString &base)
{
    const QString folder = QDir(base).filePath(QStringLiteral("shared"));
    if (!QDir().mkpath(folder) || ::chmod(QFile::encodeName(folder).constData(), 01777) != 0)
        return QString();
    return folder;
}

bool SecondUser::plantLink(const QString &target, const QString &link) const
{
    const QByteArray path = QFile::encodeName(link);
    return ::symlink(QFile::encodeName(target).constData(), path.constData()) == 0 &&
           ::lchown(path.constData(), m_uid, m_gid) == 0;
}

bool SecondUser::required()
{
    return ::geteuid() == 0 || qEnvironmentVariable("CI") == QLatin1String("true");
}
