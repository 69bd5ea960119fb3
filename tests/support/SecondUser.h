#pragma once

#include <QString>
#include <QtTest/QTest>

#include <sys/types.h>

// Another user of the machine, made for a test with useradd and removed again with userdel, so
// that files can be planted the way somebody else would plant them (a symlink of theirs in a
// shared folder). Only root can make one.
class SecondUser
{
public:
    SecondUser();
    ~SecondUser();
    SecondUser(const SecondUser &) = delete;
    SecondUser &operator=(const SecondUser &) = delete;

    // False when no user could be made; why() says why.
    bool isValid() const { return !m_name.isEmpty(); }
    QString why() const { return m_why; }
    uid_t uid() const { return m_uid; }
    gid_t gid() const { return m_gid; }

    // A folder like /tmp: everyone may write to it and its sticky bit keeps each one's entries
    // their own. Made under base, owned by root; empty when it cannot be made.
    static QString makeSharedFolder(const QString &base);
    // A symlink at link pointing to target, owned by this user as if they had made it.
    bool plantLink(const QString &target, const QString &link) const;

    // True when a test that needs a second user must run: as root, or in CI.
    static bool required();

private:
    QString m_name;
    QString m_why;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
};

// In a test function: declares `var`, a second user, or skips the test when none can be made
// (fails it where one must be: as root or in CI).
#define ORVESSA_REQUIRE_SECOND_USER(var)                                                                     \
    SecondUser var;                                                                                          \
    do {                                                                                                     \
        if (!var.isValid()) {                                                                                \
            if (SecondUser::required())                                                                      \
                QFAIL(qPrintable(var.why()));                                                                \
            QSKIP(qPrintable(QStringLiteral("no second user to plant files as: ") + var.why()));             \
        }                                                                                                    \
    } while (false)
