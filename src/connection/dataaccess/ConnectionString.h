#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// OLE DB connection strings as the backends read them: Name=Value pairs separated by ';'.
// Names are trimmed and compared without letter case; values are trimmed and may be quoted
// with "..." or '...' (the quote doubled inside) or enclosed in {...} (ODBC style, "}}" inside).
// Pairs without a name are skipped; when a name comes twice, the first one counts.
// A quote or brace left open throws DataAccessError.

using ConnectionStringPairs = QList<QPair<QString, QString>>;

// The pairs in the order written, later duplicates dropped. Pure; throws DataAccessError.
ConnectionStringPairs parseConnectionString(const QString &text);
// Writes pairs back as Name=Value;..., quoting the values that need it.
QString composeConnectionString(const ConnectionStringPairs &pairs);
// A value written so that parseConnectionString reads it back unchanged.
QString quoteConnectionStringValue(const QString &value);

class ConnectionString
{
public:
    ConnectionString() = default;
    explicit ConnectionString(const QString &text); // throws DataAccessError

    const ConnectionStringPairs &pairs() const { return m_pairs; }
    bool contains(const QString &name) const;
    // The value of the first of the names present; empty when none is.
    QString value(const QString &name) const;
    QString value(const QStringList &names) const;
    void setValue(const QString &name, const QString &value);
    void remove(const QString &name);
    QString toString() const { return composeConnectionString(m_pairs); }

private:
    ConnectionStringPairs m_pairs;
};
