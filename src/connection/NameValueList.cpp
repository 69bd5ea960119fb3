#include "connection/NameValueList.h"

#include <QRegularExpression>

NameValueList::NameValueList(const QString &text)
{
    QString s = text;
    s.replace(QLatin1Char(';'), QLatin1Char('\n'));
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    m_lines = s.split(lineBreak);
    // A final line break does not start another entry.
    if (!m_lines.isEmpty() && m_lines.last().isEmpty())
        m_lines.removeLast();
}

QString NameValueList::value(const QString &name) const
{
    for (const QString &line : m_lines) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        if (QStringView(line).left(eq).compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1);
    }
    return QString();
}
