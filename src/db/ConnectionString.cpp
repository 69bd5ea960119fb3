#include "db/ConnectionString.h"

#include "db/DataAccess.h"

namespace {

// The same characters QString::trimmed() removes, so that quoting decisions and trimming agree.
bool isBlank(QChar c)
{
    return c.isSpace();
}

int indexOfName(const ConnectionStringPairs &pairs, const QString &name)
{
    for (int i = 0; i < pairs.size(); ++i) {
        if (pairs[i].first.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

} // namespace

ConnectionStringTokens tokenizeConnectionString(const QString &text)
{
    ConnectionStringTokens result;
    auto failOnce = [&result](const QString &error) {
        if (result.error.isEmpty())
            result.error = error;
    };
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        // Name: up to '=' or ';'.
        const qsizetype nameStart = i;
        while (i < n && text[i] != u'=' && text[i] != u';')
            ++i;
        const QString name = text.mid(nameStart, i - nameStart).trimmed();
        if (i >= n || text[i] == u';') {
            // A piece without '=' names nothing; skip it.
            ++i;
            continue;
        }
        ++i; // '='
        ConnectionStringToken token;
        token.name = name;
        token.valueStart = i;
        while (i < n && isBlank(text[i]))
            ++i;

        if (i < n && (text[i] == u'"' || text[i] == u'\'' || text[i] == u'{')) {
            const QChar open = text[i];
            const QChar close = open == u'{' ? QChar(u'}') : open;
            ++i;
            bool closed = false;
            while (i < n) {
                if (text[i] == close) {
                    if (i + 1 < n && text[i + 1] == close) {
                        token.value += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                token.value += text[i++];
            }
            if (!closed) {
                const QString what = open == u'{' ? QStringLiteral("brace") : QStringLiteral("quote");
                failOnce(QStringLiteral("The connection string is not valid: the value of \"%1\" "
                                        "has an opening %2 without a closing one.")
                             .arg(name, what));
            }
            // Only blanks may follow the closing quote before the next ';'.
            const qsizetype after = i;
            while (i < n && text[i] != u';')
                ++i;
            const QString rest = text.mid(after, i - after).trimmed();
            if (!rest.isEmpty()) {
                failOnce(QStringLiteral("The connection string is not valid: unexpected text "
                                        "after the quoted value of \"%1\".")
                             .arg(name));
                token.value += rest;
            }
        } else {
            const qsizetype valueStart = i;
            while (i < n && text[i] != u';')
                ++i;
            token.value = text.mid(valueStart, i - valueStart).trimmed();
        }
        token.valueEnd = i;
        ++i; // ';' or the end

        if (!name.isEmpty())
            result.tokens.append(token);
    }
    return result;
}

namespace {

ConnectionStringPairs firstOfEachName(const ConnectionStringTokens &read)
{
    ConnectionStringPairs pairs;
    for (const ConnectionStringToken &token : read.tokens) {
        if (indexOfName(pairs, token.name) < 0)
            pairs.append({token.name, token.value});
    }
    return pairs;
}

} // namespace

ConnectionStringPairs parseConnectionString(const QString &text)
{
    const ConnectionStringTokens read = tokenizeConnectionString(text);
    if (!read.error.isEmpty())
        throw DataAccessError(read.error);
    return firstOfEachName(read);
}

bool isSecretConnectionStringName(const QString &name)
{
    const QString n = name.trimmed();
    return n.compare(QLatin1String("PWD"), Qt::CaseInsensitive) == 0 ||
           n.endsWith(QLatin1String("PASSWORD"), Qt::CaseInsensitive);
}
bool holdsConnectionString(const QString &name)
{
    return name.trimmed().compare(QLatin1String("Extended Properties"), Qt::CaseInsensitive) == 0;
}

QString quoteConnectionStringValue(const QString &value)
{
    bool needsQuotes = value.contains(u';') || value.contains(u'"') || value.contains(u'\'');
    if (!value.isEmpty()) {
        const QChar first = value.front();
        needsQuotes = needsQuotes || isBlank(first) || isBlank(value.back()) || first == u'{';
    }
    if (!needsQuotes)
        return value;
    // Prefer the quote that the value does not hold, so that nothing needs doubling.
    if (!value.contains(u'"'))
        return u'"' + value + u'"';
    if (!value.contains(u'\''))
        return u'\'' + value + u'\'';
    QString doubled = value;
    doubled.replace(u'"', QStringLiteral("\"\""));
    return u'"' + doubled + u'"';
}

QString composeConnectionString(const ConnectionStringPairs &pairs)
{
    QStringList parts;
    parts.reserve(pairs.size());
    for (const auto &pair : pairs)
        parts.append(pair.first + u'=' + quoteConnectionStringValue(pair.second));
    return parts.join(u';');
}

ConnectionString::ConnectionString(const QString &text) : m_pairs(parseConnectionString(text))
{
}

ConnectionString ConnectionString::lenient(const QString &text)
{
    ConnectionString cs;
    cs.m_pairs = firstOfEachName(tokenizeConnectionString(text));
    return cs;
}

bool ConnectionString::contains(const QString &name) const
{
    return indexOfName(m_pairs, name) >= 0;
}

QString ConnectionString::value(const QString &name) const
{
    const int index = indexOfName(m_pairs, name);
    return index < 0 ? QString() : m_pairs[index].second;
}

QString ConnectionString::value(const QStringList &names) const
{
    for (const QString &name : names) {
        const int index = indexOfName(m_pairs, name);
        if (index >= 0)
            return m_pairs[index].second;
    }
    return QString();
}

void ConnectionString::setValue(const QString &name, const QString &value)
{
    const int index = indexOfName(m_pairs, name);
    if (index < 0)
        m_pairs.append({name.trimmed(), value});
    else
        m_pairs[index].second = value;
}

void ConnectionString::remove(const QString &name)
{
    const int index = indexOfName(m_pairs, name);
    if (index >= 0)
        m_pairs.removeAt(index);
}

QString sqliteDatabaseFile(const ConnectionString &connectionString)
{
    return connectionString.value(
        QStringList{QStringLiteral("Data Source"), QStringLiteral("DataSource"), QStringLiteral("Database")});
}
