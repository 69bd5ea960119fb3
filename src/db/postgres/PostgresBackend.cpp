#include "db/Backends.h"
#include "db/ConnectionString.h"
#include "db/TlsSettings.h"
#include "db/fetch/Fetch.h"
#include "db/postgres/PostgresSession.h"
#include "db/postgres/PostgresTypes.h"

#include <QSet>

#include <vector>

namespace {

using pg::text;
using pg::toBool;
using pg::toInt;

QByteArray quotedForRegclass(const QString &name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return (QLatin1Char('"') + quoted + QLatin1Char('"')).toUtf8();
}

class PostgresBackend final : public Backend
{
public:
    explicit PostgresBackend(const QString &connectionString) : m_connectionString(connectionString) {}
    ~PostgresBackend() override { PostgresBackend::disconnect(); }

    void connect() override;
    void disconnect() override;
    SqlDialect dialect() const override { return SqlDialect::PostgreSql; }
    QString defaultDatabase() override { return scalar("SELECT current_database()"); }
    QString defaultSchema() override { return scalar("SELECT current_schema()"); }

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

    QString placeholder(int index) const override { return QLatin1Char('$') + QString::number(index); }

    void beginTransaction() override;
    void commitTransaction() override;
    void rollbackTransaction() override;

private:
    // A catalogue query with text parameters (nullptr for NULL); throws the server's error.
    PgResult query(const char *sql, const std::vector<const char *> &params = {})
    {
        return m_session.query(sql, params);
    }
    QString scalar(const char *sql);
    QList<ColumnInfo> columnsWhere(const QString &schema, const QString &table, const char *relationOid);
    QList<IndexInfo> indexesWhere(const QString &schema, const QString &table, const char *relationOid);
    QByteArray relationOid(const QString &schema, const QString &table);

    QString m_connectionString;
    PgSession m_session;
    // The grid's transaction is a savepoint inside a transaction the user opened.
    bool m_savepoint = false;
};

void PostgresBackend::connect()
{
    if (m_session.isOpen())
        return;
    const ConnectionString cs(m_connectionString);

    // libpq keywords: the OLE DB names are mapped, any libpq keyword is passed through.
    QList<QPair<QByteArray, QByteArray>> options;
    auto set = [&options](const char *key, const QString &value) {
        for (const auto &option : std::as_const(options)) {
            if (option.first == key)
                return;
        }
        options.append({QByteArray(key), value.toUtf8()});
    };
    auto setIfGiven = [&](const char *key, const QString &value) {
        if (!value.isEmpty())
            set(key, value);
    };
    setIfGiven("host", cs.value({QStringLiteral("Data Source"), QStringLiteral("Server")}));
    setIfGiven("port", cs.value(QStringLiteral("Port")));
    setIfGiven("dbname", cs.value({QStringLiteral("Initial Catalog"), QStringLiteral("Database"),
                                   QStringLiteral("location")}));
    setIfGiven("user", cs.value({QStringLiteral("User ID"), QStringLiteral("UID")}));
    setIfGiven("password", cs.value({QStringLiteral("Password"), QStringLiteral("PWD")}));
    // TLS: the OLE DB names mapped onto libpq's; without them libpq's defaults hold, as before.
    const TlsSettings tls = TlsSettings::fromConnectionString(cs);
    if (tls.mode != TlsSettings::Mode::Unset)
        set("sslmode", TlsSettings::modeName(tls.mode));
    if (!cs.contains(QStringLiteral("sslrootcert")))
        setIfGiven("sslrootcert", tls.trustedCaFile());
    setIfGiven("sslcert", tls.certFile);
    setIfGiven("sslkey", tls.keyFile);
    // The client must talk UTF-8 whatever the string says: every text is decoded as UTF-8.
    set("client_encoding", QStringLiteral("UTF8"));

    QSet<QByteArray> libpqKeywords;
    if (PQconninfoOption *defaults = PQconndefaults()) {
        for (PQconninfoOption *option = defaults; option->keyword; ++option)
            libpqKeywords.insert(option->keyword);
        PQconninfoFree(defaults);
    }
    for (const auto &pair : cs.pairs()) {
        const QByteArray key = pair.first.toLower().toUtf8();
        if (libpqKeywords.contains(key) && !pair.second.isEmpty())
            set(key.constData(), pair.second);
    }
    // An unreachable host fails within this many seconds instead of the system's TCP timeout;
    // a server that goes away mid-session (network cut) is noticed within about as long.
    set("connect_timeout", QStringLiteral("10"));
    set("keepalives", QStringLiteral("1"));
    set("keepalives_idle", QStringLiteral("5"));
    set("keepalives_interval", QStringLiteral("2"));
    set("keepalives_count", QStringLiteral("2"));
    set("tcp_user_timeout", QStringLiteral("10000"));
    set("fallback_application_name", QStringLiteral("Orvessa"));

    std::vector<const char *> keywords;
    std::vector<const char *> values;
    for (const auto &option : std::as_const(options)) {
        keywords.push_back(option.first.constData());
        values.push_back(option.second.constData());
    }
    keywords.push_back(nullptr);
    values.push_back(nullptr);
    try {
        m_session.open(keywords.data(), values.data());
    } catch (const DataAccessError &e) {
        throw DataAccessError(tls.explainFailure(
            e.text(), cs.value({QStringLiteral("Data Source"), QStringLiteral("Server")})));
    }
}

void PostgresBackend::disconnect()
{
    m_session.close();
}

// A transaction the user opened (BEGIN in the SQL editor) is theirs to commit: the grid's
// writes then go into a savepoint of it. A failed transaction accepts nothing until it is ended.
void PostgresBackend::beginTransaction()
{
    switch (m_session.transactionStatus()) {
    case PQTRANS_INTRANS:
        query("SAVEPOINT orvessa_edit");
        m_savepoint = true;
        return;
    case PQTRANS_INERROR:
        throw DataAccessError(QStringLiteral("The transaction opened on this connection has failed; end it "
                                             "with ROLLBACK before changing rows in the grid."));
    default:
        query("BEGIN");
        m_savepoint = false;
        return;
    }
}

void PostgresBackend::commitTransaction()
{
    endEdit(m_savepoint, true, [this](const char *sql) { query(sql); });
}

void PostgresBackend::rollbackTransaction()
{
    endEdit(m_savepoint, false, [this](const char *sql) { query(sql); });
}

QString PostgresBackend::scalar(const char *sql)
{
    PgResult result = query(sql);
    if (PQntuples(result.get()) == 0 || PQgetisnull(result.get(), 0, 0))
        return QString();
    return text(result.get(), 0, 0);
}

QList<TableInfo> PostgresBackend::tables()
{
    // Objects of the system schemas are typed so that they never reach the tree; other
    // sessions' temporary schemas are left out.
    PgResult result = query(R"(
SELECT current_database(), n.nspname, c.relname,
       CASE WHEN n.nspname IN ('pg_catalog', 'information_schema') THEN
                 CASE WHEN c.relkind IN ('v', 'm') THEN 'SYSTEM VIEW' ELSE 'SYSTEM TABLE' END
            WHEN c.relpersistence = 't' THEN 'LOCAL TEMPORARY'
            WHEN c.relkind IN ('v', 'm') THEN 'VIEW'
            ELSE 'TABLE' END AS table_type
FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace
WHERE c.relkind IN ('r', 'p', 'f', 'v', 'm')
  AND n.nspname NOT LIKE 'pg\_toast%'
  AND (n.nspname NOT LIKE 'pg\_temp\_%' OR n.oid = pg_my_temp_schema())
ORDER BY 4, 2, 3)");
    QList<TableInfo> list;
    const PGresult *r = result.get();
    for (int row = 0; row < PQntuples(r); ++row)
        list.append({text(r, row, 0), text(r, row, 1), text(r, row, 2), text(r, row, 3)});
    return list;
}

QList<ColumnInfo> PostgresBackend::columns(const QString &schema, const QString &table)
{
    return columnsWhere(schema, table, nullptr);
}

QByteArray PostgresBackend::relationOid(const QString &schema, const QString &table)
{
    // The server resolves the name (through the search path when no schema is given) and
    // words the error for a table that does not exist.
    QByteArray name = quotedForRegclass(table);
    if (!schema.isEmpty())
        name = quotedForRegclass(schema) + '.' + name;
    PgResult result = query("SELECT $1::regclass::oid", {name.constData()});
    return QByteArray(PQgetvalue(result.get(), 0, 0));
}

QList<ColumnInfo> PostgresBackend::columnsWhere(const QString &schema, const QString &table,
                                                const char *relOid)
{
    const QByteArray schemaUtf8 = schema.toUtf8();
    const QByteArray tableUtf8 = table.toUtf8();
    PgResult result = query(R"(
SELECT n.nspname, c.relname, a.attname, a.attnum, NOT a.attnotnull,
       COALESCE(bt.typname, t.typname),
       CASE WHEN t.typtype = 'd' AND a.atttypmod = -1 THEN t.typtypmod ELSE a.atttypmod END,
       a.attidentity <> '' OR COALESCE(pg_get_expr(d.adbin, d.adrelid) LIKE 'nextval(%', false)
FROM pg_attribute a
JOIN pg_class c ON c.oid = a.attrelid
JOIN pg_namespace n ON n.oid = c.relnamespace
JOIN pg_type t ON t.oid = a.atttypid
LEFT JOIN pg_type bt ON t.typtype = 'd' AND bt.oid = t.typbasetype
LEFT JOIN pg_attrdef d ON d.adrelid = a.attrelid AND d.adnum = a.attnum
WHERE a.attnum > 0 AND NOT a.attisdropped AND c.relkind IN ('r', 'p', 'f', 'v', 'm')
  AND ($1 = '' OR n.nspname = $1) AND ($2 = '' OR c.relname = $2)
  AND ($3::oid IS NULL OR c.oid = $3::oid)
ORDER BY n.nspname, c.relname, a.attnum)",
                            {schemaUtf8.constData(), tableUtf8.constData(), relOid});
    QList<ColumnInfo> list;
    const PGresult *r = result.get();
    for (int row = 0; row < PQntuples(r); ++row) {
        ColumnInfo column;
        column.schema = text(r, row, 0);
        column.table = text(r, row, 1);
        column.name = text(r, row, 2);
        column.ordinal = toInt(r, row, 3);
        column.nullable = toBool(r, row, 4);
        const PgType type = pgTypeOf(QByteArray(PQgetvalue(r, row, 5)), toInt(r, row, 6));
        column.type = type.type;
        column.definedSize = type.definedSize;
        column.precision = type.precision;
        column.scale = type.scale;
        column.autoIncrement = toBool(r, row, 7);
        list.append(column);
    }
    return list;
}

QList<KeyColumnInfo> PostgresBackend::primaryKeys(const QString &schema, const QString &table)
{
    const QByteArray schemaUtf8 = schema.toUtf8();
    const QByteArray tableUtf8 = table.toUtf8();
    PgResult result = query(R"(
SELECT n.nspname, c.relname, a.attname, k.ord, con.conname
FROM pg_constraint con
JOIN pg_class c ON c.oid = con.conrelid
JOIN pg_namespace n ON n.oid = c.relnamespace
CROSS JOIN LATERAL unnest(con.conkey) WITH ORDINALITY AS k(attnum, ord)
JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum = k.attnum
WHERE con.contype = 'p' AND ($1 = '' OR n.nspname = $1) AND ($2 = '' OR c.relname = $2)
ORDER BY n.nspname, c.relname, k.ord)",
                            {schemaUtf8.constData(), tableUtf8.constData()});
    QList<KeyColumnInfo> list;
    const PGresult *r = result.get();
    for (int row = 0; row < PQntuples(r); ++row)
        list.append({text(r, row, 0), text(r, row, 1), text(r, row, 2), toInt(r, row, 3), text(r, row, 4)});
    return list;
}

QList<ForeignKeyInfo> PostgresBackend::foreignKeys(const QString &schema, const QString &table)
{
    const QByteArray schemaUtf8 = schema.toUtf8();
    const QByteArray tableUtf8 = table.toUtf8();
    PgResult result = query(R"(
SELECT con.conname, fn.nspname, fc.relname, fa.attname, pn.nspname, pc.relname, pa.attname, k.ord
FROM pg_constraint con
JOIN pg_class fc ON fc.oid = con.conrelid
JOIN pg_namespace fn ON fn.oid = fc.relnamespace
JOIN pg_class pc ON pc.oid = con.confrelid
JOIN pg_namespace pn ON pn.oid = pc.relnamespace
CROSS JOIN LATERAL unnest(con.conkey, con.confkey) WITH ORDINALITY AS k(fkatt, pkatt, ord)
JOIN pg_attribute fa ON fa.attrelid = fc.oid AND fa.attnum = k.fkatt
JOIN pg_attribute pa ON pa.attrelid = pc.oid AND pa.attnum = k.pkatt
WHERE con.contype = 'f' AND ($1 = '' OR fn.nspname = $1) AND ($2 = '' OR fc.relname = $2)
ORDER BY pn.nspname, pc.relname, fn.nspname, fc.relname, con.conname, k.ord)",
                            {schemaUtf8.constData(), tableUtf8.constData()});
    QList<ForeignKeyInfo> list;
    const PGresult *r = result.get();
    for (int row = 0; row < PQntuples(r); ++row) {
        list.append({text(r, row, 0), text(r, row, 1), text(r, row, 2), text(r, row, 3), text(r, row, 4),
                     text(r, row, 5), text(r, row, 6), toInt(r, row, 7)});
    }
    return list;
}

QList<IndexInfo> PostgresBackend::indexes(const QString &schema, const QString &table)
{
    return indexesWhere(schema, table, nullptr);
}

QList<IndexInfo> PostgresBackend::indexesWhere(const QString &schema, const QString &table,
                                               const char *relOid)
{
    const QByteArray schemaUtf8 = schema.toUtf8();
    const QByteArray tableUtf8 = table.toUtf8();
    // Key columns only (not INCLUDE columns); an expression stands in for its column name.
    PgResult result = query(R"(
SELECT n.nspname, c.relname, ic.relname, i.indisunique OR i.indisprimary, i.indisprimary,
       COALESCE(a.attname, pg_get_indexdef(i.indexrelid, k.ord::int, true))
FROM pg_index i
JOIN pg_class ic ON ic.oid = i.indexrelid
JOIN pg_class c ON c.oid = i.indrelid
JOIN pg_namespace n ON n.oid = c.relnamespace
CROSS JOIN LATERAL unnest(i.indkey::int2[]) WITH ORDINALITY AS k(attnum, ord)
LEFT JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum = k.attnum AND k.attnum > 0
WHERE k.ord <= i.indnkeyatts
  AND ($1 = '' OR n.nspname = $1) AND ($2 = '' OR c.relname = $2)
  AND ($3::oid IS NULL OR c.oid = $3::oid)
ORDER BY 4 DESC, n.nspname, ic.relname, k.ord)",
                            {schemaUtf8.constData(), tableUtf8.constData(), relOid});
    QList<IndexInfo> list;
    const PGresult *r = result.get();
    for (int row = 0; row < PQntuples(r); ++row) {
        const QString indexSchema = text(r, row, 0);
        const QString indexName = text(r, row, 2);
        if (list.isEmpty() || list.last().schema != indexSchema || list.last().name != indexName) {
            IndexInfo index;
            index.schema = indexSchema;
            index.table = text(r, row, 1);
            index.name = indexName;
            index.unique = toBool(r, row, 3);
            index.primaryKey = toBool(r, row, 4);
            list.append(index);
        }
        list.last().columns.append(text(r, row, 5));
    }
    return list;
}

TableMetadata PostgresBackend::tableMetadata(const QString &schema, const QString &table)
{
    const QByteArray oid = relationOid(schema, table);
    TableMetadata metadata;
    for (const ColumnInfo &column : columnsWhere(QString(), QString(), oid.constData()))
        metadata.fields.append(fieldFromColumn(column));
    metadata.indexes = indexesWhere(QString(), QString(), oid.constData());
    return metadata;
}

} // namespace

std::unique_ptr<Backend> createPostgresBackend(const QString &connectionString)
{
    return std::make_unique<PostgresBackend>(connectionString);
}
