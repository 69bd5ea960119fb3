#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// One statement or script that ran, as the user typed it.
struct HistoryEntry
{
    QDateTime time; // when it started
    // The connection it ran on: the profile's file name, or the window's caption without one.
    // Never a connection string.
    QString source;
    QString sql;
    qint64 elapsedMs = 0;
    qint64 rows = -1; // rows returned or records affected; -1 when unknown
    bool failed = false;

    bool operator==(const HistoryEntry &) const = default;
};

// The history of what ran, in a file of the user's (JSON Lines, one entry a line, oldest first).
// The file is created with mode 0600 in a folder of the user's own that nobody else may write
// to; a file or folder that is someone else's, or a symlink, is neither read nor written. The
// file is kept under a size: when an entry takes it past the bound, the oldest entries go. An
// entry that alone would take more than a quarter of the bound is not kept.
class QueryHistory
{
public:
    static constexpr qint64 DefaultMaxBytes = 4 * 1024 * 1024;

    // The file ~/.local/share/orvessa/history (XDG_DATA_HOME when set).
    static QString defaultPath();

    explicit QueryHistory(QString path, qint64 maxBytes = DefaultMaxBytes);

    const QString &path() const { return m_path; }
    qint64 maxBytes() const { return m_maxBytes; }

    // Reads the file; a missing file is an empty history. False with the reason when it cannot
    // be read safely; the history then stays empty and nothing is written to the file.
    bool load(QString *error);
    const QList<HistoryEntry> &entries() const { return m_entries; }

    // Adds an entry at the end and to the file. False with the reason when the file could not
    // be written (the entry is still in the list for this session).
    bool add(const HistoryEntry &entry, QString *error);
    // Removes the entries at these indexes (into entries()).
    bool remove(QList<int> indexes, QString *error);
    bool clear(QString *error);

private:
    bool usable(QString *error) const;
    // The history's folder, made with mode 0700 when it is missing.
    bool makeFolder(QString *error) const;
    bool rewrite(QString *error);

    QString m_path;
    qint64 m_maxBytes;
    QList<HistoryEntry> m_entries;
    qint64 m_fileBytes = 0;
    bool m_refused = false; // the file or its folder is not safe to use
    QString m_refusal;
};
