#include "connection/dataaccess/Backends.h"
#include "connection/dataaccess/MysqlTypes.h"
#include "connection/dataaccess/OdbcConnectionString.h"
#include "connection/dataaccess/OdbcTypes.h"
#include "connection/dataaccess/PostgresTypes.h"
#include "connection/dataaccess/RowStore.h"

#include <QDate>
#include <QDateTime>
#include <QSet>
#include <QTime>

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <mutex>
#include <vector>

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC's SQLWCHAR is UTF-16");

namespace {

constexpr SQLLEN ChunkBytes = 64 * 1024;

const SQLWCHAR *wide(const QString &text)
{
    return reinterpret_cast<const SQLWCHAR *>(text.utf16());
}

QString fromWide(const SQLWCHAR *text, qsizetype chars)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(text), chars);
}

// Every diagnostic record of a handle, joined by line breaks: the driver's own texts.
QString diagnostics(SQLSMALLINT handleType, SQLHANDLE handle)
{
    QStringList messages;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6];
        SQLINTEGER native = 0;
        std::vector<SQLWCHAR> message(1024);
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(handleType, handle, record, state, &native, message.data(),
                                      SQLSMALLINT(message.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= SQLSMALLINT(message.size())) {
            message.resize(size_t(length) + 1);
            rc = SQLGetDiagRecW(handleType, handle, record, state, &native, message.data(),
                                SQLSMALLINT(message.size()), &length);
        }
        if (!SQL_SUCCEEDED(rc))
            break;
        messages.append(fromWide(message.data(), std::min<qsizetype>(length, qsizetype(message.size()) - 1)));
    }
    if (messages.isEmpty())
        return QStringLiteral("The ODBC driver reported an error without a message.");
    return messages.join(QLatin1Char('\n'));
}

// Statement handle, freed on scope exit.
class Statement
{
public:
    explicit Statement(SQLHDBC dbc)
    {
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &m_stmt)))
            throw DataAccessError(diagnostics(SQL_HANDLE_DBC, dbc));
    }
    ~Statement() { SQLFreeHandle(SQL_HANDLE_STMT, m_stmt); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    SQLHSTMT handle() const { return m_stmt; }
    void check(SQLRETURN rc) const
    {
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
            throw DataAccessError(diagnostics(SQL_HANDLE_STMT, m_stmt));
    }

    // A column of the current row as text, read in chunks; isNull tells NULL from "".
    QString text(SQLUSMALLINT column, bool *isNull = nullptr) const
    {
        QString result;
        if (isNull)
            *isNull = false;
        std::vector<SQLWCHAR> buffer(size_t(ChunkBytes) / sizeof(SQLWCHAR));
        for (;;) {
            SQLLEN indicator = 0;
            const SQLRETURN rc =
                SQLGetData(m_stmt, column, SQL_C_WCHAR, buffer.data(), ChunkBytes, &indicator);
            if (rc == SQL_NO_DATA)
                break;
            check(rc);
            if (indicator == SQL_NULL_DATA) {
                if (isNull)
                    *isNull = true;
                return QString();
            }
            const SQLLEN room = ChunkBytes - SQLLEN(sizeof(SQLWCHAR));
            const SQLLEN bytes = (indicator == SQL_NO_TOTAL || indicator > room) ? room : indicator;
            result += fromWide(buffer.data(), qsizetype(bytes) / qsizetype(sizeof(SQLWCHAR)));
            if (rc == SQL_SUCCESS)
                break;
        }
        return result;
    }

    qint64 integer(SQLUSMALLINT column) const
    {
        SQLBIGINT value = 0;
        SQLLEN indicator = 0;
        check(SQLGetData(m_stmt, column, SQL_C_SBIGINT, &value, 0, &indicator));
        return indicator == SQL_NULL_DATA ? 0 : qint64(value);
    }

    bool fetch() const
    {
        const SQLRETURN rc = SQLFetch(m_stmt);
        if (rc == SQL_NO_DATA)
            return false;
        check(rc);
        return true;
    }

private:
    SQLHSTMT m_stmt = SQL_NULL_HSTMT;
};

// A catalogue argument: NULL for "any", else the text with the pattern characters escaped
// (SQLTables and SQLColumns read their arguments as LIKE patterns).
class PatternArg
{
public:
    PatternArg(const QString &value, const QString &escape, bool pattern)
    {
        if (value.isEmpty())
            return;
        m_null = false;
        m_text = value;
        if (pattern && !escape.isEmpty()) {
            m_text.replace(escape, escape + escape);
            m_text.replace(QLatin1Char('_'), escape + QLatin1Char('_'));
            m_text.replace(QLatin1Char('%'), escape + QLatin1Char('%'));
        }
    }
    SQLWCHAR *data() const { return m_null ? nullptr : const_cast<SQLWCHAR *>(wide(m_text)); }
    SQLSMALLINT length() const { return m_null ? 0 : SQLSMALLINT(SQL_NTS); }

private:
    bool m_null = true;
    QString m_text;
};

enum class Conversion { Text, Int, Double, Bool, Blob };

Conversion conversionFor(SQLSMALLINT sqlType)
{
    switch (sqlType) {
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
        return Conversion::Int;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return Conversion::Double;
    case SQL_BIT:
        return Conversion::Bool;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
        return Conversion::Blob;
    default:
        return Conversion::Text;
    }
}

bool isPlainIdentifier(const QString &name)
{
    if (name.isEmpty())
        return false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name[i];
        const bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_';
        const bool digit = c >= u'0' && c <= u'9';
        if (!letter && !(i > 0 && digit))
            return false;
    }
    return true;
}

// Reserved words of SQL Server and of standard SQL that are common table or column names.
const QSet<QString> &sqlKeywords()
{
    static const QSet<QString> words = [] {
        const char *list[] = {"add",          "all",          "alter",        "and",
                              "any",          "as",           "asc",          "authorization",
                              "backup",       "begin",        "between",      "break",
                              "browse",       "bulk",         "by",           "cascade",
                              "case",         "check",        "checkpoint",   "close",
                              "clustered",    "coalesce",     "collate",      "column",
                              "commit",       "compute",      "constraint",   "contains",
                              "continue",     "convert",      "create",       "cross",
                              "current",      "current_date", "current_time", "current_timestamp",
                              "current_user", "cursor",       "database",     "date",
                              "dbcc",         "deallocate",   "declare",      "default",
                              "delete",       "deny",         "desc",         "distinct",
                              "distributed",  "double",       "drop",         "dump",
                              "else",         "end",          "errlvl",       "escape",
                              "except",       "exec",         "execute",      "exists",
                              "exit",         "external",     "fetch",        "file",
                              "fillfactor",   "for",          "foreign",      "freetext",
                              "from",         "full",         "function",     "goto",
                              "grant",        "group",        "having",       "holdlock",
                              "identity",     "if",           "in",           "index",
                              "inner",        "insert",       "intersect",    "into",
                              "is",           "join",         "key",          "kill",
                              "left",         "like",         "lineno",       "merge",
                              "national",     "nocheck",      "nonclustered", "not",
                              "null",         "nullif",       "of",           "off",
                              "offsets",      "on",           "open",         "option",
                              "or",           "order",        "outer",        "over",
                              "percent",      "pivot",        "plan",         "precision",
                              "primary",      "print",        "proc",         "procedure",
                              "public",       "raiserror",    "read",         "readtext",
                              "references",   "replication",  "restore",      "restrict",
                              "return",       "revert",       "revoke",       "right",
                              "rollback",     "rowcount",     "rule",         "save",
                              "schema",       "select",       "session_user", "set",
                              "setuser",      "shutdown",     "some",         "statistics",
                              "system_user",  "table",        "then",         "time",
                              "timestamp",    "to",           "top",          "tran",
                              "transaction",  "trigger",      "truncate",     "union",
                              "unique",       "unpivot",      "update",       "user",
                              "using",        "value",        "values",       "varying",
                              "view",         "waitfor",      "when",         "where",
                              "while",        "with",         "writetext"};
        QSet<QString> set;
        for (const char *word : list)
            set.insert(QLatin1String(word));
        return set;
    }();
    return words;
}

class OdbcBackend final : public Backend
{
public:
    OdbcBackend(const QString &connectionString, bool sqlServer)
        : m_connectionString(connectionString)
        , m_sqlServer(sqlServer)
        , m_dialect(sqlServer ? SqlDialect::SqlServer : SqlDialect::Standard)
    {
    }
    ~OdbcBackend() override { OdbcBackend::disconnect(); }

    void connect() override;
    void disconnect() override;
    SqlDialect dialect() const override { return m_dialect; }
    QString defaultDatabase() override { return info(SQL_DATABASE_NAME); }
    QString defaultSchema() override;

    QList<TableInfo> tables() override;
    QList<ColumnInfo> columns(const QString &schema, const QString &table) override;
    QList<KeyColumnInfo> primaryKeys(const QString &schema, const QString &table) override;
    QList<ForeignKeyInfo> foreignKeys(const QString &schema, const QString &table) override;
    QList<IndexInfo> indexes(const QString &schema, const QString &table) override;
    TableMetadata tableMetadata(const QString &schema, const QString &table) override;

    ExecResult execute(const QString &sql, std::atomic<qint64> *rowsFetched) override;
    ExecResult executeParams(const QString &sql, const QList<QVariant> &params) override;
    void cancel() override;

    QString quoteIdentifier(const QString &name) const override;
    QString placeholder(int) const override { return QStringLiteral("?"); }

    void beginTransaction() override;
    void commitTransaction() override;
    void rollbackTransaction() override;

private:
    SQLHDBC connection() const;
    QString info(SQLUSMALLINT what) const;
    PatternArg catalogArg() const { return PatternArg(m_catalog, QString(), false); }
    PatternArg pattern(const QString &value) const { return PatternArg(value, m_escape, true); }
    PatternArg plain(const QString &value) const { return PatternArg(value, QString(), false); }
    // Tables (type TABLE) the key calls run for when no table is named.
    QList<TableInfo> keyTables(const QString &schema, const QString &table);
    QList<KeyColumnInfo> primaryKeysOf(const QString &schema, const QString &table);

    // Runs an executed statement's results; the statement is registered for cancel.
    ExecResult collectResults(Statement &stmt, SQLRETURN rc, std::atomic<qint64> *rowsFetched);
    void setRunning(SQLHSTMT stmt)
    {
        std::lock_guard lock(m_runningMutex);
        m_running = stmt;
    }

    QString m_connectionString;
    bool m_sqlServer;
    SqlDialect m_dialect;
    SQLHENV m_env = SQL_NULL_HENV;
    SQLHDBC m_dbc = SQL_NULL_HDBC;
    QString m_catalog; // passed to catalogue calls when the driver has catalogs
    QString m_escape;
    std::mutex m_runningMutex;
    SQLHSTMT m_running = SQL_NULL_HSTMT;
    std::atomic<bool> m_cancelled{false};
    // How the grid's transaction is kept: the driver's (autocommit off), a savepoint inside a
    // transaction the user opened with SQL, or none where the source has no transactions.
    enum class Transaction { Driver, Savepoint, SqlServerSavepoint, None };
    Transaction m_transaction = Transaction::Driver;
    bool succeeds(const QString &sql);
    void endDriverTransaction(SQLSMALLINT completion);
};

SQLHDBC OdbcBackend::connection() const
{
    if (m_dbc == SQL_NULL_HDBC)
        throw DataAccessError(QStringLiteral("The connection is not open."));
    return m_dbc;
}

void OdbcBackend::connect()
{
    if (m_dbc != SQL_NULL_HDBC)
        return;
    const QString odbcString = odbcConnectionString(m_connectionString, m_sqlServer);

    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_env)))
        throw DataAccessError(QStringLiteral("The ODBC driver manager could not be initialised."));
    SQLSetEnvAttr(m_env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, m_env, &m_dbc))) {
        const QString message = diagnostics(SQL_HANDLE_ENV, m_env);
        disconnect();
        throw DataAccessError(message);
    }
    // An unreachable server fails within these many seconds.
    SQLSetConnectAttrW(m_dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(10), 0);
    SQLSetConnectAttrW(m_dbc, SQL_ATTR_CONNECTION_TIMEOUT, reinterpret_cast<SQLPOINTER>(30), 0);

    std::vector<SQLWCHAR> out(1024);
    SQLSMALLINT outLength = 0;
    const SQLRETURN rc =
        SQLDriverConnectW(m_dbc, nullptr, const_cast<SQLWCHAR *>(wide(odbcString)), SQL_NTS, out.data(),
                          SQLSMALLINT(out.size()), &outLength, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        const QString message = diagnostics(SQL_HANDLE_DBC, m_dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
        m_dbc = SQL_NULL_HDBC;
        disconnect();
        throw DataAccessError(message);
    }

    if (!m_sqlServer) {
        const QString dbms = info(SQL_DBMS_NAME);
        if (dbms.contains(QLatin1String("PostgreSQL"), Qt::CaseInsensitive))
            m_dialect = SqlDialect::PostgreSql;
        else if (dbms.contains(QLatin1String("MySQL"), Qt::CaseInsensitive) ||
                 dbms.contains(QLatin1String("MariaDB"), Qt::CaseInsensitive))
            m_dialect = SqlDialect::MySql;
        else if (dbms.contains(QLatin1String("SQL Server"), Qt::CaseInsensitive))
            m_dialect = SqlDialect::SqlServer;
        else if (dbms.contains(QLatin1String("SQLite"), Qt::CaseInsensitive))
            m_dialect = SqlDialect::Sqlite;
        else if (dbms.contains(QLatin1String("ACCESS"), Qt::CaseInsensitive))
            m_dialect = SqlDialect::Access;
    }
    m_escape = info(SQL_SEARCH_PATTERN_ESCAPE);
    // Some drivers (MariaDB's) list every database's tables unless given the current one.
    if (info(SQL_CATALOG_NAME) == QLatin1String("Y"))
        m_catalog = info(SQL_DATABASE_NAME);
}

void OdbcBackend::disconnect()
{
    if (m_dbc != SQL_NULL_HDBC) {
        SQLDisconnect(m_dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
        m_dbc = SQL_NULL_HDBC;
    }
    if (m_env != SQL_NULL_HENV) {
        SQLFreeHandle(SQL_HANDLE_ENV, m_env);
        m_env = SQL_NULL_HENV;
    }
}

QString OdbcBackend::info(SQLUSMALLINT what) const
{
    std::vector<SQLWCHAR> buffer(512);
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLGetInfoW(connection(), what, buffer.data(),
                                     SQLSMALLINT(buffer.size() * sizeof(SQLWCHAR)), &length);
    if (!SQL_SUCCEEDED(rc))
        throw DataAccessError(diagnostics(SQL_HANDLE_DBC, m_dbc));
    const qsizetype chars =
        std::min<qsizetype>(length / qsizetype(sizeof(SQLWCHAR)), qsizetype(buffer.size()) - 1);
    return fromWide(buffer.data(), chars);
}

QString OdbcBackend::defaultSchema()
{
    switch (m_dialect) {
    case SqlDialect::PostgreSql:
        return execute(QStringLiteral("SELECT current_schema()"), nullptr).recordset->value(0, 0).toString();
    case SqlDialect::SqlServer:
        return execute(QStringLiteral("SELECT SCHEMA_NAME()"), nullptr).recordset->value(0, 0).toString();
    case SqlDialect::MySql:
        return defaultDatabase();
    default:
        return QString();
    }
}

QList<TableInfo> OdbcBackend::tables()
{
    Statement stmt(connection());
    const PatternArg catalog = catalogArg();
    stmt.check(
        SQLTablesW(stmt.handle(), catalog.data(), catalog.length(), nullptr, 0, nullptr, 0, nullptr, 0));
    QList<TableInfo> list;
    while (stmt.fetch()) {
        TableInfo table;
        table.catalog = stmt.text(1);
        table.schema = stmt.text(2);
        table.name = stmt.text(3);
        table.type = stmt.text(4);
        list.append(table);
    }
    // Drivers differ in how they order the rowset; every provider gives the same order.
    std::stable_sort(list.begin(), list.end(), [](const TableInfo &a, const TableInfo &b) {
        if (a.type != b.type)
            return a.type < b.type;
        if (int c = a.schema.compare(b.schema, Qt::CaseInsensitive))
            return c < 0;
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
    return list;
}

QList<ColumnInfo> OdbcBackend::columns(const QString &schema, const QString &table)
{
    Statement stmt(connection());
    const PatternArg catalog = catalogArg();
    const PatternArg schemaArg = pattern(schema);
    const PatternArg tableArg = pattern(table);
    stmt.check(SQLColumnsW(stmt.handle(), catalog.data(), catalog.length(), schemaArg.data(),
                           schemaArg.length(), tableArg.data(), tableArg.length(), nullptr, 0));
    QList<ColumnInfo> list;
    while (stmt.fetch()) {
        // Read in column order: some drivers allow nothing else.
        ColumnInfo column;
        column.schema = stmt.text(2);
        column.table = stmt.text(3);
        column.name = stmt.text(4);
        const int sqlType = int(stmt.integer(5));
        const QString typeName = stmt.text(6);
        const qint64 size = stmt.integer(7);
        const int digits = int(stmt.integer(9));
        column.nullable = stmt.integer(11) != SQL_NO_NULLS;
        const QString defaultValue = stmt.text(13);
        column.ordinal = int(stmt.integer(17));
        // The escape may have been ignored: keep the exact names only.
        if ((!schema.isEmpty() && column.schema != schema) || (!table.isEmpty() && column.table != table))
            continue;
        const OdbcType type = odbcTypeOf(sqlType, size, digits);
        column.type = type.type;
        column.definedSize = type.definedSize;
        column.precision = type.precision;
        column.scale = type.scale;
        column.autoIncrement = typeName.contains(QLatin1String("identity"), Qt::CaseInsensitive) ||
                               typeName.contains(QLatin1String("serial"), Qt::CaseInsensitive) ||
                               typeName.contains(QLatin1String("auto"), Qt::CaseInsensitive) ||
                               defaultValue.startsWith(QLatin1String("nextval("), Qt::CaseInsensitive);
        list.append(column);
    }
    return list;
}

QList<TableInfo> OdbcBackend::keyTables(const QString &schema, const QString &table)
{
    if (!table.isEmpty())
        return {TableInfo{m_catalog, schema, table, QStringLiteral("TABLE")}};
    QList<TableInfo> list;
    for (const TableInfo &info : tables()) {
        if (info.type == QLatin1String("TABLE") && (schema.isEmpty() || info.schema == schema))
            list.append(info);
    }
    return list;
}

QList<KeyColumnInfo> OdbcBackend::primaryKeysOf(const QString &schema, const QString &table)
{
    Statement stmt(connection());
    const PatternArg catalog = catalogArg();
    const PatternArg schemaArg = plain(schema);
    const PatternArg tableArg = plain(table);
    stmt.check(SQLPrimaryKeysW(stmt.handle(), catalog.data(), catalog.length(), schemaArg.data(),
                               schemaArg.length(), tableArg.data(), tableArg.length()));
    QList<KeyColumnInfo> list;
    while (stmt.fetch()) {
        KeyColumnInfo key;
        key.schema = stmt.text(2);
        key.table = stmt.text(3);
        key.column = stmt.text(4);
        key.ordinal = int(stmt.integer(5));
        key.constraintName = stmt.text(6);
        list.append(key);
    }
    std::stable_sort(list.begin(), list.end(),
                     [](const KeyColumnInfo &a, const KeyColumnInfo &b) { return a.ordinal < b.ordinal; });
    return list;
}

QList<KeyColumnInfo> OdbcBackend::primaryKeys(const QString &schema, const QString &table)
{
    QList<KeyColumnInfo> list;
    for (const TableInfo &info : keyTables(schema, table))
        list.append(primaryKeysOf(info.schema, info.name));
    return list;
}

QList<ForeignKeyInfo> OdbcBackend::foreignKeys(const QString &schema, const QString &table)
{
    QList<ForeignKeyInfo> list;
    for (const TableInfo &info : keyTables(schema, table)) {
        Statement stmt(connection());
        const PatternArg catalog = catalogArg();
        const PatternArg schemaArg = plain(info.schema);
        const PatternArg tableArg = plain(info.name);
        stmt.check(SQLForeignKeysW(stmt.handle(), nullptr, 0, nullptr, 0, nullptr, 0, catalog.data(),
                                   catalog.length(), schemaArg.data(), schemaArg.length(), tableArg.data(),
                                   tableArg.length()));
        while (stmt.fetch()) {
            ForeignKeyInfo fk;
            fk.pkSchema = stmt.text(2);
            fk.pkTable = stmt.text(3);
            fk.pkColumn = stmt.text(4);
            fk.fkSchema = stmt.text(6);
            fk.fkTable = stmt.text(7);
            fk.fkColumn = stmt.text(8);
            fk.ordinal = int(stmt.integer(9));
            fk.name = stmt.text(12);
            list.append(fk);
        }
    }
    std::stable_sort(list.begin(), list.end(), [](const ForeignKeyInfo &a, const ForeignKeyInfo &b) {
        const auto key = [](const ForeignKeyInfo &f) {
            return std::make_tuple(f.pkSchema, f.pkTable, f.fkSchema, f.fkTable, f.name);
        };
        if (key(a) != key(b))
            return key(a) < key(b);
        return a.ordinal < b.ordinal;
    });
    return list;
}

QList<IndexInfo> OdbcBackend::indexes(const QString &schema, const QString &table)
{
    QList<IndexInfo> list;
    for (const TableInfo &info : keyTables(schema, table)) {
        QString primaryName;
        QStringList primaryColumns;
        try {
            for (const KeyColumnInfo &key : primaryKeysOf(info.schema, info.name)) {
                primaryName = key.constraintName;
                primaryColumns.append(key.column);
            }
        } catch (const DataAccessError &) {
            // Without the primary key, no index is marked as it.
        }

        Statement stmt(connection());
        const PatternArg catalog = catalogArg();
        const PatternArg schemaArg = plain(info.schema);
        const PatternArg tableArg = plain(info.name);
        stmt.check(SQLStatisticsW(stmt.handle(), catalog.data(), catalog.length(), schemaArg.data(),
                                  schemaArg.length(), tableArg.data(), tableArg.length(), SQL_INDEX_ALL,
                                  SQL_QUICK));
        QList<IndexInfo> found;
        QList<QList<QPair<int, QString>>> keyColumns;
        while (stmt.fetch()) {
            const QString indexSchema = stmt.text(2);
            const QString indexTable = stmt.text(3);
            const bool nonUnique = stmt.integer(4) != 0;
            const QString name = stmt.text(6);
            const int type = int(stmt.integer(7));
            const int ordinal = int(stmt.integer(8));
            const QString column = stmt.text(9);
            if (type == SQL_TABLE_STAT || name.isEmpty())
                continue;
            qsizetype at = -1;
            for (qsizetype i = 0; i < found.size(); ++i) {
                if (found[i].name == name)
                    at = i;
            }
            if (at < 0) {
                IndexInfo index;
                index.schema = indexSchema;
                index.table = indexTable;
                index.name = name;
                index.unique = !nonUnique;
                found.append(index);
                keyColumns.append(QList<QPair<int, QString>>());
                at = found.size() - 1;
            }
            keyColumns[at].append({ordinal, column});
        }
        for (qsizetype i = 0; i < found.size(); ++i) {
            std::stable_sort(keyColumns[i].begin(), keyColumns[i].end(),
                             [](const auto &a, const auto &b) { return a.first < b.first; });
            for (const auto &column : std::as_const(keyColumns[i]))
                found[i].columns.append(column.second);
            found[i].primaryKey =
                !primaryColumns.isEmpty() &&
                (found[i].name == primaryName ||
                 (primaryName.isEmpty() && found[i].unique && found[i].columns == primaryColumns));
            if (found[i].primaryKey)
                found[i].unique = true;
        }
        list.append(found);
    }
    std::stable_sort(list.begin(), list.end(), [](const IndexInfo &a, const IndexInfo &b) {
        if (a.unique != b.unique)
            return a.unique;
        if (int c = a.schema.compare(b.schema, Qt::CaseInsensitive))
            return c < 0;
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
    return list;
}

TableMetadata OdbcBackend::tableMetadata(const QString &schema, const QString &table)
{
    TableMetadata metadata;
    const QList<ColumnInfo> columnList = columns(schema, table);
    if (columnList.isEmpty()) {
        // Let the driver word the error for a table that does not exist.
        QString name = quoteIdentifier(table);
        if (!schema.isEmpty())
            name = quoteIdentifier(schema) + QLatin1Char('.') + name;
        const ExecResult result = execute(QStringLiteral("SELECT * FROM %1 WHERE 1 = 0").arg(name), nullptr);
        if (result.recordset)
            metadata.fields = result.recordset->fields();
        return metadata;
    }
    for (const ColumnInfo &column : columnList)
        metadata.fields.append(fieldFromColumn(column));
    metadata.indexes = indexes(columnList.first().schema, table);
    return metadata;
}

ExecResult OdbcBackend::execute(const QString &sql, std::atomic<qint64> *rowsFetched)
{
    Statement stmt(connection());
    m_cancelled = false;
    setRunning(stmt.handle());
    struct Unregister
    {
        OdbcBackend *self;
        ~Unregister() { self->setRunning(SQL_NULL_HSTMT); }
    } unregister{this};
    const SQLRETURN rc = SQLExecDirectW(stmt.handle(), const_cast<SQLWCHAR *>(wide(sql)), SQL_NTS);
    return collectResults(stmt, rc, rowsFetched);
}

ExecResult OdbcBackend::executeParams(const QString &sql, const QList<QVariant> &params)
{
    Statement stmt(connection());
    m_cancelled = false;
    stmt.check(SQLPrepareW(stmt.handle(), const_cast<SQLWCHAR *>(wide(sql)), SQL_NTS));

    const size_t count = size_t(params.size());
    std::vector<QString> texts(count);
    std::vector<QByteArray> bytes(count);
    std::vector<SQLBIGINT> integers(count);
    std::vector<double> doubles(count);
    std::vector<unsigned char> bits(count);
    std::vector<SQLLEN> indicators(count);
    for (size_t i = 0; i < count; ++i) {
        const QVariant &param = params[qsizetype(i)];
        const SQLUSMALLINT number = SQLUSMALLINT(i + 1);
        SQLRETURN rc = SQL_SUCCESS;
        if (param.isNull()) {
            // A NULL takes the type of where it stands, when the driver can tell.
            SQLSMALLINT sqlType = SQL_VARCHAR;
            SQLULEN size = 1;
            SQLSMALLINT digits = 0;
            SQLSMALLINT nullable = 0;
            if (!SQL_SUCCEEDED(
                    SQLDescribeParam(stmt.handle(), number, &sqlType, &size, &digits, &nullable))) {
                sqlType = SQL_VARCHAR;
                size = 1;
                digits = 0;
            }
            indicators[i] = SQL_NULL_DATA;
            rc = SQLBindParameter(stmt.handle(), number, SQL_PARAM_INPUT, SQL_C_CHAR, sqlType,
                                  size ? size : 1, digits, nullptr, 0, &indicators[i]);
        } else {
            switch (param.typeId()) {
            case QMetaType::Bool:
                bits[i] = param.toBool() ? 1 : 0;
                indicators[i] = 0;
                rc = SQLBindParameter(stmt.handle(), number, SQL_PARAM_INPUT, SQL_C_BIT, SQL_BIT, 1, 0,
                                      &bits[i], 0, &indicators[i]);
                break;
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::LongLong:
            case QMetaType::Short:
            case QMetaType::UShort:
            case QMetaType::Char:
            case QMetaType::SChar:
            case QMetaType::UChar:
                integers[i] = param.toLongLong();
                indicators[i] = 0;
                rc = SQLBindParameter(stmt.handle(), number, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 19,
                                      0, &integers[i], 0, &indicators[i]);
                break;
            case QMetaType::Double:
            case QMetaType::Float:
                doubles[i] = param.toDouble();
                indicators[i] = 0;
                rc = SQLBindParameter(stmt.handle(), number, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 15, 0,
                                      &doubles[i], 0, &indicators[i]);
                break;
            case QMetaType::QByteArray:
                bytes[i] = param.toByteArray();
                indicators[i] = SQLLEN(bytes[i].size());
                rc = SQLBindParameter(stmt.handle(), number, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_LONGVARBINARY,
                                      SQLULEN(std::max<qsizetype>(bytes[i].size(), 1)), 0, bytes[i].data(),
                                      SQLLEN(bytes[i].size()), &indicators[i]);
                break;
            default: {
                if (param.typeId() == QMetaType::QDate)
                    texts[i] = param.toDate().toString(Qt::ISODate);
                else if (param.typeId() == QMetaType::QTime)
                    texts[i] = param.toTime().toString(Qt::ISODateWithMs);
                else if (param.typeId() == QMetaType::QDateTime)
                    texts[i] = param.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
                else
                    texts[i] = param.toString();
                const qsizetype chars = texts[i].size();
                indicators[i] = SQLLEN(chars * qsizetype(sizeof(SQLWCHAR)));
                rc = SQLBindParameter(stmt.handle(), number, SQL_PARAM_INPUT, SQL_C_WCHAR,
                                      chars > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR,
                                      SQLULEN(std::max<qsizetype>(chars, 1)), 0,
                                      const_cast<SQLWCHAR *>(wide(texts[i])), indicators[i], &indicators[i]);
                break;
            }
            }
        }
        stmt.check(rc);
    }
    setRunning(stmt.handle());
    struct Unregister
    {
        OdbcBackend *self;
        ~Unregister() { self->setRunning(SQL_NULL_HSTMT); }
    } unregister{this};
    const SQLRETURN rc = SQLExecute(stmt.handle());
    return collectResults(stmt, rc, nullptr);
}

ExecResult OdbcBackend::collectResults(Statement &stmt, SQLRETURN rc, std::atomic<qint64> *rowsFetched)
{
    const SQLHSTMT h = stmt.handle();
    ExecResult out;
    if (rc == SQL_NO_DATA) {
        out.recordsAffected = 0; // a searched UPDATE or DELETE that met no row
        rc = SQL_SUCCESS;
    }
    stmt.check(rc);
    for (;;) {
        SQLSMALLINT columnCount = 0;
        stmt.check(SQLNumResultCols(h, &columnCount));
        if (columnCount > 0) {
            QList<FieldInfo> fields;
            std::vector<Conversion> conversions;
            for (SQLUSMALLINT column = 1; column <= SQLUSMALLINT(columnCount); ++column) {
                SQLWCHAR name[512];
                SQLSMALLINT nameLength = 0;
                SQLSMALLINT sqlType = 0;
                SQLULEN size = 0;
                SQLSMALLINT digits = 0;
                SQLSMALLINT nullable = SQL_NULLABLE_UNKNOWN;
                stmt.check(SQLDescribeColW(h, column, name, SQLSMALLINT(std::size(name)), &nameLength,
                                           &sqlType, &size, &digits, &nullable));
                FieldInfo field;
                field.name = fromWide(name, std::min<qsizetype>(nameLength, qsizetype(std::size(name)) - 1));
                const OdbcType type = odbcTypeOf(sqlType, qint64(size), digits);
                field.type = type.type;
                field.definedSize = type.definedSize;
                field.precision = type.precision;
                field.scale = type.scale;
                field.nullable = nullable != SQL_NO_NULLS;
                auto attribute = [&](SQLUSMALLINT what) {
                    SQLWCHAR value[512];
                    SQLSMALLINT length = 0;
                    if (!SQL_SUCCEEDED(SQLColAttributeW(h, column, what, value, SQLSMALLINT(sizeof value),
                                                        &length, nullptr)))
                        return QString();
                    return fromWide(value, std::min<qsizetype>(length / qsizetype(sizeof(SQLWCHAR)),
                                                               qsizetype(std::size(value)) - 1));
                };
                field.baseTable = attribute(SQL_DESC_BASE_TABLE_NAME);
                if (!field.baseTable.isEmpty()) {
                    field.baseColumn = attribute(SQL_DESC_BASE_COLUMN_NAME);
                    field.baseSchema = attribute(SQL_DESC_SCHEMA_NAME);
                }
                SQLLEN autoUnique = SQL_FALSE;
                if (SQL_SUCCEEDED(SQLColAttributeW(h, column, SQL_DESC_AUTO_UNIQUE_VALUE, nullptr, 0, nullptr,
                                                   &autoUnique)))
                    field.autoIncrement = autoUnique == SQL_TRUE;
                fields.append(field);
                conversions.push_back(conversionFor(sqlType));
            }

            auto recordset =
                std::make_unique<Recordset>(fields, std::make_unique<RowStore>(int(columnCount)));
            RowStore &store = recordset->rows();
            if (rowsFetched)
                rowsFetched->store(0, std::memory_order_relaxed);
            std::vector<char> chunk(static_cast<size_t>(ChunkBytes));
            QByteArray blob;
            QString text;
            bool cut = false;
            for (;;) {
                if (m_cancelled.load(std::memory_order_relaxed)) {
                    cut = true;
                    break;
                }
                const SQLRETURN fetched = SQLFetch(h);
                if (fetched == SQL_NO_DATA)
                    break;
                if (!SQL_SUCCEEDED(fetched)) {
                    if (m_cancelled)
                        cut = true;
                    else
                        stmt.check(fetched);
                    break;
                }
                store.beginRow();
                for (SQLUSMALLINT column = 1; column <= SQLUSMALLINT(columnCount); ++column) {
                    SQLLEN indicator = 0;
                    switch (conversions[column - 1]) {
                    case Conversion::Int: {
                        SQLBIGINT value = 0;
                        stmt.check(SQLGetData(h, column, SQL_C_SBIGINT, &value, 0, &indicator));
                        if (indicator == SQL_NULL_DATA)
                            store.addNull();
                        else
                            store.addInt(qint64(value));
                        break;
                    }
                    case Conversion::Double: {
                        double value = 0;
                        stmt.check(SQLGetData(h, column, SQL_C_DOUBLE, &value, 0, &indicator));
                        if (indicator == SQL_NULL_DATA)
                            store.addNull();
                        else
                            store.addDouble(value);
                        break;
                    }
                    case Conversion::Bool: {
                        unsigned char value = 0;
                        stmt.check(SQLGetData(h, column, SQL_C_BIT, &value, 0, &indicator));
                        if (indicator == SQL_NULL_DATA)
                            store.addNull();
                        else
                            store.addBool(value != 0);
                        break;
                    }
                    case Conversion::Blob: {
                        blob.clear();
                        bool isNull = false;
                        for (;;) {
                            const SQLRETURN got =
                                SQLGetData(h, column, SQL_C_BINARY, chunk.data(), ChunkBytes, &indicator);
                            if (got == SQL_NO_DATA)
                                break;
                            stmt.check(got);
                            if (indicator == SQL_NULL_DATA) {
                                isNull = true;
                                break;
                            }
                            const SQLLEN part = (indicator == SQL_NO_TOTAL || indicator > ChunkBytes)
                                                    ? ChunkBytes
                                                    : indicator;
                            blob.append(chunk.data(), qsizetype(part));
                            if (got == SQL_SUCCESS)
                                break;
                        }
                        if (isNull)
                            store.addNull();
                        else
                            store.addBlob(blob.constData(), blob.size());
                        break;
                    }
                    case Conversion::Text: {
                        bool isNull = false;
                        text = stmt.text(column, &isNull);
                        if (isNull) {
                            store.addNull();
                        } else {
                            const QByteArray utf8 = text.toUtf8();
                            store.addText(utf8.constData(), utf8.size());
                        }
                        break;
                    }
                    }
                }
                store.endRow();
                if (rowsFetched)
                    rowsFetched->store(store.rowCount(), std::memory_order_relaxed);
            }
            recordset->setIncomplete(cut);
            out.recordsAffected = store.rowCount();
            out.recordset = std::move(recordset);
            if (cut) {
                SQLCloseCursor(h);
                return out;
            }
        } else {
            SQLLEN affected = -1;
            if (SQL_SUCCEEDED(SQLRowCount(h, &affected)))
                out.recordsAffected = affected < 0 ? -1 : qint64(affected); // -1: the driver cannot tell
        }
        const SQLRETURN more = SQLMoreResults(h);
        if (more == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(more)) {
            if (m_cancelled && out.recordset) {
                out.recordset->setIncomplete(true);
                return out;
            }
            stmt.check(more);
        }
    }
    return out;
}

void OdbcBackend::cancel()
{
    m_cancelled = true;
    std::lock_guard lock(m_runningMutex);
    if (m_running != SQL_NULL_HSTMT)
        SQLCancel(m_running);
}

QString OdbcBackend::quoteIdentifier(const QString &name) const
{
    switch (m_dialect) {
    case SqlDialect::PostgreSql:
        return pgQuoteIdentifier(name);
    case SqlDialect::MySql:
        return mysqlQuoteIdentifier(name);
    case SqlDialect::SqlServer:
    case SqlDialect::Access: {
        if (isPlainIdentifier(name) && !sqlKeywords().contains(name.toLower()))
            return name;
        QString quoted = name;
        quoted.replace(QLatin1Char(']'), QLatin1String("]]"));
        return QLatin1Char('[') + quoted + QLatin1Char(']');
    }
    default: {
        if (isPlainIdentifier(name) && !sqlKeywords().contains(name.toLower()))
            return name;
        QString quoted = name;
        quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
        return QLatin1Char('"') + quoted + QLatin1Char('"');
    }
    }
}

bool OdbcBackend::succeeds(const QString &sql)
{
    try {
        execute(sql, nullptr);
        return true;
    } catch (const DataAccessError &) {
        return false;
    }
}

// A transaction the user opened with SQL (BEGIN in the SQL editor) is invisible to the driver,
// whose commit would end it: where the source can tell that one is open, the grid's writes go
// into a savepoint of it instead. SQLite's savepoints work either way. Other sources are
// taken to have none open.
void OdbcBackend::beginTransaction()
{
    const auto scalar = [this](const char *sql) {
        const ExecResult r = execute(QString::fromLatin1(sql), nullptr);
        return r.recordset && r.recordset->rowCount() > 0 ? r.recordset->value(0, 0).toLongLong() : 0;
    };
    switch (m_dialect) {
    case SqlDialect::Sqlite:
        execute(QStringLiteral("SAVEPOINT orvessa_edit"), nullptr);
        m_transaction = Transaction::Savepoint;
        return;
    case SqlDialect::SqlServer:
        if (scalar("SELECT @@TRANCOUNT") > 0) {
            execute(QStringLiteral("SAVE TRANSACTION orvessa_edit"), nullptr);
            m_transaction = Transaction::SqlServerSavepoint;
            return;
        }
        break;
    case SqlDialect::PostgreSql:
        // Refused outside a transaction block, with no effect.
        if (succeeds(QStringLiteral("SAVEPOINT orvessa_edit"))) {
            m_transaction = Transaction::Savepoint;
            return;
        }
        break;
    case SqlDialect::MySql: {
        bool open = false;
        try {
            open = scalar("SELECT @@in_transaction") > 0;
        } catch (const DataAccessError &) {
            // MySQL itself has no such variable: taken as none open.
        }
        if (open) {
            execute(QStringLiteral("SAVEPOINT orvessa_edit"), nullptr);
            m_transaction = Transaction::Savepoint;
            return;
        }
        break;
    }
    default:
        break;
    }
    SQLUSMALLINT capable = SQL_TC_ALL;
    if (SQL_SUCCEEDED(SQLGetInfoW(connection(), SQL_TXN_CAPABLE, &capable, sizeof capable, nullptr)) &&
        capable == SQL_TC_NONE) {
        m_transaction = Transaction::None;
        return;
    }
    if (!SQL_SUCCEEDED(SQLSetConnectAttrW(m_dbc, SQL_ATTR_AUTOCOMMIT,
                                          reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER)))
        throw DataAccessError(diagnostics(SQL_HANDLE_DBC, m_dbc));
    m_transaction = Transaction::Driver;
}

void OdbcBackend::endDriverTransaction(SQLSMALLINT completion)
{
    SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, connection(), completion);
    const QString message = SQL_SUCCEEDED(rc) ? QString() : diagnostics(SQL_HANDLE_DBC, m_dbc);
    if (!SQL_SUCCEEDED(rc) && completion == SQL_COMMIT)
        SQLEndTran(SQL_HANDLE_DBC, m_dbc, SQL_ROLLBACK);
    SQLSetConnectAttrW(m_dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON),
                       SQL_IS_UINTEGER);
    if (!message.isEmpty())
        throw DataAccessError(message);
}

void OdbcBackend::commitTransaction()
{
    switch (m_transaction) {
    case Transaction::Driver:
        endDriverTransaction(SQL_COMMIT);
        break;
    case Transaction::Savepoint:
        execute(QStringLiteral("RELEASE SAVEPOINT orvessa_edit"), nullptr);
        break;
    case Transaction::SqlServerSavepoint:
    case Transaction::None:
        break;
    }
}

void OdbcBackend::rollbackTransaction()
{
    switch (m_transaction) {
    case Transaction::Driver:
        endDriverTransaction(SQL_ROLLBACK);
        break;
    case Transaction::Savepoint:
        execute(QStringLiteral("ROLLBACK TO SAVEPOINT orvessa_edit"), nullptr);
        execute(QStringLiteral("RELEASE SAVEPOINT orvessa_edit"), nullptr);
        break;
    case Transaction::SqlServerSavepoint:
        execute(QStringLiteral("ROLLBACK TRANSACTION orvessa_edit"), nullptr);
        break;
    case Transaction::None:
        break;
    }
}

} // namespace

std::unique_ptr<Backend> createOdbcBackend(const QString &connectionString, bool sqlServer)
{
    return std::make_unique<OdbcBackend>(connectionString, sqlServer);
}
