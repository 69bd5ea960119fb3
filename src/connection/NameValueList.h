#pragma once

#include <QString>
#include <QStringList>

// The program's own reading of a connection string as a name=value list: every ";" becomes a
// line break, a line's name is the text before its first "=", its value everything after it
// (quotes and blanks kept). Names are matched without regard to letter case but otherwise
// exactly (nothing is trimmed); the first matching line wins and a missing name reads as "".
class NameValueList
{
public:
    explicit NameValueList(const QString &text);

    QString value(const QString &name) const;
    const QStringList &lines() const { return m_lines; }

private:
    QStringList m_lines;
};
