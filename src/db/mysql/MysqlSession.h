#pragma once

#include "db/DataAccess.h"
#include "db/TlsSettings.h"
#include "db/fetch/CancelGate.h"

#include <QByteArray>
#include <QStringList>

#include <mysql.h>

#include <functional>
#include <memory>

// One MySQL/MariaDB connection: opening it, the catalogue queries' helper, statements read
// through a cursor (MysqlStatement.cpp), cancel, and the one path from the client library's
// errors to exceptions.

// Connection parameters, kept to open the short-lived connection that cancels a statement.
struct MysqlConnectParams
{
    QByteArray host;
    QByteArray user;
    QByteArray password;
    QByteArray database;
    QByteArray socket;
    unsigned int port = 0;
    TlsSettings tls;
};

class MysqlSession
{
public:
    MysqlSession() = default;
    ~MysqlSession() { close(); }
    MysqlSession(const MysqlSession &) = delete;
    MysqlSession &operator=(const MysqlSession &) = delete;

    // Throws the client library's text.
    void open(const MysqlConnectParams &params, unsigned long flags);
    void close();
    bool isOpen() const { return m_mysql != nullptr; }
    MYSQL *handle() const; // throws when not open

    // Runs a catalogue query and returns all its rows as text (NULL as a null QString).
    QList<QStringList> rows(const QByteArray &sql);
    // Runs a catalogue query and hands each row to take as the server sends it (NULL as a null
    // pointer, lengths in bytes); the row's memory is reused for the next one.
    void eachRow(const QByteArray &sql, const std::function<void(MYSQL_ROW, const unsigned long *)> &take);
    // A string literal for this connection's character set.
    QByteArray literal(const QString &text) const;

    // Sends a statement text, or prepares and runs it with bound parameters when params is
    // given; its results are read through the cursor.
    std::unique_ptr<StatementCursor> openCursor(const QString &sql, const QList<QVariant> *params);
    // Stops the running statement with KILL QUERY from a connection of its own (the running
    // statement holds this one); it is opened on the calling thread, never under a lock.
    void cancel();
    // Whether the session is encrypted, as the client library reports it; verified as asked.
    SessionSecurity security() const;

    // The error of the last call on the connection; ConnectionLostError once it is gone. Given
    // the statement text that was sent, a syntax error carries the place the server names in it.
    [[noreturn]] void fail(const QString *sql = nullptr) const;
    // The error of the last call on a prepared statement.
    [[noreturn]] static void failStatement(MYSQL_STMT *stmt);

private:
    MysqlConnectParams m_params;
    MYSQL *m_mysql = nullptr;
    unsigned long m_threadId = 0;
    CancelGate m_gate;
};
