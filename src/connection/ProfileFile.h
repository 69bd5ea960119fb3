#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/types.h>

// An INI profile file read and written by the rules of the Windows profile-string functions, so
// profiles move both ways between the platforms: section and key names without regard to letter
// case, blanks around names and values trimmed, one pair of surrounding quotes taken off a value,
// other sections and keys kept in order on write. Text is read as UTF-16LE (with BOM), UTF-8
// (with BOM, or when valid) or Windows-1252; it is written with CRLF line ends as Windows-1252
// when every character fits, else as UTF-16LE with BOM.
class ProfileFile
{
public:
    ProfileFile() = default;

    static ProfileFile fromBytes(const QByteArray &bytes);
    // A missing or unreadable file gives an empty profile.
    static ProfileFile load(const QString &fileName);

    // The value of key in section; "" when either is missing. The value is read whole.
    QString value(const QString &section, const QString &key) const;
    // Sets key in section, adding the section at the end and the key at the end of the section
    // when they are missing.
    void setValue(const QString &section, const QString &key, const QString &value);

    // What a write did besides writing, for the caller to tell the user.
    struct Written
    {
        // Why the file may not be on disk yet (its folder could not be flushed); empty when it is.
        QString notOnDisk;
        // The mode of the file it replaced when that let others read a profile that holds a
        // password (which is then written 0600); 0 when nothing was narrowed.
        mode_t narrowedFrom = 0;
    };

    QByteArray toBytes() const;
    // True when a value of the profile is a connection string that holds a password.
    bool holdsPassword() const;

    // Writes through a temporary file in the same folder renamed over the target (see
    // replaceFileAtomically): a new file is readable by its owner only, an existing one keeps
    // its mode unless the profile holds a password (then only its owner may read it), a symlink
    // keeps pointing at the rewritten file. Throws AppError "Unable to write to <full file name>"
    // on failure.
    Written save(const QString &fileName) const;

    // Reads one value of a file; never fails.
    static QString readString(const QString &fileName, const QString &section, const QString &key);
    // Sets one value in a file, keeping the rest of it.
    static Written writeString(const QString &fileName, const QString &section, const QString &key,
                               const QString &value);

    static QString decode(const QByteArray &bytes);

private:
    QStringList m_lines;
};
