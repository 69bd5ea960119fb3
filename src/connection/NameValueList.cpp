#include "connection/NameValueList.h"

NameValueList::NameValueList(const QString &text)
{
    // ";", CRLF, CR and LF each end a line; a final line break starts no further entry.
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char(';') && c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        m_lines.append(text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < n)
        m_lines.append(text.mid(start));
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
