#pragma once

#include "db/DataAccess.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

struct UiTexts;

// What the window answers while a connection opens: the SSH tunnel's questions (an unknown
// host key, a key's passphrase, a password) and the database password that a profile does not
// keep. The questions come from the connection's worker and are asked on the window's thread;
// a secret comes from the keyring first when a profile is current, and goes into it when the
// user asks for that. Secrets are never logged. Lives as a child of the window it asks over.
class ConnectPrompts : public QObject
{
    Q_OBJECT

public:
    // profile: the current profile file, the keyring's key (empty: none); log: where keyring
    // failures are told.
    ConnectPrompts(QWidget *window, std::function<QString()> profile,
                   std::function<void(const QString &)> log);

    ConnectAsker asker();
    // Looks every few seconds whether the connection's session ended by itself while idle (an SSH
    // tunnel that dropped): it is then closed as a lost session, and why is logged, so the
    // window shows it at once and Refresh opens it again.
    void watch(Connection *connection);
    static constexpr int WatchIntervalMs = 2000;
    // For a string that asks for its password when connecting: the password from the keyring,
    // else from the password dialog, set on the connection. False when the user cancelled.
    bool supplyPassword(Connection &connection);

    // The string keeps no password and wants one asked: Persist Security Info=False, a user, no
    // Password (or PWD) of its own, and no Integrated Security.
    static bool asksForPassword(const QString &connectionString);
    // The string says it keeps no password (Persist Security Info=False), whether it holds one
    // now or not.
    static bool keepsNoPassword(const QString &connectionString);
    // The string to write into a profile that does not keep its password.
    static QString withoutPassword(const QString &connectionString);
    // The string holds a password of its own.
    static bool holdsPassword(const QString &connectionString);

private:
    std::optional<QString> answer(const ConnectQuestion &question);
    std::optional<QString> secret(const QString &kind, const QString &text, bool fromKeyring);

    QPointer<QWidget> m_window;
    Connection *m_connection = nullptr;
    bool m_checkQueued = false;
    std::function<QString()> m_profile;
    std::function<void(const QString &)> m_log;
};
