#include "common/NameCompare.h"
#include "db/Backends.h"
#include "db/ConnectionString.h"
#include "db/access/AccessFile.h"
#include "db/fetch/Fetch.h"
#include "db/sqlite/SqliteExec.h"

#include <QFileInfo>

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {

const QString ReadOnlyText = QStringLiteral("Access files are opened read-only.");

QByteArray sqlName(const QString &name)
{
    QString quoted = name;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return '"' + quoted.toUtf8() + '"';
}

// The SQLite side: one virtual table per Access table, reading its rows through libmdb as
// SQLite asks for them.

struct AccessVtab
{
    sqlite3_vtab base{};
    AccessFile *file = nullptr;
    int table = -1;
};

struct AccessCursor
{
    sqlite3_vtab_cursor base{};
    std::unique_ptr<AccessRowReader> reader;
    sqlite3_int64 row = 0;
    bool eof = true;
};

AccessFile *moduleFile(void *aux)
{
    return static_cast<AccessFile *>(aux);
}

// No C++ exception may cross SQLite's C code: every callback runs its work through this and
// hands a failure to SQLite as an error code with the message in message.
template <typename Work> int guarded(char **message, Work &&work) noexcept
{
    const char *text = "unknown error";
    try {
        return work();
    } catch (const std::bad_alloc &) {
        return SQLITE_NOMEM;
    } catch (const std::exception &e) {
        text = e.what();
    } catch (...) {
    }
    if (message) {
        sqlite3_free(*message);
        *message = sqlite3_mprintf("%s", text);
    }
    return SQLITE_ERROR;
}

int vtabConnect(sqlite3 *db, void *aux, int argc, const char *const *argv, sqlite3_vtab **out, char **error)
{
    return guarded(error, [&] {
        AccessFile *file = moduleFile(aux);
        const int table = argc > 3 ? std::atoi(argv[3]) : -1;
        if (table < 0 || table >= file->tables().size())
            throw DataAccessError(QStringLiteral("no such Access table"));
        QByteArray declaration = "CREATE TABLE x(";
        const QList<AccessColumn> &columns = file->tables()[table].columns;
        for (qsizetype c = 0; c < columns.size(); ++c) {
            if (c > 0)
                declaration += ", ";
            declaration += sqlName(columns[c].name) + ' ' + columns[c].declType;
        }
        if (columns.isEmpty())
            declaration += "\"\" VARIANT";
        declaration += ')';
        const int rc = sqlite3_declare_vtab(db, declaration.constData());
        if (rc != SQLITE_OK)
            return rc;
        auto vtab = std::make_unique<AccessVtab>();
        vtab->file = file;
        vtab->table = table;
        *out = &vtab.release()->base;
        return SQLITE_OK;
    });
}

int vtabBestIndex(sqlite3_vtab *, sqlite3_index_info *info)
{
    // Every query is a full scan; SQLite does the filtering and sorting.
    info->estimatedCost = 1e6;
    info->estimatedRows = 100000;
    return SQLITE_OK;
}

int vtabDisconnect(sqlite3_vtab *vtab)
{
    delete reinterpret_cast<AccessVtab *>(vtab);
    return SQLITE_OK;
}

AccessVtab *vtabOf(sqlite3_vtab_cursor *cursor)
{
    return reinterpret_cast<AccessVtab *>(cursor->pVtab);
}

int vtabOpen(sqlite3_vtab *base, sqlite3_vtab_cursor **out)
{
    return guarded(&base->zErrMsg, [&] {
        auto *vtab = reinterpret_cast<AccessVtab *>(base);
        auto cursor = std::make_unique<AccessCursor>();
        {
            const std::lock_guard lock(vtab->file->mutex());
            cursor->reader = std::make_unique<AccessRowReader>(*vtab->file, vtab->table);
        }
        *out = &cursor.release()->base;
        return SQLITE_OK;
    });
}

int vtabClose(sqlite3_vtab_cursor *base)
{
    auto *cursor = reinterpret_cast<AccessCursor *>(base);
    const int rc = guarded(&base->pVtab->zErrMsg, [&] {
        const std::lock_guard lock(vtabOf(base)->file->mutex());
        cursor->reader.reset();
        return SQLITE_OK;
    });
    delete cursor;
    return rc;
}

int vtabNext(sqlite3_vtab_cursor *base)
{
    return guarded(&base->pVtab->zErrMsg, [&] {
        auto *cursor = reinterpret_cast<AccessCursor *>(base);
        const std::lock_guard lock(vtabOf(base)->file->mutex());
        cursor->eof = !cursor->reader->next();
        ++cursor->row;
        return SQLITE_OK;
    });
}

int vtabFilter(sqlite3_vtab_cursor *base, int, const char *, int, sqlite3_value **)
{
    const int rc = guarded(&base->pVtab->zErrMsg, [&] {
        auto *cursor = reinterpret_cast<AccessCursor *>(base);
        const std::lock_guard lock(vtabOf(base)->file->mutex());
        cursor->reader->rewind();
        cursor->row = 0;
        return SQLITE_OK;
    });
    return rc == SQLITE_OK ? vtabNext(base) : rc;
}

int vtabEof(sqlite3_vtab_cursor *base)
{
    return reinterpret_cast<AccessCursor *>(base)->eof ? 1 : 0;
}

int vtabColumn(sqlite3_vtab_cursor *base, sqlite3_context *context, int column)
{
    char *message = nullptr;
    const int rc = guarded(&message, [&] {
        auto *cursor = reinterpret_cast<AccessCursor *>(base);
        AccessValue value;
        {
            const std::lock_guard lock(vtabOf(base)->file->mutex());
            value = cursor->reader->value(column);
        }
        switch (value.kind) {
        case AccessValue::Kind::Null:
            sqlite3_result_null(context);
            break;
        case AccessValue::Kind::Int:
            sqlite3_result_int64(context, value.integer);
            break;
        case AccessValue::Kind::Double:
            sqlite3_result_double(context, value.real);
            break;
        case AccessValue::Kind::Text:
            sqlite3_result_text64(context, value.bytes.constData(), sqlite3_uint64(value.bytes.size()),
                                  SQLITE_TRANSIENT, SQLITE_UTF8);
            break;
        case AccessValue::Kind::Blob:
            sqlite3_result_blob64(context, value.bytes.constData(), sqlite3_uint64(value.bytes.size()),
                                  SQLITE_TRANSIENT);
            break;
        }
        return SQLITE_OK;
    });
    if (rc == SQLITE_NOMEM)
        sqlite3_result_error_nomem(context);
    else if (rc != SQLITE_OK)
        sqlite3_result_error(context, message, -1);
    sqlite3_free(message);
    return rc;
}

int vtabRowid(sqlite3_vtab_cursor *base, sqlite3_int64 *rowid)
{
    *rowid = reinterpret_cast<AccessCursor *>(base)->row;
    return SQLITE_OK;
}

// Present so that a write prepares and is then refused by the read-only check with its own words.
int vtabUpdate(sqlite3_vtab *base, int, sqlite3_value **, sqlite3_int64 *)
{
    sqlite3_free(base->zErrMsg);
    base->zErrMsg = sqlite3_mprintf("%s", ReadOnlyText.toUtf8().constData());
    return SQLITE_READONLY;
}

sqlite3_module makeModule()
{
    sqlite3_module module{};
    module.iVersion = 1;
    module.xCreate = vtabConnect;
    module.xConnect = vtabConnect;
    module.xBestIndex = vtabBestIndex;
    module.xDisconnect = vtabDisconnect;
    module.xDestroy = vtabDisconnect;
    module.xOpen = vtabOpen;
    module.xClose = vtabClose;
    module.xFilter = vtabFilter;
    module.xNext = vtabNext;
    module.xEof = vtabEof;
    module.xColumn = vtabColumn;
    module.xRowid = vtabRowid;
    module.xUpdate = vtabUpdate;
    return module;
}

const sqlite3_module AccessModule = makeModule();

// ATTACH could make the connection write a file of its own; nothing else needs refusing here
// because every statement is checked for writes before it runs.
int authorize(void *, int action, const char *, const char *, const char *, const char *)
{
    return action == SQLITE_ATTACH || action == SQLITE_DETACH ? SQLITE_DENY : SQLITE_OK;
}

class AccessBackend : public Backend
{
public:
    explicit AccessBackend(const QString &connectionString)
    {
        const ConnectionString cs(connectionString);
        m_path = cs.value(QStringList{QStringLiteral("Data Source"), QStringLiteral("DBQ")});
    }

    ~AccessBackend() override { disconnect(); }

    void connect() override
    {
        if (m_session.isOpen())
            return;
        auto file = std::make_unique<AccessFile>(m_path);
        m_session.open(QStringLiteral(":memory:"),
                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX);
        sqlite3 *db = m_session.db();
        if (sqlite3_create_module_v2(db, "access", &AccessModule, file.get(), nullptr) != SQLITE_OK) {
            const DataAccessError error = sqliteError(db);
            m_session.close();
            throw error;
        }
        for (qsizetype i = 0; i < file->tables().size(); ++i) {
            const QByteArray sql = "CREATE VIRTUAL TABLE main." + sqlName(file->tables()[i].name) +
                                   " USING access(" + QByteArray::number(i) + ')';
            // A name SQLite keeps for itself leaves that one table out of SQL, nothing more.
            sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
        }
        sqlite3_set_authorizer(db, authorize, nullptr);
        m_file = std::move(file);
    }

    void disconnect() override
    {
        m_session.close();
        m_file.reset();
    }

    SqlDialect dialect() const override { return SqlDialect::Access; }
    QString defaultDatabase() override
    {
        return m_session.isOpen() ? QFileInfo(m_path).fileName() : QString();
    }
    QString defaultSchema() override { return QString(); }

    QList<TableInfo> tables() override
    {
        QList<TableInfo> result;
        for (const AccessTable &table : file().tables()) {
            TableInfo info;
            info.name = table.name;
            info.type = table.system ? QStringLiteral("SYSTEM TABLE") : QStringLiteral("TABLE");
            result.append(info);
        }
        std::stable_sort(result.begin(), result.end(), [](const TableInfo &a, const TableInfo &b) {
            return a.type != b.type ? a.type < b.type : lessName(a.name, b.name);
        });
        return result;
    }

    QList<ColumnInfo> columns(const QString &, const QString &table) override
    {
        QList<ColumnInfo> result;
        for (const AccessTable *t : tablesFor(table)) {
            int ordinal = 0;
            for (const AccessColumn &column : t->columns) {
                ColumnInfo info;
                info.table = t->name;
                info.name = column.name;
                info.ordinal = ++ordinal;
                info.nullable = column.nullable;
                info.type = column.type;
                info.definedSize = column.definedSize;
                info.precision = column.precision;
                info.scale = column.scale;
                info.autoIncrement = column.autoIncrement;
                result.append(info);
            }
        }
        return result;
    }

    QList<KeyColumnInfo> primaryKeys(const QString &, const QString &table) override
    {
        QList<KeyColumnInfo> result;
        for (const AccessTable *t : tablesFor(table)) {
            const auto primary = std::find_if(t->indexes.begin(), t->indexes.end(),
                                              [](const IndexInfo &index) { return index.primaryKey; });
            int ordinal = 0;
            for (const QString &column : t->primaryKey) {
                KeyColumnInfo key;
                key.table = t->name;
                key.column = column;
                key.ordinal = ++ordinal;
                key.constraintName = primary != t->indexes.end() ? primary->name : QString();
                result.append(key);
            }
        }
        return result;
    }

    QList<ForeignKeyInfo> foreignKeys(const QString &, const QString &table) override
    {
        AccessFile &f = file();
        QList<ForeignKeyInfo> all;
        {
            const std::lock_guard lock(f.mutex());
            all = f.relationships();
        }
        QList<ForeignKeyInfo> result;
        for (const ForeignKeyInfo &key : all) {
            if (table.isEmpty() || sameName(key.fkTable, table))
                result.append(key);
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

    QList<IndexInfo> indexes(const QString &, const QString &table) override
    {
        QList<IndexInfo> result;
        for (const AccessTable *t : tablesFor(table))
            result += t->indexes;
        return result;
    }

    TableMetadata tableMetadata(const QString &, const QString &table) override
    {
        const int index = file().tableIndex(table);
        if (index < 0)
            throw DataAccessError(QStringLiteral("The table %1 does not exist in %2.").arg(table, m_path));
        const AccessTable &t = file().tables()[index];
        TableMetadata metadata;
        for (const AccessColumn &column : t.columns)
            metadata.fields.append(fieldOf(t, column));
        metadata.indexes = t.indexes;
        return metadata;
    }

    std::unique_ptr<StatementCursor> openCursor(const QString &sql, const QList<QVariant> *params) override
    {
        checkReadOnly(sql.toUtf8());
        SqliteExecOptions options;
        options.params = params;
        options.typeOf = [](const char *declType) { return adoTypeOf(declType); };
        options.adjustFields = [this](QList<FieldInfo> &fields) { useAccessColumnFacts(fields); };
        return m_session.openCursor(sql, options);
    }

    void cancel() override { m_session.cancel(); }

    bool readOnly() const override { return true; }
    QString readOnlyReason() const override { return QStringLiteral("Access files are opened read-only."); }

    QString placeholder(int) const override { return QStringLiteral("?"); }

private:
    AccessFile &file() const
    {
        if (!m_file)
            throw DataAccessError(QStringLiteral("The connection is not open."));
        return *m_file;
    }

    QList<const AccessTable *> tablesFor(const QString &table) const
    {
        QList<const AccessTable *> result;
        if (!table.isEmpty()) {
            const int index = file().tableIndex(table);
            if (index >= 0)
                result.append(&file().tables()[index]);
            return result;
        }
        for (const AccessTable &t : file().tables()) {
            if (!t.system)
                result.append(&t);
        }
        return result;
    }

    static FieldInfo fieldOf(const AccessTable &table, const AccessColumn &column)
    {
        FieldInfo field;
        field.name = column.name;
        field.type = column.type;
        field.definedSize = column.definedSize;
        field.precision = column.precision;
        field.scale = column.scale;
        field.autoIncrement = column.autoIncrement;
        field.nullable = column.nullable;
        field.baseTable = table.name;
        field.baseColumn = column.name;
        return field;
    }

    // Refuses the whole text when any of its statements would write.
    void checkReadOnly(const QByteArray &text)
    {
        sqlite3 *db = m_session.db();
        const char *tail = text.constData();
        const char *const end = tail + text.size();
        while (tail < end) {
            sqlite3_stmt *raw = nullptr;
            const char *next = nullptr;
            const int rc = sqlite3_prepare_v2(db, tail, int(end - tail), &raw, &next);
            const SqliteStatement stmt(raw);
            if (rc == SQLITE_AUTH)
                throw DataAccessError(ReadOnlyText);
            if (rc != SQLITE_OK)
                return; // the run itself reports the error
            if (stmt && !sqlite3_stmt_readonly(stmt.get()))
                throw DataAccessError(ReadOnlyText);
            if (!next || next == tail)
                return;
            tail = next;
        }
    }

    // Base columns carry the Access column's own facts.
    void useAccessColumnFacts(QList<FieldInfo> &fields) const
    {
        for (FieldInfo &field : fields) {
            if (field.baseTable.isEmpty())
                continue;
            const int index = m_file->tableIndex(field.baseTable);
            if (index < 0)
                continue;
            const AccessTable &table = m_file->tables()[index];
            for (const AccessColumn &column : table.columns) {
                if (!sameName(column.name, field.baseColumn))
                    continue;
                const QString name = field.name;
                field = fieldOf(table, column);
                field.name = name;
                break;
            }
        }
    }

    static AdoType adoTypeOf(const char *declType)
    {
        static const struct
        {
            const char *prefix;
            AdoType type;
        } Types[] = {
            {"BOOLEAN", AdoType::Boolean},     {"UNSIGNED TINYINT", AdoType::UnsignedTinyInt},
            {"SMALLINT", AdoType::SmallInt},   {"INTEGER", AdoType::Integer},
            {"CURRENCY", AdoType::Currency},   {"SINGLE FLOAT", AdoType::Single},
            {"DOUBLE", AdoType::Double},       {"DATETIME", AdoType::Date},
            {"VARBINARY", AdoType::VarBinary}, {"VARCHAR", AdoType::VarWChar},
            {"BLOB", AdoType::LongVarBinary},  {"TEXT", AdoType::LongVarWChar},
            {"GUID", AdoType::GUID},           {"NUMERIC", AdoType::Numeric},
            {"VARIANT", AdoType::Variant},
        };
        for (const auto &t : Types) {
            if (std::strncmp(declType, t.prefix, std::strlen(t.prefix)) == 0)
                return t.type;
        }
        return sqliteDeclaredType(QString::fromUtf8(declType)).type;
    }

    QString m_path;
    std::unique_ptr<AccessFile> m_file;
    SqliteSession m_session;
};

} // namespace

std::unique_ptr<Backend> createAccessBackend(const QString &connectionString)
{
    return std::make_unique<AccessBackend>(connectionString);
}
