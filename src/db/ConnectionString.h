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
//
// This file holds the program's one tokenizer of connection strings: the backends, the ODBC
// mapping, the masking of secrets for the log and the dialect analysis all read through it.

using ConnectionStringPairs = QList<QPair<QString, QString>>;

// One Name=Value entry as written, with where it stands in the text.
struct ConnectionStringToken
{
    QString name;  // trimmed
    QString value; // trimmed, quotes and braces taken off
    // [valueStart, valueEnd) is everything between the '=' and the ';' that ends the entry
    // (blanks and quotes included), so replacing it replaces the whole value.
    qsizetype valueStart = 0;
    qsizetype valueEnd = 0;
};

struct ConnectionStringTokens
{
    // Every entry with a name, duplicates included, in the order written.
    QList<ConnectionStringToken> tokens;
    // Empty when the text is well formed. Otherwise the reason it is not; the tokens are then
    // read leniently (an open quote runs to the end of the text, text after a closing quote
    // belongs to the value), so that no part of a value is ever taken for something else.
    QString error;
};

ConnectionStringTokens tokenizeConnectionString(const QString &text);

// The pairs in the order written, later duplicates dropped. Pure; throws DataAccessError.
ConnectionStringPairs parseConnectionString(const QString &text);
// Writes pairs back as Name=Value;..., quoting the values that need it.
QString composeConnectionString(const ConnectionStringPairs &pairs);
// A value written so that parseConnectionString reads it back unchanged.
QString quoteConnectionStringValue(const QString &value);

// Names whose values are secrets: PWD, and every name ending in "Password" ("Jet
// OLEDB:Database Password"), without regard to letter case.
bool isSecretConnectionStringName(const QString &name);
// Names whose value is a connection string of its own: Extended Properties, how OLE DB
// carries an ODBC string.
bool holdsConnectionString(const QString &name);

class ConnectionString
{
public:
    ConnectionString() = default;
    explicit ConnectionString(const QString &text); // throws DataAccessError
    // Never throws: a quote or brace left open runs to the end of the text, as
    // tokenizeConnectionString reads it. For strings that are only looked at, never opened.
    static ConnectionString lenient(const QString &text);

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

// The database file a SQLite connection string names: its Data Source, DataSource or Database
// entry, the first of them present.
QString sqliteDatabaseFile(const ConnectionString &connectionString);
