#include "common/NameCompare.h"
#include "db/Backends.h"
#include "db/ConnectionString.h"
#include "db/fetch/Fetch.h"
#include "db/sqlite/SqliteExec.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace {

using Statement = SqliteStatement;

class SqliteBackend : public Backend
{
public:
    explicit SqliteBackend(const QString &connectionString)
    {
        const ConnectionString cs(connectionString);
        m_path = sqliteDatabaseFile(cs);
        m_mode = cs.value(QStringLiteral("Mode"));
        // OLE DB modes: "Read", "ReadWrite", "Read|Share Deny None", ...
        m_readOnlyMode = m_mode.startsWith(QLatin1StringView("Read"), Qt::CaseInsensitive) &&
                         !m_mode.contains(QLatin1StringView("Write"), Qt::CaseInsensitive);
    }

    ~SqliteBackend() override { disconnect(); }

    void connect() override
    {
        if (m_session.isOpen())
            return;
        if (m_path.isEmpty())
            throw DataAccessError(QStringLiteral("No database file was given (Data Source)."));
        const bool memory = m_path == QLatin1StringView(":memory:");
        if (!memory && !QFileInfo(m_path).isFile())
            throw DataAccessError(QStringLiteral("The database file %1 does not exist.").arg(m_path));

        m_session.open(m_path, (m_readOnlyMode ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                                   SQLITE_OPEN_FULLMUTEX);
        // SQLite falls back to reading a file it may not write; why is asked now, as it opened.
        m_fileReason.clear();
        if (!memory && !m_readOnlyMode &&
            ::faccessat(AT_FDCWD, QFile::encodeName(m_path).constData(), W_OK, AT_EACCESS) != 0) {
            m_fileReason =
                errno == EROFS
                    ? QStringLiteral("the database file %1 lies on a file system mounted read-only.")
                    : QStringLiteral("you may not write to the database file %1.");
            m_fileReason = m_fileReason.arg(m_path);
        }
        try {
            sqlite3_busy_timeout(m_session.db(), 5000);
            // Reading the schema here makes a file that is no database fail at open.
            m_session.exec("PRAGMA foreign_keys = ON; SELECT count(*) FROM sqlite_schema");
        } catch (...) {
            disconnect();
            throw;
        }
    }

    void disconnect() override { m_session.close(); }

    SqlDialect dialect() const override { return SqlDialect::Sqlite; }

    QString defaultDatabase() override
    {
        return m_session.isOpen() ? QFileInfo(m_path).fileName() : QString();
    }

    // Tables are never qualified: everything lives in "main".
    QString defaultSchema() override { return QString(); }

    QList<TableInfo> tables() override
    {
        QList<TableInfo> result;
        Statement stmt = prepare("SELECT name, type FROM pragma_table_list WHERE schema = 'main'");
        int rc;
        while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
            TableInfo info;
            info.name = text(stmt.get(), 0);
            const QString type = text(stmt.get(), 1);
            if (info.name.startsWith(QLatin1StringView("sqlite_"), Qt::CaseInsensitive) ||
                type == QLatin1StringView("shadow"))
                info.type = QStringLiteral("SYSTEM TABLE");
            else if (type == QLatin1StringView("view"))
                info.type = QStringLiteral("VIEW");
            else
                info.type = QStringLiteral("TABLE");
            result.append(info);
        }
        check(rc);
        std::sort(result.begin(), result.end(), [](const TableInfo &a, const TableInfo &b) {
            return a.type != b.type ? a.type < b.type : lessName(a.name, b.name);
        });
        return result;
    }

    QList<ColumnInfo> columns(const QString &schema, const QString &table) override
    {
        if (!table.isEmpty())
            return tableColumns(schema, table);
        // Every table and view in one statement; an object whose columns cannot be read (a
        // view on a missing function, a virtual table of a missing module) fails it whole.
        QHash<QString, QList<ColumnInfo>> byTable =
            readColumns(schema,
                        "SELECT t.name FROM pragma_table_list AS t, pragma_index_list(t.name, t.schema) AS i "
                        "WHERE t.schema = ?2 AND t.type = 'table' AND i.origin = 'pk'",
                        "SELECT t.name, c.cid, c.name, c.type, c.\"notnull\", c.pk "
                        "FROM pragma_table_list AS t, pragma_table_xinfo(t.name, t.schema) AS c "
                        "WHERE t.schema = ?2 AND c.hidden <> 1");
        QList<ColumnInfo> result;
        for (const QString &name : tablesFor(QString(), true)) {
            const auto columns = byTable.find(name);
            if (columns != byTable.end())
                result.append(std::move(*columns));
        }
        return result;
    }

    QList<KeyColumnInfo> primaryKeys(const QString &schema, const QString &table) override
    {
        QList<KeyColumnInfo> result;
        for (const QString &name : tablesFor(table, false)) {
            Statement stmt =
                prepare("SELECT name, pk FROM pragma_table_xinfo(?1, ?2) WHERE pk > 0 ORDER BY pk");
            bind(stmt.get(), name, schema);
            int rc;
            while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
                KeyColumnInfo key;
                key.schema = schemaOut(schema);
                key.table = name;
                key.column = text(stmt.get(), 0);
                key.ordinal = sqlite3_column_int(stmt.get(), 1);
                result.append(key);
            }
            check(rc);
        }
        return result;
    }

    QList<ForeignKeyInfo> foreignKeys(const QString &schema, const QString &table) override
    {
        QList<ForeignKeyInfo> result;
        for (const QString &name : tablesFor(table, false)) {
            Statement stmt = prepare("SELECT id, seq, \"table\", \"from\", \"to\" "
                                     "FROM pragma_foreign_key_list(?1, ?2) ORDER BY id, seq");
            bind(stmt.get(), name, schema);
            QList<ForeignKeyInfo> keys;
            int rc;
            while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
                ForeignKeyInfo key;
                key.name = QStringLiteral("fk_%1_%2").arg(name).arg(sqlite3_column_int(stmt.get(), 0));
                key.ordinal = sqlite3_column_int(stmt.get(), 1) + 1;
                key.fkSchema = key.pkSchema = schemaOut(schema);
                key.fkTable = name;
                key.pkTable = text(stmt.get(), 2);
                key.fkColumn = text(stmt.get(), 3);
                key.pkColumn = text(stmt.get(), 4);
                keys.append(key);
            }
            check(rc);
            // A reference without columns names the referenced table's primary key.
            for (ForeignKeyInfo &key : keys) {
                if (!key.pkColumn.isEmpty())
                    continue;
                const QList<KeyColumnInfo> pk = primaryKeys(schema, key.pkTable);
                if (key.ordinal - 1 < pk.size())
                    key.pkColumn = pk[key.ordinal - 1].column;
            }
            result += keys;
        }
        std::stable_sort(result.begin(), result.end(), [](const ForeignKeyInfo &a, const ForeignKeyInfo &b) {
            if (!sameName(a.pkTable, b.pkTable))
                return lessName(a.pkTable, b.pkTable);
            if (!sameName(a.fkTable, b.fkTable))
                return lessName(a.fkTable, b.fkTable);
            if (a.name != b.name)
                return a.name < b.name;
            return a.ordinal < b.ordinal;
        });
        return result;
    }

    QList<IndexInfo> indexes(const QString &schema, const QString &table) override
    {
        QList<IndexInfo> result;
        for (const QString &name : tablesFor(table, false))
            result += tableIndexes(schema, name);
        return result;
    }

    TableMetadata tableMetadata(const QString &schema, const QString &table) override
    {
        if (!tableExists(schema, table))
            throw DataAccessError(QStringLiteral("no such table: %1").arg(table));
        TableMetadata metadata;
        for (const ColumnInfo &column : tableColumns(schema, table))
            metadata.fields.append(fieldFromColumn(column));
        metadata.indexes = tableIndexes(schema, table);
        return metadata;
    }

    std::unique_ptr<StatementCursor> openCursor(const QString &sql, const QList<QVariant> *params) override
    {
        SqliteExecOptions options;
        options.params = params;
        return m_session.openCursor(sql, options);
    }

    void cancel() override { m_session.cancel(); }

    bool readOnly() const override
    {
        return m_session.isOpen() ? sqlite3_db_readonly(m_session.db(), "main") == 1 : m_readOnlyMode;
    }

    QString readOnlyReason() const override
    {
        if (!readOnly())
            return QString();
        if (m_readOnlyMode)
            return QStringLiteral("the connection string opens the database read-only (Mode=%1).")
                .arg(m_mode);
        return m_fileReason.isEmpty()
                   ? QStringLiteral("the database file %1 was opened read-only.").arg(m_path)
                   : m_fileReason;
    }

    QString placeholder(int) const override { return QStringLiteral("?"); }

    // A savepoint works both outside a transaction (releasing it commits) and inside one the user
    // opened with BEGIN (releasing it leaves that transaction to the user), so theirs is never
    // committed here.
    void beginTransaction() override { m_session.exec("SAVEPOINT orvessa_edit"); }
    void commitTransaction() override { m_session.exec("RELEASE orvessa_edit"); }
    void rollbackTransaction() override { m_session.exec("ROLLBACK TO orvessa_edit; RELEASE orvessa_edit"); }

private:
    sqlite3 *db() const { return m_session.db(); }

    Statement prepare(const char *sql) { return sqlitePrepare(db(), sql); }

    void check(int rc) const
    {
        if (rc != SQLITE_DONE)
            throw sqliteError(db());
    }

    static QString text(sqlite3_stmt *stmt, int column)
    {
        const auto *value = reinterpret_cast<const char *>(sqlite3_column_text(stmt, column));
        return value ? QString::fromUtf8(value, sqlite3_column_bytes(stmt, column)) : QString();
    }

    static QString schemaName(const QString &schema)
    {
        return schema.isEmpty() ? QStringLiteral("main") : schema;
    }
    static QString schemaOut(const QString &schema) { return sameName(schema, u"main") ? QString() : schema; }

    void bind(sqlite3_stmt *stmt, const QString &table, const QString &schema)
    {
        sqliteBind(db(), stmt, 1, table);
        sqliteBind(db(), stmt, 2, schemaName(schema));
    }

    bool tableExists(const QString &schema, const QString &table)
    {
        Statement stmt =
            prepare("SELECT 1 FROM pragma_table_list WHERE schema = ?2 AND name = ?1 COLLATE NOCASE");
        bind(stmt.get(), table, schema);
        const int rc = sqlite3_step(stmt.get());
        if (rc == SQLITE_ROW)
            return true;
        check(rc);
        return false;
    }

    // The named table, or all tables (and views, when asked) in rowset order.
    QStringList tablesFor(const QString &table, bool withViews)
    {
        if (!table.isEmpty())
            return {table};
        QStringList names;
        for (const TableInfo &info : tables()) {
            if (info.type == QLatin1StringView("TABLE") ||
                (withViews && info.type == QLatin1StringView("VIEW")))
                names.append(info.name);
        }
        return names;
    }

    QList<ColumnInfo> tableColumns(const QString &schema, const QString &table)
    {
        return readColumns(schema, "SELECT ?1 FROM pragma_index_list(?1, ?2) WHERE origin = 'pk'",
                           "SELECT ?1, cid, name, type, \"notnull\", pk FROM pragma_table_xinfo(?1, ?2) "
                           "WHERE hidden <> 1",
                           table)
            .value(table);
    }

    // Columns by table from a statement giving (table, cid, name, type, notnull, pk) rows, a
    // table's rows together; the tables that keyedSql gives keep their key in an index, so it
    // is no rowid alias.
    QHash<QString, QList<ColumnInfo>> readColumns(const QString &schema, const char *keyedSql,
                                                  const char *columnsSql, const QString &table = QString())
    {
        QSet<QString> keyed;
        Statement keys = prepare(keyedSql);
        bind(keys.get(), table, schema);
        int rc;
        while ((rc = sqlite3_step(keys.get())) == SQLITE_ROW)
            keyed.insert(text(keys.get(), 0));
        check(rc);

        QHash<QString, QList<ColumnInfo>> result;
        QHash<QString, SqliteType> types; // declared types repeat from column to column
        const QString schemaName = schemaOut(schema);
        QList<ColumnInfo> *columns = nullptr;
        QString current;
        QList<QPair<QString, QString>> keyColumns; // of the current table: name, declared type
        int lastCid = -1;
        bool inOrder = true;
        // A table's columns are complete: its rowid alias is known, its columns numbered.
        auto finish = [&] {
            if (!columns)
                return;
            if (!inOrder) {
                std::stable_sort(
                    columns->begin(), columns->end(),
                    [](const ColumnInfo &a, const ColumnInfo &b) { return a.ordinal < b.ordinal; });
            }
            const QString alias = sqliteRowidAliasOf(keyColumns, keyed.contains(current));
            for (qsizetype n = 0; n < columns->size(); ++n) {
                ColumnInfo &column = (*columns)[n];
                column.ordinal = int(n) + 1;
                column.autoIncrement = !alias.isEmpty() && sameName(column.name, alias);
                // The rowid alias never holds NULL: inserting NULL assigns the next key.
                if (column.autoIncrement)
                    column.nullable = false;
            }
        };

        Statement stmt = prepare(columnsSql);
        bind(stmt.get(), table, schema);
        while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
            sqlite3_stmt *row = stmt.get();
            const QString tableName = text(row, 0);
            if (!columns || tableName != current) {
                finish();
                current = tableName;
                columns = &result[tableName];
                keyColumns.clear();
                lastCid = -1;
                inOrder = true;
            }
            ColumnInfo column;
            column.schema = schemaName;
            column.table = current;
            // Ordered by cid for now; numbered among the shown columns once the table is complete.
            const int cid = sqlite3_column_int(row, 1);
            inOrder = inOrder && cid > lastCid;
            lastCid = cid;
            column.ordinal = cid;
            column.name = text(row, 2);
            const QString declared = text(row, 3);
            auto type = types.constFind(declared);
            if (type == types.constEnd())
                type = types.insert(declared, sqliteDeclaredType(declared));
            column.type = type->type;
            column.definedSize = type->definedSize;
            column.precision = type->precision;
            column.scale = type->scale;
            column.nullable = sqlite3_column_int(row, 4) == 0;
            if (sqlite3_column_int(row, 5) > 0)
                keyColumns.append({column.name, declared});
            columns->append(std::move(column));
        }
        check(rc);
        finish();
        return result;
    }

    QList<IndexInfo> tableIndexes(const QString &schema, const QString &table)
    {
        QList<IndexInfo> result;
        Statement list = prepare("SELECT name, \"unique\", origin FROM pragma_index_list(?1, ?2)");
        bind(list.get(), table, schema);
        int rc;
        while ((rc = sqlite3_step(list.get())) == SQLITE_ROW) {
            IndexInfo index;
            index.schema = schemaOut(schema);
            index.table = table;
            index.name = text(list.get(), 0);
            index.unique = sqlite3_column_int(list.get(), 1) != 0;
            index.primaryKey = text(list.get(), 2) == QLatin1StringView("pk");
            Statement keys = prepare("SELECT name FROM pragma_index_info(?1, ?2) ORDER BY seqno");
            bind(keys.get(), index.name, schema);
            int rk;
            while ((rk = sqlite3_step(keys.get())) == SQLITE_ROW) {
                // Expressions have no column name and cannot be named in an ORDER BY.
                if (sqlite3_column_type(keys.get(), 0) != SQLITE_NULL)
                    index.columns.append(text(keys.get(), 0));
            }
            check(rk);
            if (!index.columns.isEmpty())
                result.append(index);
        }
        check(rc);

        // A rowid alias is the table's key without an index of its own; list it as one.
        const QString alias = sqliteRowidAlias(db(), schemaName(schema), table);
        if (!alias.isEmpty()) {
            IndexInfo index;
            index.schema = schemaOut(schema);
            index.table = table;
            index.name = QStringLiteral("PRIMARY");
            index.unique = true;
            index.primaryKey = true;
            index.columns = QStringList{alias};
            result.append(index);
        }

        std::sort(result.begin(), result.end(), [](const IndexInfo &a, const IndexInfo &b) {
            if (a.unique != b.unique)
                return a.unique;
            return lessName(a.name, b.name);
        });
        return result;
    }

    QString m_path;
    bool m_readOnlyMode = false;
    QString m_mode;       // the connection string's Mode entry
    QString m_fileReason; // why the file could not be opened for writing
    SqliteSession m_session;
};

} // namespace

std::unique_ptr<Backend> createSqliteBackend(const QString &connectionString)
{
    return std::make_unique<SqliteBackend>(connectionString);
}
