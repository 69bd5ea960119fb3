#include "connection/PasswordMask.h"

namespace {

bool isSecretName(QStringView name)
{
    const QString n = name.trimmed().toString().toUpper();
    return n == QLatin1String("PWD") || n.endsWith(QLatin1String("PASSWORD"));
}

// Index just past the value that starts at pos (at its first non-blank character), honouring
// quotes with doubled quote characters and ODBC braces with doubled closing braces.
qsizetype valueEnd(const QString &s, qsizetype pos)
{
    const qsizetype n = s.size();
    qsizetype i = pos;
    while (i < n && s[i] == QLatin1Char(' '))
        ++i;
    if (i < n && (s[i] == QLatin1Char('"') || s[i] == QLatin1Char('\'') || s[i] == QLatin1Char('{'))) {
        const QChar close = s[i] == QLatin1Char('{') ? QLatin1Char('}') : s[i];
        ++i;
        while (i < n) {
            if (s[i] == close) {
                if (i + 1 < n && s[i + 1] == close) {
                    i += 2;
                    continue;
                }
                ++i;
                break;
            }
            ++i;
        }
    }
    while (i < n && s[i] != QLatin1Char(';'))
        ++i;
    return i;
}

} // namespace

QString maskPasswords(const QString &connectionString)
{
    const QString &s = connectionString;
    QString out;
    out.reserve(s.size());
    qsizetype pos = 0;
    const qsizetype n = s.size();
    while (pos < n) {
        qsizetype eq = pos;
        while (eq < n && s[eq] != QLatin1Char('=') && s[eq] != QLatin1Char(';'))
            ++eq;
        if (eq >= n || s[eq] == QLatin1Char(';')) {
            // An entry without "=": copied as it stands.
            out += QStringView(s).mid(pos, eq - pos);
            if (eq < n)
                out += QLatin1Char(';');
            pos = eq + 1;
            continue;
        }
        const qsizetype end = valueEnd(s, eq + 1);
        out += QStringView(s).mid(pos, eq + 1 - pos);
        if (isSecretName(QStringView(s).mid(pos, eq - pos)))
            out += QLatin1String("***");
        else
            out += QStringView(s).mid(eq + 1, end - eq - 1);
        if (end < n)
            out += QLatin1Char(';');
        pos = end + 1;
    }
    return out;
}
