#pragma once

#include "common/AppError.h"
#include "db/AdoType.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <atomic>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

// The data-access layer: one Connection over one of several backends (providers).
// No widgets here; every failure is a DataAccessError carrying the driver's own text.

// Where the database placed an error in the statement text it was given: the offset of the
// offending character in that text (a QString index), or only the line (from 1) when that is all
// the database tells.
struct SqlErrorPosition
{
    qsizetype offset = -1;
    int line = 0;
};

class DataAccessError : public AppError
{
public:
    using AppError::AppError;
    DataAccessError(QString text, std::optional<SqlErrorPosition> position)
        : AppError(std::move(text)), m_position(position)
    {
    }

    const std::optional<SqlErrorPosition> &position() const { return m_position; }

private:
    std::optional<SqlErrorPosition> m_position;
};

// The session with the server is gone (server stopped or restarted, session killed, network
// cut): nothing more can run on it. The text is the driver's own.
class ConnectionLostError : public DataAccessError
{
public:
    using DataAccessError::DataAccessError;
};

// For a fallback that goes on after a failed call, inside a catch block: a lost session goes on to
// the caller, so that the piece of work ends and the connection closes itself instead of carrying
// on without its session.
inline void letLostSessionThrough(const std::exception &error)
{
    if (dynamic_cast<const ConnectionLostError *>(&error))
        throw;
}

// A row of the tables rowset. type is "TABLE", "VIEW", "SYSTEM TABLE", ... as the
// provider classifies the object; only TABLE and VIEW reach the tree.
struct TableInfo
{
    QString catalog;
    QString schema;
    QString name;
    QString type;
};

// A row of the columns rowset, with what table metadata also needs.
struct ColumnInfo
{
    QString schema;
    QString table;
    QString name;
    int ordinal = 0;
    bool nullable = true;
    AdoType type = AdoType::Empty;
    qint64 definedSize = 0;
    int precision = 0;
    int scale = 0;
    bool autoIncrement = false;
};

struct KeyColumnInfo
{
    QString schema;
    QString table;
    QString column;
    int ordinal = 0;
    QString constraintName;
};

struct ForeignKeyInfo
{
    QString name;
    QString fkSchema;
    QString fkTable;
    QString fkColumn;
    QString pkSchema;
    QString pkTable;
    QString pkColumn;
    int ordinal = 0;
};

struct IndexInfo
{
    QString schema;
    QString table;
    QString name;
    bool unique = false;
    bool primaryKey = false;
    QStringList columns; // key columns in ordinal order
};

// A field of a table or of a result.
struct FieldInfo
{
    QString name;
    AdoType type = AdoType::Empty;
    qint64 definedSize = 0;
    int precision = 0;
    int scale = 0;
    bool autoIncrement = false;
    bool nullable = true;
    // Where the value comes from, when the backend can tell; empty otherwise.
    QString baseSchema;
    QString baseTable;
    QString baseColumn;
};

// The field a table column gives, with the column as its base.
FieldInfo fieldFromColumn(const ColumnInfo &column);

struct TableMetadata
{
    QList<FieldInfo> fields;
    QList<IndexInfo> indexes; // in the order of the indexes rowset
};

// Compact row storage: rows are appended as encoded cells, values decoded on demand.
// Implemented in RowStore.h/.cpp.
class RowStore;

// A statement running on a backend, read step by step (Fetch.h).
class StatementCursor;

// Where rows go one typed cell at a time (CellSink.h).
class CellSink;

// The rows of a row-returning statement.
class Recordset
{
public:
    Recordset(QList<FieldInfo> fields, std::unique_ptr<RowStore> rows);
    ~Recordset();

    const QList<FieldInfo> &fields() const { return m_fields; }
    QList<FieldInfo> &fields() { return m_fields; }
    // The field of this name; -1 when absent. A name that matches no field exactly finds the one
    // field it matches ignoring letter case (ADO finds fields so: the version query reads "VER"
    // where PostgreSQL answers "ver"), but never one of several that differ only by case.
    int fieldIndex(const QString &name) const;
    qint64 rowCount() const;
    QVariant value(qint64 row, int column) const; // null QVariant for NULL
    RowStore &rows() { return *m_rows; }
    const RowStore &rows() const { return *m_rows; }

    // True when the rows were cut short (cancelled by the user).
    bool incomplete() const { return m_incomplete; }
    void setIncomplete(bool incomplete) { m_incomplete = incomplete; }

private:
    QList<FieldInfo> m_fields;
    std::unique_ptr<RowStore> m_rows;
    bool m_incomplete = false;
};

// What running one statement gives: rows when the statement yields a result set,
// otherwise the number of records affected (-1 when the backend cannot tell).
struct ExecResult
{
    std::unique_ptr<Recordset> recordset;
    qint64 recordsAffected = -1;
};

// How a result handed out while its rows were still arriving ended (Connection::stream).
struct StreamEnd
{
    // Cancel reached the fetch: the rows so far stay.
    bool cancelled = false;
    // What ended the fetch when it failed; the rows so far stay.
    std::exception_ptr error;
    // The result handed out lacks rows: cancelled, or cut short by the error.
    bool incomplete = false;
    // The text's result when it is not the one handed out: a later statement of the text gave
    // rows of its own (a text gives its last result, as Backend::execute does).
    std::unique_ptr<Recordset> later;
    // Once the text has ended normally and no later result replaces it: the fields of the
    // result handed out, completed with what the database tells only then (base tables).
    std::optional<QList<FieldInfo>> fields;
    qint64 recordsAffected = -1;
};

// How an open session reaches its database, as the backend found it once connected: what the
// after-connect analysis logs and what the caption marks.
struct SessionSecurity
{
    // The session runs over a network connection (not a local file or a local socket).
    bool network = false;
    // The backend can tell whether the session is encrypted (ODBC drivers cannot say).
    bool known = false;
    bool encrypted = false;
    QString protocol; // "TLSv1.3", ...
    QString cipher;
    // The server's certificate chain was checked against the trusted CAs ...
    bool verified = false;
    // ... and found to name this host (verify-full); empty when the name was not checked.
    QString verifiedName;
    // The host connected to, as given; for a tunnel, the database's host as the SSH server
    // sees it.
    QString host;
    // The SSH tunnel the session runs through, as given (alias or user@host:port); empty
    // without one. Its traffic is encrypted and its host key checked whatever the above say.
    QString tunnel;
    qint64 tunnelProcess = 0; // the ssh client's process id

    // The session crosses a network in clear: no tunnel, not encrypted, a host other than this
    // machine.
    bool exposed() const { return network && known && !encrypted && tunnel.isEmpty() && !isLocalHost(host); }
    // Empty, a socket folder, "localhost", 127.0.0.0/8 or ::1.
    static bool isLocalHost(const QString &host);
};

// A question that opening a connection asks the user on the way (an SSH tunnel's host key, a
// key's passphrase, a password).
struct ConnectQuestion
{
    enum class Kind { HostKey, Passphrase, Password, Other };
    Kind kind = Kind::Other;
    QString prompt;      // the asking program's own text
    QString destination; // the SSH server, as given
    QString fingerprint; // HostKey: the key's fingerprint ("SHA256:...")
    QString keyFile;     // Passphrase: the key it unlocks
    // How many times this kind was asked before during this open (a secret that was refused
    // comes back with 1, 2, ...).
    int repeat = 0;
};

// Answers such questions: "yes" to trust a host key, the secret for the others; nothing when
// the user declines. Called on the thread that opens the connection (the connection's worker),
// which waits for the answer.
using ConnectAsker = std::function<std::optional<QString>(const ConnectQuestion &)>;

// How identifiers are quoted and parameters written in a backend's SQL.
enum class SqlDialect { Standard, Sqlite, PostgreSql, MySql, SqlServer, Access };

// One open session with a database; made by Backend::create for a connection string.
class Backend
{
public:
    virtual ~Backend() = default;

    // Picks the backend by the Provider= value; throws DataAccessError for an empty or
    // unknown provider, naming the known ones. A string with an SSH Host gets a backend that
    // opens its tunnel first; asker answers the tunnel's questions.
    static std::unique_ptr<Backend> create(const QString &connectionString, const ConnectAsker &asker = {});

    virtual void connect() = 0;
    virtual void disconnect() = 0;
    virtual SqlDialect dialect() const = 0;
    virtual QString defaultDatabase() = 0;
    virtual QString defaultSchema() = 0; // "" when the backend has no schemas

    virtual QList<TableInfo> tables() = 0;
    // Empty schema/table means unrestricted.
    virtual QList<ColumnInfo> columns(const QString &schema, const QString &table) = 0;
    virtual QList<KeyColumnInfo> primaryKeys(const QString &schema, const QString &table) = 0;
    // Restricted by the referencing (foreign-key) table.
    virtual QList<ForeignKeyInfo> foreignKeys(const QString &schema, const QString &table) = 0;
    virtual QList<IndexInfo> indexes(const QString &schema, const QString &table) = 0;
    virtual TableMetadata tableMetadata(const QString &schema, const QString &table) = 0;

    // Runs one statement text. Rows are streamed into the recordset; progress (rows so far) is
    // published through rowsFetched for a progress display. The contract (which result a text
    // gives, counts, cancel) is fetchAll's in Fetch.h, which the defaults run on openCursor.
    virtual ExecResult execute(const QString &sql, std::atomic<qint64> *rowsFetched = nullptr);
    // Runs a statement with bound parameters (placeholders from placeholder()).
    virtual ExecResult executeParams(const QString &sql, const QList<QVariant> &params);
    // Sends a statement text (with parameters when params is given) and returns the cursor that
    // reads its results step by step (Fetch.h); the connection is busy until it is destroyed.
    virtual std::unique_ptr<StatementCursor> openCursor(const QString &sql, const QList<QVariant> *params);
    // Stops the statement running now, and no later one; does nothing when none runs. Safe to
    // call from another thread.
    virtual void cancel() = 0;
    virtual bool readOnly() const { return false; }
    // Why the session is read-only, in words a user acts on (the connection string asks for it,
    // the file cannot be written, ...); empty when it is not.
    virtual QString readOnlyReason() const
    {
        return readOnly() ? QStringLiteral("the connection is read-only.") : QString();
    }
    // How the open session reaches its database; the default is a local one (files).
    virtual SessionSecurity security() const { return SessionSecurity(); }
    // Why the session has ended by itself (its SSH tunnel is gone), known without asking the
    // server; empty while it may live. Safe to call from the thread that owns the connection.
    virtual QString endedReason() const { return QString(); }

    // By the dialect's rules (SqlDialectRules).
    virtual QString quoteIdentifier(const QString &name) const;
    virtual QString placeholder(int index) const = 0; // index from 1

    // False when a rollback (rollbackTransaction) cannot undo what was written since
    // beginTransaction: a source without transactions, where every statement stands at once.
    virtual bool transactional() const { return true; }
    // A transaction around the grid's edits. The defaults send BEGIN, COMMIT and ROLLBACK.
    virtual void beginTransaction();
    virtual void commitTransaction();
    virtual void rollbackTransaction();

protected:
    // Ends the grid's edit where beginTransaction put it: on the savepoint "orvessa_edit" taken
    // inside the user's own transaction (released either way, so the user's transaction goes on)
    // or on the transaction it began. run sends one statement the backend's way.
    static void endEdit(bool savepoint, bool commit, const std::function<void(const char *)> &run);
};

// Runs a piece of blocking work. The UI installs one that runs the work off the UI thread
// and shows a progress dialog with Cancel after half a second; cancel may then be called from
// another thread, also after the work has ended (it then does nothing). The runner returns when
// the work and any cancel it started have ended. The default runs the work directly.
using WorkRunner =
    std::function<void(const std::function<void()> &work, const std::function<void()> &cancel)>;

// How a result shown while its rows arrive goes on (Connection::stream).
struct StreamOptions
{
    // Values bound to the statement's placeholders (placeholder()); none when empty.
    QList<QVariant> params;
    // The first rows are handed out once this long has passed since the call (with at least one
    // row), or sooner when the text ends.
    int firstRowsMs = 50;
    // Runs once the text has ended normally (not after a cancel or an error), in the same piece
    // of work on the connection's worker, with the fields of the text's result: the record
    // editor's analysis. It must not touch the window; an error it throws ends the fetch as failed,
    // unless Cancel caused it (pressed as the last rows came): the fetch then ends complete.
    std::function<void(const QList<FieldInfo> &)> endStep;
    // Told on the fetch's own thread that the fetch has ended: it may only post a notification
    // (whose handler calls finishStream).
    std::function<void()> ended;
    // Runs on the thread that finishes the stream (finishStream), once the connection is free,
    // with how the fetch ended. The rows handed out are complete and no longer written to.
    std::function<void(StreamEnd)> finished;
};

// The program's one connection: a connection string, open/close with the
// after-connect and after-disconnect notifications, and everything else through the backend.
class Connection
{
public:
    Connection();
    ~Connection();

    QString connectionString() const { return m_connectionString; }
    void setConnectionString(const QString &connectionString); // throws while open

    // Opens the backend, then runs the after-connect notification before returning; an error
    // of the notification leaves open() with the connection open.
    void open();
    // Opens over a backend made elsewhere (a test's stand-in), with the same notifications.
    void openWith(std::unique_ptr<Backend> backend);
    // Closes and runs the after-disconnect notification; nothing when not open.
    void close();
    bool isOpen() const { return m_backend != nullptr; }
    // True from a close caused by a lost session (seen by the after-disconnect notification)
    // until the next open: the connection string is still the one that was open.
    bool connectionLost() const { return m_lost; }

    void setAfterConnect(std::function<void()> handler) { m_afterConnect = std::move(handler); }
    void setAfterDisconnect(std::function<void()> handler) { m_afterDisconnect = std::move(handler); }
    void setWorkRunner(WorkRunner runner);
    // Runs long work of the program's own that talks to no database (compaction of a closed file,
    // a workbook's assembly) in the work runner, with its own Cancel: one more wait of this
    // connection, never inside another one.
    void runAside(const std::function<void()> &work, const std::function<void()> &cancel);
    // Answers what opening asks on the way (an SSH host key, a passphrase); without one every
    // such question is declined.
    void setAsker(ConnectAsker asker) { m_asker = std::move(asker); }
    // A password that the connection string does not hold (asked, or from the keyring): the opens
    // of the string set now use it in place of the string's Password, and it never shows in
    // connectionString(). A null string forgets it.
    void setPassword(const QString &password)
    {
        m_password = password;
        m_passwordFor = m_connectionString;
    }
    // True when a password was set for the connection string set now.
    bool hasPassword() const { return !m_password.isNull() && m_passwordFor == m_connectionString; }

    // One piece of work at a time. The work runner may handle events while it waits (the
    // window's does); a call that comes from such an event, while a wait of this connection runs
    // on the calling thread, would start a second worker on the same session. It is refused: an
    // assertion in debug builds, an internal error otherwise. Work that must follow other work is
    // handed over here instead, and runs once no wait runs and no hold is taken.
    //
    // True while the calling thread waits in the work runner for a piece of work or a fetch.
    bool waiting() const { return m_waitDepth > 0; }
    // Runs task from the event loop once the connection is idle: no wait runs and no Hold is
    // taken; tasks run one at a time in the order given. Without an event loop (no
    // QCoreApplication) it runs at once when idle. A task must not throw.
    void whenIdle(std::function<void()> task);
    // Keeps the tasks of whenIdle waiting for as long as it lives (a command that runs, with its
    // questions and waits); they may run again once the last hold has gone.
    class Hold
    {
    public:
        explicit Hold(Connection &connection);
        ~Hold();
        Hold(const Hold &) = delete;
        Hold &operator=(const Hold &) = delete;

    private:
        Connection &m_connection;
    };

    // Empty when closed or when the backend reports an error; a lost session throws.
    QString defaultDatabase();

    // Everything below requires an open connection (throws DataAccessError otherwise). This is
    // the only road to the database: calls that talk to it run through the work runner (off
    // the window's thread, with progress and Cancel). Called from inside a piece of work of
    // run() or transaction(), they run directly on the worker.
    //
    // Cancel stops the piece of work it was pressed for: the statement running stops (its rows
    // so far stay, see fetchAll in Fetch.h), and every later call of that work fails with
    // cancelledText() before it reaches the database. A cancel after the work has ended does
    // nothing. When a call finds the session lost (ConnectionLostError), the connection closes
    // itself, running the after-disconnect notification, and the error goes on to the caller.

    // How the database's SQL is written; known without asking the server.
    SqlDialect dialect() const;
    bool readOnly() const;
    QString readOnlyReason() const; // Backend::readOnlyReason
    bool transactional() const;     // Backend::transactional
    QString quoteIdentifier(const QString &name) const;
    QString placeholder(int index) const; // index from 1

    // How the open session reaches its database (no call to the server).
    SessionSecurity security() const;
    // While no work runs on it: when the session has ended by itself (its SSH tunnel is gone),
    // closes the connection as a lost session (connectionLost(), the after-disconnect
    // notification) and returns why; empty otherwise. Asks nothing of the server.
    QString closeIfEnded();

    QString defaultSchema();
    QList<TableInfo> tables();
    // Empty schema/table means unrestricted.
    QList<ColumnInfo> columns(const QString &schema, const QString &table);
    QList<KeyColumnInfo> primaryKeys(const QString &schema, const QString &table);
    QList<ForeignKeyInfo> foreignKeys(const QString &schema, const QString &table);
    QList<IndexInfo> indexes(const QString &schema, const QString &table);
    TableMetadata tableMetadata(const QString &schema, const QString &table);

    // Runs a statement through the work runner (cancellable).
    ExecResult execute(const QString &sql);
    // Runs a statement with bound parameters through the work runner.
    ExecResult executeParams(const QString &sql, const QList<QVariant> &params);
    // Runs a statement text through the work runner and streams the rows of its results into a
    // sink on the worker, none kept in memory (a data export). For each result with rows,
    // startResult gets its fields first and returns the sink of its rows; a text of several
    // results hands each over in turn, the last being the one execute() gives. Progress follows
    // rowsFetchedCounter(). False when Cancel stopped the text (the rows so far are in the
    // sink); a failure of the database or of the sink throws, its statement ended.
    bool streamRows(const QString &sql,
                    const std::function<CellSink &(const QList<FieldInfo> &)> &startResult);
    // Rows fetched so far by the running execute() or streamRows(), for a progress display on
    // another thread.
    const std::atomic<qint64> *rowsFetchedCounter() const { return &m_rowsFetched; }

    // Runs a statement and returns as soon as its first rows are in (StreamOptions). When the
    // text ends by then, this is execute() followed by the end step. Otherwise the result's rows
    // go on arriving into its RowStore on a thread of the connection's (RowStore::isFetching()
    // until the last one), Cancel still reaching the statement, and the connection stays busy
    // until finishStream(): every other call first waits for the fetch to end, in the work
    // runner, whose Cancel cancels the fetch. The caller keeps the result alive until then.
    ExecResult stream(const QString &sql, StreamOptions options);
    // True while rows of a stream() go on arriving, until finishStream() has run.
    bool streaming() const { return m_stream != nullptr; }
    // The fetch has read its last row, or stopped: finishStream() returns at once. Any thread.
    bool streamDone() const;
    // Asks the fetch to stop (the rows so far stay) and returns at once; the cancel reaches the
    // server on a thread of its own.
    void cancelStream();
    // Ends the fetch, cancelled first when asked, waiting for it in the work runner; then runs
    // StreamOptions::finished. A lost session closes the connection, as for any call. Nothing
    // when no fetch runs; never throws.
    void finishStream(bool cancel);
    // Cancels the fetch and waits for it here, telling nobody: for the owner of its result as
    // it goes away.
    void dropStream();

    // Runs several of the calls above as one piece of work: one progress display, one Cancel.
    void run(const std::function<void()> &work);
    // True once Cancel was pressed during the piece of work that runs now (or ran last), so
    // that work going on after a failed call can tell a cancel from the call's own error.
    bool cancelRequested() const { return m_workCancelled.load(); }
    // Runs work inside a transaction: committed when work returns, rolled back when it throws
    // (the error then goes on to the caller).
    void transaction(const std::function<void()> &work);

private:
    struct Stream;

    Backend &backend() const;
    // The backend once a fetch that streams has ended: the busy guard of every call that talks to
    // the database. Throws when the connection is not open.
    Backend &freeBackend();
    template <typename Call> auto call(Call &&callBackend);
    // Runs work as one piece of work on b, or directly when already inside one. When keepOpen is
    // set by the work, the piece of work stays open after it (a stream goes on).
    void runWork(Backend &b, const std::function<void()> &work, const bool *keepOpen = nullptr);
    // Runs the work runner as this thread's one wait; refuses a second one inside it.
    void wait(const std::function<void()> &work, const std::function<void()> &cancel);
    [[noreturn]] void refuseNestedWork() const;
    void postIdleTasks();
    void runIdleTasks();
    void readStream(Stream &stream);
    void cancelFetch(Backend &b) noexcept;
    void stopIfCancelledMeanwhile(Backend &b);
    void cancelWork(Backend &b);
    void endWork();
    void throwIfCancelled() const;

    QString m_connectionString;
    std::unique_ptr<Backend> m_backend;
    std::function<void()> m_afterConnect;
    std::function<void()> m_afterDisconnect;
    WorkRunner m_runner;
    ConnectAsker m_asker;
    QString m_password;
    QString m_passwordFor;
    std::atomic<qint64> m_rowsFetched{0};
    bool m_lost = false;
    // The piece of work running now: Cancel reaches it only while it runs.
    std::mutex m_workMutex;
    bool m_workActive = false;
    std::atomic<bool> m_workCancelled{false};
    // The fetch that streams, until finishStream.
    std::shared_ptr<Stream> m_stream;
    // Waits in the work runner on the calling thread, and holds on the tasks of whenIdle.
    int m_waitDepth = 0;
    int m_holds = 0;
    bool m_idlePosted = false;
    std::deque<std::function<void()>> m_idleTasks;
    // Lets a task posted to the event loop find out whether the connection is still there.
    std::shared_ptr<Connection *> m_self;
};
