#pragma once

#include <QString>

#include <optional>

// Passwords kept in the desktop's Secret Service (GNOME Keyring, KWallet) through libsecret,
// keyed by the profile file and what the password is for, never in a file of the program's.
// Every call gives up after a short time, so a session without a keyring (a plain X session,
// a remote desktop) never hangs; it is asked on the thread that runs Qt's event loop.
class Keyring
{
public:
    enum class State { Available, NoBus, NoService, NoAnswer };

    // Whether a Secret Service answers on the session bus now.
    static State state();

    // kind: "database" or "ssh".
    static std::optional<QString> lookup(const QString &profile, const QString &kind);
    // False with the reason in error.
    static bool store(const QString &profile, const QString &kind, const QString &label,
                      const QString &secret, QString *error);
    static void remove(const QString &profile, const QString &kind);

    static constexpr int TimeoutMs = 3000;
};
