#include "connection/ConnectPrompts.h"

#include "connection/Keyring.h"
#include "db/ConnectionString.h"
#include "shell/Language.h"
#include "shell/MessageDialog.h"
#include "shell/Prompt.h"
#include "shell/texts/UiTexts.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

namespace {

const UiTexts &currentTexts()
{
    return uiTexts();
}

bool isFalse(const QString &value)
{
    const QString v = value.trimmed();
    return v.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 ||
           v.compare(QLatin1String("no"), Qt::CaseInsensitive) == 0 || v == QLatin1String("0");
}

const QString kPersist = QStringLiteral("Persist Security Info");

} // namespace

ConnectPrompts::ConnectPrompts(QWidget *window, std::function<QString()> profile,
                               std::function<void(const QString &)> log)
    : QObject(window), m_window(window), m_profile(std::move(profile)), m_log(std::move(log))
{
}

bool ConnectPrompts::keepsNoPassword(const QString &connectionString)
{
    try {
        return isFalse(ConnectionString(connectionString).value(kPersist));
    } catch (const DataAccessError &) {
        return false;
    }
}

bool ConnectPrompts::asksForPassword(const QString &connectionString)
{
    if (!keepsNoPassword(connectionString) || holdsPassword(connectionString))
        return false;
    // A login of the system's (Integrated Security) or without a user has no password to ask.
    const ConnectionString cs(connectionString);
    const QString integrated =
        cs.value({QStringLiteral("Integrated Security"), QStringLiteral("Trusted_Connection")});
    return !cs.value({QStringLiteral("User ID"), QStringLiteral("UID")}).isEmpty() &&
           (integrated.isEmpty() || isFalse(integrated));
}

bool ConnectPrompts::holdsPassword(const QString &connectionString)
{
    try {
        return !ConnectionString(connectionString)
                    .value({QStringLiteral("Password"), QStringLiteral("PWD")})
                    .isEmpty();
    } catch (const DataAccessError &) {
        return false;
    }
}

QString ConnectPrompts::withoutPassword(const QString &connectionString)
{
    ConnectionString cs(connectionString);
    for (const char *name : {"Password", "PWD", "SSH Password"})
        cs.remove(QLatin1String(name));
    cs.setValue(kPersist, QStringLiteral("False"));
    return cs.toString();
}

void ConnectPrompts::watch(Connection *connection)
{
    m_connection = connection;
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this] {
        if (!m_connection || !m_connection->isOpen() || m_checkQueued)
            return;
        // Never under a command that runs: the check waits until the connection is idle.
        m_checkQueued = true;
        QPointer<ConnectPrompts> self(this);
        m_connection->whenIdle([self] {
            if (!self)
                return;
            self->m_checkQueued = false;
            const QString reason = self->m_connection->closeIfEnded();
            if (!reason.isEmpty() && self->m_log)
                self->m_log(reason);
        });
    });
    timer->start(WatchIntervalMs);
}

ConnectAsker ConnectPrompts::asker()
{
    return [this](const ConnectQuestion &question) -> std::optional<QString> {
        if (QThread::currentThread() == QCoreApplication::instance()->thread())
            return answer(question);
        // The window's thread waits for the work in an event loop of its own: it asks there.
        std::optional<QString> result;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&] { result = answer(question); }, Qt::BlockingQueuedConnection);
        return result;
    };
}

std::optional<QString> ConnectPrompts::answer(const ConnectQuestion &q)
{
    const UiTexts &t = currentTexts();
    switch (q.kind) {
    case ConnectQuestion::Kind::HostKey:
        if (showMessageDialog(t.hostKeyQuestion.arg(q.destination, q.fingerprint), mtConfirmation,
                              mbYes | mbNo, 0, m_window) == mrYes)
            return QStringLiteral("yes");
        return std::nullopt;
    case ConnectQuestion::Kind::Passphrase:
        return secret(QStringLiteral("ssh"), t.passphraseForKey.arg(q.keyFile), q.repeat == 0);
    case ConnectQuestion::Kind::Password:
        return secret(QStringLiteral("ssh"), t.passwordForSsh.arg(q.destination), q.repeat == 0);
    case ConnectQuestion::Kind::Other:
        break;
    }
    return secret(QString(), t.sshQuestion.arg(q.destination, q.prompt), false);
}

std::optional<QString> ConnectPrompts::secret(const QString &kind, const QString &text, bool fromKeyring)
{
    const UiTexts &t = currentTexts();
    const QString profile = m_profile ? m_profile() : QString();
    const bool keyed = !profile.isEmpty() && !kind.isEmpty();
    // A secret the keyring gave that was refused is asked the next time round.
    if (keyed && fromKeyring) {
        if (std::optional<QString> kept = Keyring::lookup(profile, kind))
            return kept;
    }
    PasswordRequest request;
    request.caption = t.passwordCaption;
    request.text = text;
    request.keyringLabel = t.rememberInKeyring;
    if (!keyed) {
        request.keyringNote = kind.isEmpty() ? QString() : t.keyringNeedsProfile;
    } else {
        switch (Keyring::state()) {
        case Keyring::State::Available:
            request.keyringOffered = true;
            break;
        case Keyring::State::NoBus:
            request.keyringNote = t.keyringNoBus;
            break;
        case Keyring::State::NoService:
            request.keyringNote = t.keyringNoService;
            break;
        case Keyring::State::NoAnswer:
            request.keyringNote = t.keyringNoAnswer;
            break;
        }
    }
    const std::optional<PasswordAnswer> given = prompt().passwordDialog(m_window, request);
    if (!given)
        return std::nullopt;
    if (given->remember && keyed) {
        QString error;
        const QString label = QStringLiteral("Orvessa: %1 (%2)").arg(QFileInfo(profile).fileName(), kind);
        if (!Keyring::store(profile, kind, label, given->secret, &error) && m_log)
            m_log(error);
    }
    return given->secret;
}

bool ConnectPrompts::supplyPassword(Connection &connection)
{
    const QString cs = connection.connectionString();
    if (!asksForPassword(cs) || connection.hasPassword())
        return true;
    QString where;
    QString user;
    try {
        const ConnectionString parsed(cs);
        where =
            parsed.value({QStringLiteral("Data Source"), QStringLiteral("Server"), QStringLiteral("DSN")});
        user = parsed.value({QStringLiteral("User ID"), QStringLiteral("UID")});
    } catch (const DataAccessError &) {
    }
    const std::optional<QString> password =
        secret(QStringLiteral("database"), currentTexts().passwordForDatabase.arg(user, where), true);
    if (!password)
        return false;
    connection.setPassword(*password);
    return true;
}
