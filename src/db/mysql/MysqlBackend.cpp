#include "common/NameCompare.h"
#include "db/Backends.h"
#include "db/ConnectionString.h"
#include "db/fetch/Fetch.h"
#include "db/mysql/MysqlSession.h"
#include "db/mysql/MysqlTypes.h"

#include <QHash>

#include <algorithm>
#include <cstring>

namespace {

class MysqlBackend final : public Backend
{
public:
    explicit MysqlBackend(const QString &connectionString) : m_connectionString(connectionString) {}
    ~MysqlBackend() override { MysqlBackend::disconnect(); }

    void connect() override;
    void disconnect() override;
    SqlDialect dialect() const override { return SqlDialect::MySql; }
    QString defaultDatabase() override { return scalar("SELECT DATABASE()"); }
    QString defaultSchema() override { return defaultDatabase(); }

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
    SessionSecurity security() const override { return m_session.security(); }

    QString placeholder(int) const override { return QStringLiteral("?"); }

    void beginTransaction() override;
    void commitTransaction() override;
    void rollbackTransaction() override;

private:
    void command(const char *sql);
    QByteArray literal(const QString &text) const { return m_session.literal(text); }
    // Which schema a restriction means: the given one, else the current database.
    QByteArray schemaCondition(const char *column, const QString &schema) const;
    // Runs a catalogue query and returns all its rows as text (NULL as a null QString).
    QList<QStringList> rows(const QByteArray &sql) { return m_session.rows(sql); }
    QString scalar(const char *sql);

    QString m_connectionString;
    MysqlSession m_session;
    // The grid's transaction is a savepoint inside a transaction the user opened.
    bool m_savepoint = false;
};

void MysqlBackend::connect()
{
    if (m_session.isOpen())
        return;
    const ConnectionString cs(m_connectionString);
    MysqlConnectParams params;
    params.host = cs.value({QStringLiteral("Data Source"), QStringLiteral("Server")}).toUtf8();
    params.user =
        cs.value({QStringLiteral("User ID"), QStringLiteral("UID"), QStringLiteral("User")}).toUtf8();
    params.password = cs.value({QStringLiteral("Password"), QStringLiteral("PWD")}).toUtf8();
    params.database = cs.value({QStringLiteral("Initial Catalog"), QStringLiteral("Database")}).toUtf8();
    params.socket = cs.value(QStringLiteral("Socket")).toUtf8();
    params.tls = TlsSettings::fromConnectionString(cs);
    const QString port = cs.value(QStringLiteral("Port"));
    if (!port.isEmpty()) {
        bool ok = false;
        params.port = port.toUInt(&ok);
        if (!ok || params.port > 65535)
            throw DataAccessError(QStringLiteral("The port \"%1\" is not a valid port number.").arg(port));
    }
    // Found rows rather than changed rows: an UPDATE that writes the values a row already has
    // still reports the row, so a posted edit is not taken for a lost row.
    m_session.open(params, CLIENT_MULTI_STATEMENTS | CLIENT_MULTI_RESULTS | CLIENT_FOUND_ROWS);
}

void MysqlBackend::disconnect()
{
    m_session.close();
}

QByteArray MysqlBackend::schemaCondition(const char *column, const QString &schema) const
{
    if (!schema.isEmpty())
        return QByteArray(column) + " = " + literal(schema);
    // No database chosen: every database but the server's own.
    return QByteArray("(") + column + " = DATABASE() OR (DATABASE() IS NULL AND " + column +
           " NOT IN ('mysql', 'information_schema', 'performance_schema', 'sys')))";
}

void MysqlBackend::command(const char *sql)
{
    MYSQL *mysql = m_session.handle();
    if (mysql_real_query(mysql, sql, static_cast<unsigned long>(std::strlen(sql))))
        m_session.fail();
}

// START TRANSACTION would silently commit a transaction the user opened (BEGIN in the SQL
// editor); the grid's writes then go into a savepoint of it instead. A MyISAM table ignores
// both: the writer checks that exactly one row matches before it writes.
void MysqlBackend::beginTransaction()
{
    unsigned int status = 0;
    mariadb_get_infov(m_session.handle(), MARIADB_CONNECTION_SERVER_STATUS, &status);
    m_savepoint = (status & SERVER_STATUS_IN_TRANS) != 0;
    command(m_savepoint ? "SAVEPOINT orvessa_edit" : "START TRANSACTION");
}

void MysqlBackend::commitTransaction()
{
    endEdit(m_savepoint, true, [this](const char *sql) { command(sql); });
}

void MysqlBackend::rollbackTransaction()
{
    endEdit(m_savepoint, false, [this](const char *sql) { command(sql); });
}

QString MysqlBackend::scalar(const char *sql)
{
    const QList<QStringList> result = rows(sql);
    return result.isEmpty() ? QString() : result.first().value(0);
}

QList<TableInfo> MysqlBackend::tables()
{
    const QList<QStringList> result =
        rows("SELECT TABLE_SCHEMA, TABLE_NAME, "
             "CASE WHEN TABLE_SCHEMA IN ('mysql', 'information_schema', "
             "'performance_schema', 'sys') THEN "
             "  IF(TABLE_TYPE = 'BASE TABLE', 'SYSTEM TABLE', 'SYSTEM VIEW') "
             "WHEN TABLE_TYPE IN ('BASE TABLE', 'SYSTEM VERSIONED') THEN 'TABLE' "
             "ELSE TABLE_TYPE END AS TYPE "
             "FROM information_schema.TABLES WHERE " +
             schemaCondition("TABLE_SCHEMA", QString()) + " ORDER BY 3, 1, 2");
    QList<TableInfo> list;
    for (const QStringList &row : result)
        list.append({row[0], row[0], row[1], row[2]});
    return list;
}

QList<ColumnInfo> MysqlBackend::columns(const QString &schema, const QString &table)
{
    QByteArray sql =
        "SELECT TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME, ORDINAL_POSITION, IS_NULLABLE, DATA_TYPE, "
        "COLUMN_TYPE, CHARACTER_MAXIMUM_LENGTH, NUMERIC_PRECISION, NUMERIC_SCALE, EXTRA "
        "FROM information_schema.COLUMNS WHERE " +
        schemaCondition("TABLE_SCHEMA", schema);
    if (!table.isEmpty())
        sql += " AND TABLE_NAME = " + literal(table);
    // The rows are taken as the server sends them and sorted here: sorting them on the server
    // costs it a temporary table (COLUMN_TYPE is a long text), which for a whole database of
    // tables takes longer than reading them.
    QList<ColumnInfo> list;
    QHash<QByteArray, MysqlType> types; // the same types come again and again
    QByteArray schemaBytes, tableBytes;
    QString schemaName, tableName; // shared by the columns of one table
    m_session.eachRow(sql, [&](MYSQL_ROW row, const unsigned long *lengths) {
        auto bytes = [&](int i) {
            return QByteArray::fromRawData(row[i] ? row[i] : "", qsizetype(lengths[i]));
        };
        ColumnInfo column;
        if (list.isEmpty() || bytes(0) != schemaBytes) {
            schemaBytes = QByteArray(row[0], qsizetype(lengths[0])); // a copy: the row is reused
            schemaName = QString::fromUtf8(row[0], qsizetype(lengths[0]));
        }
        if (list.isEmpty() || bytes(1) != tableBytes) {
            tableBytes = QByteArray(row[1], qsizetype(lengths[1]));
            tableName = QString::fromUtf8(row[1], qsizetype(lengths[1]));
        }
        column.schema = schemaName;
        column.table = tableName;
        column.name = QString::fromUtf8(row[2], qsizetype(lengths[2]));
        column.ordinal = bytes(3).toInt();
        column.nullable = bytes(4) == "YES";
        const QByteArray typeKey =
            bytes(5) + '|' + bytes(6) + '|' + bytes(7) + '|' + bytes(8) + '|' + bytes(9);
        auto type = types.constFind(typeKey);
        if (type == types.constEnd()) {
            type =
                types.insert(typeKey, mysqlTypeOf(mysqlColumnType(bytes(5), bytes(6), bytes(7).toLongLong(),
                                                                  bytes(8).toInt(), bytes(9).toInt())));
        }
        column.type = type->type;
        column.definedSize = type->definedSize;
        column.precision = type->precision;
        column.scale = type->scale;
        column.autoIncrement = bytes(10).toLower().contains("auto_increment");
        list.append(std::move(column));
    });
    std::stable_sort(list.begin(), list.end(), [](const ColumnInfo &a, const ColumnInfo &b) {
        if (a.schema != b.schema)
            return lessName(a.schema, b.schema);
        if (a.table != b.table)
            return lessName(a.table, b.table);
        return a.ordinal < b.ordinal;
    });
    return list;
}

QList<KeyColumnInfo> MysqlBackend::primaryKeys(const QString &schema, const QString &table)
{
    QByteArray sql = "SELECT TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME, ORDINAL_POSITION, CONSTRAINT_NAME "
                     "FROM information_schema.KEY_COLUMN_USAGE WHERE CONSTRAINT_NAME = 'PRIMARY' AND " +
                     schemaCondition("TABLE_SCHEMA", schema);
    if (!table.isEmpty())
        sql += " AND TABLE_NAME = " + literal(table);
    sql += " ORDER BY TABLE_SCHEMA, TABLE_NAME, ORDINAL_POSITION";
    QList<KeyColumnInfo> list;
    for (const QStringList &row : rows(sql))
        list.append({row[0], row[1], row[2], row[3].toInt(), row[4]});
    return list;
}

QList<ForeignKeyInfo> MysqlBackend::foreignKeys(const QString &schema, const QString &table)
{
    QByteArray sql =
        "SELECT CONSTRAINT_NAME, TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME, REFERENCED_TABLE_SCHEMA, "
        "REFERENCED_TABLE_NAME, REFERENCED_COLUMN_NAME, ORDINAL_POSITION "
        "FROM information_schema.KEY_COLUMN_USAGE WHERE REFERENCED_TABLE_NAME IS NOT NULL AND " +
        schemaCondition("TABLE_SCHEMA", schema);
    if (!table.isEmpty())
        sql += " AND TABLE_NAME = " + literal(table);
    sql += " ORDER BY REFERENCED_TABLE_SCHEMA, REFERENCED_TABLE_NAME, TABLE_SCHEMA, TABLE_NAME, "
           "CONSTRAINT_NAME, "
           "ORDINAL_POSITION";
    QList<ForeignKeyInfo> list;
    for (const QStringList &row : rows(sql))
        list.append({row[0], row[1], row[2], row[3], row[4], row[5], row[6], row[7].toInt()});
    return list;
}

QList<IndexInfo> MysqlBackend::indexes(const QString &schema, const QString &table)
{
    QByteArray sql = "SELECT TABLE_SCHEMA, TABLE_NAME, INDEX_NAME, NON_UNIQUE, COLUMN_NAME "
                     "FROM information_schema.STATISTICS WHERE " +
                     schemaCondition("TABLE_SCHEMA", schema);
    if (!table.isEmpty())
        sql += " AND TABLE_NAME = " + literal(table);
    sql += " ORDER BY NON_UNIQUE, TABLE_SCHEMA, INDEX_NAME, TABLE_NAME, SEQ_IN_INDEX";
    QList<IndexInfo> list;
    for (const QStringList &row : rows(sql)) {
        if (list.isEmpty() || list.last().schema != row[0] || list.last().table != row[1] ||
            list.last().name != row[2]) {
            IndexInfo index;
            index.schema = row[0];
            index.table = row[1];
            index.name = row[2];
            index.unique = row[3] == QLatin1String("0");
            index.primaryKey = row[2] == QLatin1String("PRIMARY");
            list.append(index);
        }
        list.last().columns.append(row[4]);
    }
    return list;
}

TableMetadata MysqlBackend::tableMetadata(const QString &schema, const QString &table)
{
    TableMetadata metadata;
    const QList<ColumnInfo> columnList = columns(schema, table);
    if (columnList.isEmpty()) {
        // Let the server word the error for a table that does not exist.
        QString name = quoteIdentifier(table);
        if (!schema.isEmpty())
            name = quoteIdentifier(schema) + QLatin1Char('.') + name;
        execute(QStringLiteral("SELECT * FROM %1 LIMIT 0").arg(name), nullptr);
        return metadata;
    }
    for (const ColumnInfo &column : columnList)
        metadata.fields.append(fieldFromColumn(column));
    metadata.indexes = indexes(columnList.first().schema, table);
    return metadata;
}

} // namespace

std::unique_ptr<Backend> createMysqlBackend(const QString &connectionString)
{
    return std::make_unique<MysqlBackend>(connectionString);
}
