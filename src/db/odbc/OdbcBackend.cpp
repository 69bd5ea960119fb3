#include "common/NameCompare.h"
#include "db/Backends.h"
#include "db/fetch/Fetch.h"
#include "db/odbc/OdbcConnectionString.h"
#include "db/odbc/OdbcDriverPackages.h"
#include "db/odbc/OdbcSession.h"
#include "db/odbc/OdbcTypes.h"

#include <algorithm>
#include <exception>
#include <vector>

namespace {

using Statement = OdbcStatementHandle;

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
    SQLWCHAR *data() const { return m_null ? nullptr : const_cast<SQLWCHAR *>(odbcWide(m_text)); }
    SQLSMALLINT length() const { return m_null ? 0 : SQLSMALLINT(SQL_NTS); }

private:
    bool m_null = true;
    QString m_text;
};

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

    std::unique_ptr<StatementCursor> openCursor(const QString &sql, const QList<QVariant> *params) override
    {
        return m_session.openCursor(sql, params);
    }
    void cancel() override { m_session.cancel(); }

    QString placeholder(int) const override { return QStringLiteral("?"); }

    void beginTransaction() override;
    void commitTransaction() override;
    void rollbackTransaction() override;

private:
    SQLHDBC connection() const { return m_session.handle(); }
    QString info(SQLUSMALLINT what) const { return m_session.info(what); }
    PatternArg catalogArg() const { return PatternArg(m_catalog, QString(), false); }
    PatternArg pattern(const QString &value) const { return PatternArg(value, m_escape, true); }
    PatternArg plain(const QString &value) const { return PatternArg(value, QString(), false); }
    // Tables (type TABLE) the key calls run for when no table is named.
    QList<TableInfo> keyTables(const QString &schema, const QString &table);
    QList<KeyColumnInfo> primaryKeysOf(const QString &schema, const QString &table);

    QString m_connectionString;
    bool m_sqlServer;
    SqlDialect m_dialect;
    OdbcSession m_session;
    QString m_catalog; // passed to catalogue calls when the driver has catalogs
    QString m_escape;
    // How the grid's transaction is kept: the driver's (autocommit off), a savepoint inside a
    // transaction the user opened with SQL, or none where the source has no transactions.
    enum class Transaction { Driver, Savepoint, SqlServerSavepoint, None };
    Transaction m_transaction = Transaction::Driver;
    bool succeeds(const QString &sql);
    void endDriverTransaction(SQLSMALLINT completion);
};

void OdbcBackend::connect()
{
    if (m_session.isOpen())
        return;
    const QString odbcString = odbcConnectionString(m_connectionString, m_sqlServer);
    try {
        m_session.open(odbcString);
    } catch (const DataAccessError &e) {
        throw DataAccessError(explainMissingOdbcDriver(e.text(), odbcString));
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
    m_session.close();
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
        if (a.schema != b.schema)
            return lessName(a.schema, b.schema);
        return lessName(a.name, b.name);
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
        } catch (const DataAccessError &e) {
            letLostSessionThrough(e);
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
        if (a.schema != b.schema)
            return lessName(a.schema, b.schema);
        return lessName(a.name, b.name);
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

bool OdbcBackend::succeeds(const QString &sql)
{
    try {
        execute(sql, nullptr);
        return true;
    } catch (const ConnectionLostError &) {
        throw;
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
        } catch (const ConnectionLostError &) {
            throw;
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
    const SQLHDBC dbc = connection();
    SQLUSMALLINT capable = SQL_TC_ALL;
    if (SQL_SUCCEEDED(SQLGetInfoW(dbc, SQL_TXN_CAPABLE, &capable, sizeof capable, nullptr)) &&
        capable == SQL_TC_NONE) {
        m_transaction = Transaction::None;
        return;
    }
    if (!SQL_SUCCEEDED(SQLSetConnectAttrW(dbc, SQL_ATTR_AUTOCOMMIT,
                                          reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER)))
        throwOdbcError(SQL_HANDLE_DBC, dbc);
    m_transaction = Transaction::Driver;
}

void OdbcBackend::endDriverTransaction(SQLSMALLINT completion)
{
    const SQLHDBC dbc = connection();
    std::exception_ptr error;
    if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, dbc, completion))) {
        try {
            throwOdbcError(SQL_HANDLE_DBC, dbc);
        } catch (...) {
            error = std::current_exception();
        }
        if (completion == SQL_COMMIT)
            SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_ROLLBACK);
    }
    SQLSetConnectAttrW(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON),
                       SQL_IS_UINTEGER);
    if (error)
        std::rethrow_exception(error);
}

void OdbcBackend::commitTransaction()
{
    switch (m_transaction) {
    case Transaction::Driver:
        endDriverTransaction(SQL_COMMIT);
        break;
    case Transaction::Savepoint:
        endEdit(true, true, [this](const char *sql) { execute(QString::fromLatin1(sql), nullptr); });
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
        endEdit(true, false, [this](const char *sql) { execute(QString::fromLatin1(sql), nullptr); });
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
