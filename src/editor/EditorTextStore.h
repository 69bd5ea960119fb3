#pragma once

#include <QString>

// The SQL editor's text for each connection profile, kept between runs: one file a profile in a
// private folder of the user's (~/.local/share/orvessa/editor, mode 0700; files 0600, since a
// statement may hold a password), the text in UTF-8 exactly as it stood, line ends included.
// Files and folders that are someone else's, or symlinks, are neither read nor written.
class EditorTextStore
{
public:
    static QString defaultFolder();

    explicit EditorTextStore(QString folder) : m_folder(std::move(folder)) {}

    // profile: the profile file's path; empty for a connection made without one.
    // The text kept for the profile, empty when there is none; false with the reason when it
    // cannot be read safely.
    bool load(const QString &profile, QString *text, QString *error) const;
    bool save(const QString &profile, const QString &text, QString *error) const;

    // The file that holds a profile's text.
    QString fileFor(const QString &profile) const;

private:
    QString m_folder;
};
