#pragma once

#include <QByteArray>
#include <QString>

// A .sql file as the editor shows it: its text with the line ends it has, and how to write it
// back the same way.
struct SqlFileContent
{
    enum class LineEnds { Lf, CrLf, Cr };

    QString text;
    // The line end most lines have: the one new lines get.
    LineEnds lineEnds = LineEnds::Lf;
    bool byteOrderMark = false;
    // False when the bytes were no UTF-8 and were read as Windows-1252.
    bool utf8 = true;
};

SqlFileContent decodeSqlFile(const QByteArray &bytes);
// UTF-8, with the byte-order mark when asked; the text, line ends included, unchanged.
QByteArray encodeSqlFile(const QString &text, bool byteOrderMark);

// False with the system's reason.
bool readSqlFile(const QString &path, SqlFileContent *content, QString *error);
// Replaces the file in one step (SafeFile); a new file gets the user's usual mode.
bool writeSqlFile(const QString &path, const QString &text, bool byteOrderMark, QString *error);
