#include "db/sqlite/SqliteExec.h"

#include "common/NameCompare.h"
#include "db/fetch/Fetch.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QTime>

#include <sqlite3.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

namespace {

QString columnText(sqlite3_stmt *stmt, int column)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, column));
    return text ? QString::fromUtf8(text, sqlite3_column_bytes(stmt, column)) : QString();
}

QString utf8(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

enum class Args { None, Length, PrecisionScale };

struct TypeRule
{
    const char *name;
    AdoType type;
    Args args;
    AdoType bareType; // when the declaration gives no arguments
};

// Declared types by name. SQLite accepts any name; the ones other databases use are
// mapped to what they mean there, everything else falls back to SQLite's affinity rules.
constexpr TypeRule TypeRules[] = {
    {"INTEGER", AdoType::Integer, Args::None, AdoType::Integer},
    {"INT", AdoType::Integer, Args::None, AdoType::Integer},
    {"INT4", AdoType::Integer, Args::None, AdoType::Integer},
    {"MEDIUMINT", AdoType::Integer, Args::None, AdoType::Integer},
    {"TINYINT", AdoType::TinyInt, Args::None, AdoType::TinyInt},
    {"SMALLINT", AdoType::SmallInt, Args::None, AdoType::SmallInt},
    {"INT2", AdoType::SmallInt, Args::None, AdoType::SmallInt},
    {"BIGINT", AdoType::BigInt, Args::None, AdoType::BigInt},
    {"INT8", AdoType::BigInt, Args::None, AdoType::BigInt},
    {"UNSIGNED BIG INT", AdoType::BigInt, Args::None, AdoType::BigInt},
    {"REAL", AdoType::Double, Args::None, AdoType::Double},
    {"DOUBLE", AdoType::Double, Args::None, AdoType::Double},
    {"DOUBLE PRECISION", AdoType::Double, Args::None, AdoType::Double},
    {"FLOAT", AdoType::Double, Args::None, AdoType::Double},
    {"NUMERIC", AdoType::Numeric, Args::PrecisionScale, AdoType::Double},
    {"DECIMAL", AdoType::Numeric, Args::PrecisionScale, AdoType::Double},
    {"MONEY", AdoType::Currency, Args::None, AdoType::Currency},
    {"CURRENCY", AdoType::Currency, Args::None, AdoType::Currency},
    {"BOOLEAN", AdoType::Boolean, Args::None, AdoType::Boolean},
    {"BOOL", AdoType::Boolean, Args::None, AdoType::Boolean},
    {"BIT", AdoType::Boolean, Args::None, AdoType::Boolean},
    {"DATE", AdoType::DBDate, Args::None, AdoType::DBDate},
    {"DATETIME", AdoType::DBTimeStamp, Args::None, AdoType::DBTimeStamp},
    {"TIMESTAMP", AdoType::DBTimeStamp, Args::None, AdoType::DBTimeStamp},
    {"TIME", AdoType::DBTime, Args::None, AdoType::DBTime},
    {"CHAR", AdoType::WChar, Args::Length, AdoType::WChar},
    {"CHARACTER", AdoType::WChar, Args::Length, AdoType::WChar},
    {"NCHAR", AdoType::WChar, Args::Length, AdoType::WChar},
    {"NATIVE CHARACTER", AdoType::WChar, Args::Length, AdoType::WChar},
    {"VARCHAR", AdoType::VarWChar, Args::Length, AdoType::LongVarWChar},
    {"NVARCHAR", AdoType::VarWChar, Args::Length, AdoType::LongVarWChar},
    {"VARYING CHARACTER", AdoType::VarWChar, Args::Length, AdoType::LongVarWChar},
    {"CHARACTER VARYING", AdoType::VarWChar, Args::Length, AdoType::LongVarWChar},
    {"TEXT", AdoType::LongVarWChar, Args::None, AdoType::LongVarWChar},
    {"NTEXT", AdoType::LongVarWChar, Args::None, AdoType::LongVarWChar},
    {"CLOB", AdoType::LongVarWChar, Args::None, AdoType::LongVarWChar},
    {"BLOB", AdoType::LongVarBinary, Args::None, AdoType::LongVarBinary},
    {"BINARY", AdoType::Binary, Args::Length, AdoType::Binary},
    {"VARBINARY", AdoType::VarBinary, Args::Length, AdoType::LongVarBinary},
    {"GUID", AdoType::GUID, Args::None, AdoType::GUID},
    {"UUID", AdoType::GUID, Args::None, AdoType::GUID},
    {"UNIQUEIDENTIFIER", AdoType::GUID, Args::None, AdoType::GUID},
};

// Fields of a result whose value has no declared type take the type of the first row's value.
AdoType storageClassType(int storageClass)
{
    switch (storageClass) {
    case SQLITE_INTEGER:
        return AdoType::BigInt;
    case SQLITE_FLOAT:
        return AdoType::Double;
    case SQLITE_TEXT:
        return AdoType::VarWChar;
    case SQLITE_BLOB:
        return AdoType::LongVarBinary;
    default:
        return AdoType::Variant;
    }
}

struct ColumnFacts
{
    bool notNull = false;
    bool autoIncrement = false;
};

} // namespace

SqliteType sqliteDeclaredType(const QString &declared)
{
    SqliteType result;
    QString text = declared.trimmed().toUpper();
    if (text.isEmpty())
        return result;

    QList<int> args;
    const qsizetype open = text.indexOf(u'(');
    if (open >= 0) {
        const qsizetype close = text.indexOf(u')', open);
        const QString inside = text.mid(open + 1, close < 0 ? -1 : close - open - 1);
        for (const QString &part : inside.split(u',')) {
            bool ok = false;
            const int number = part.trimmed().toInt(&ok);
            if (!ok)
                break;
            args.append(number);
        }
        text = text.left(open);
    }
    const QString name = text.simplified();

    for (const TypeRule &rule : TypeRules) {
        if (name != QLatin1StringView(rule.name))
            continue;
        if (rule.args == Args::None || args.isEmpty()) {
            result.type = rule.args == Args::None ? rule.type : rule.bareType;
            return result;
        }
        result.type = rule.type;
        if (rule.args == Args::Length) {
            result.definedSize = args[0];
        } else {
            result.precision = args[0];
            result.scale = args.size() > 1 ? args[1] : 0;
        }
        return result;
    }

    // SQLite's own affinity rules for any other name.
    if (name.contains(QLatin1StringView("INT"))) {
        result.type = AdoType::BigInt;
    } else if (name.contains(QLatin1StringView("CHAR")) || name.contains(QLatin1StringView("CLOB")) ||
               name.contains(QLatin1StringView("TEXT"))) {
        result.type = args.isEmpty() ? AdoType::LongVarWChar : AdoType::VarWChar;
        result.definedSize = args.isEmpty() ? 0 : args[0];
    } else if (name.contains(QLatin1StringView("BLOB"))) {
        result.type = AdoType::LongVarBinary;
    } else if (name.contains(QLatin1StringView("REAL")) || name.contains(QLatin1StringView("FLOA")) ||
               name.contains(QLatin1StringView("DOUB"))) {
        result.type = AdoType::Double;
    }
    return result;
}

DataAccessError sqliteError(sqlite3 *db)
{
    return DataAccessError(db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory"));
}

QString sqliteRowidAlias(sqlite3 *db, const QString &schema, const QString &table)
{
    const QByteArray schemaName = (schema.isEmpty() ? QStringLiteral("main") : schema).toUtf8();
    const QByteArray tableName = table.toUtf8();

    // Without ROWID tables and tables whose key is not a lone INTEGER column keep their key
    // in an index of origin "pk"; a rowid alias has none.
    SqliteStatement indexes =
        sqlitePrepare(db, "SELECT 1 FROM pragma_index_list(?1, ?2) WHERE origin = 'pk'");
    sqlite3_bind_text(indexes.get(), 1, tableName.constData(), int(tableName.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(indexes.get(), 2, schemaName.constData(), int(schemaName.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(indexes.get()) == SQLITE_ROW)
        return QString();

    SqliteStatement columns =
        sqlitePrepare(db, "SELECT name, type FROM pragma_table_xinfo(?1, ?2) WHERE pk > 0");
    sqlite3_bind_text(columns.get(), 1, tableName.constData(), int(tableName.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(columns.get(), 2, schemaName.constData(), int(schemaName.size()), SQLITE_TRANSIENT);
    QList<QPair<QString, QString>> keyColumns;
    int rc;
    while ((rc = sqlite3_step(columns.get())) == SQLITE_ROW)
        keyColumns.append({columnText(columns.get(), 0), columnText(columns.get(), 1)});
    if (rc != SQLITE_DONE)
        throw sqliteError(db);
    return sqliteRowidAliasOf(keyColumns, false);
}

QString sqliteRowidAliasOf(const QList<QPair<QString, QString>> &keyColumns, bool keyIndexed)
{
    if (keyIndexed || keyColumns.size() != 1 ||
        keyColumns.front().second.compare(QLatin1StringView("INTEGER"), Qt::CaseInsensitive) != 0)
        return QString();
    return keyColumns.front().first;
}

void sqliteBind(sqlite3 *db, sqlite3_stmt *stmt, int index, const QVariant &value)
{
    int rc;
    auto bindText = [&](const QString &text) {
        const QByteArray bytes = text.toUtf8();
        return sqlite3_bind_text64(stmt, index, bytes.constData(), sqlite3_uint64(bytes.size()),
                                   SQLITE_TRANSIENT, SQLITE_UTF8);
    };
    if (value.isNull()) {
        rc = sqlite3_bind_null(stmt, index);
    } else {
        switch (value.typeId()) {
        case QMetaType::Bool:
            rc = sqlite3_bind_int(stmt, index, value.toBool() ? 1 : 0);
            break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
            rc = sqlite3_bind_int64(stmt, index, value.toLongLong());
            break;
        case QMetaType::ULong:
        case QMetaType::ULongLong:
            if (value.toULongLong() > qulonglong(std::numeric_limits<qint64>::max()))
                rc = sqlite3_bind_double(stmt, index, value.toDouble());
            else
                rc = sqlite3_bind_int64(stmt, index, value.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(stmt, index, value.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            rc = sqlite3_bind_blob64(stmt, index, bytes.constData(), sqlite3_uint64(bytes.size()),
                                     SQLITE_TRANSIENT);
            break;
        }
        case QMetaType::QDate:
            rc = bindText(value.toDate().toString(Qt::ISODate));
            break;
        case QMetaType::QTime:
            rc = bindText(value.toTime().toString(Qt::ISODateWithMs));
            break;
        case QMetaType::QDateTime:
            rc = bindText(value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")));
            break;
        default:
            rc = bindText(value.toString());
            break;
        }
    }
    if (rc != SQLITE_OK)
        throw sqliteError(db);
}

void SqliteStatementDeleter::operator()(sqlite3_stmt *stmt) const
{
    sqlite3_finalize(stmt);
}

SqliteStatement sqlitePrepare(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK)
        throw sqliteError(db);
    return SqliteStatement(stmt);
}

namespace {

class SqliteCursor final : public StatementCursor
{
public:
    SqliteCursor(CancelGate &gate, sqlite3 *db, const QString &sql, const SqliteExecOptions &options)
        : StatementCursor(gate), m_db(db), m_text(sql.toUtf8()), m_options(options)
    {
        m_tail = m_text.constData();
    }

    bool nextResult() override
    {
        m_stmt.reset();
        m_fields.clear();
        m_affected = -1;
        const char *const end = m_text.constData() + m_text.size();
        while (m_tail < end) {
            if (cancelled())
                throw DataAccessError(cancelledText());
            sqlite3_stmt *raw = nullptr;
            const char *next = nullptr;
            if (sqlite3_prepare_v2(m_db, m_tail, int(end - m_tail), &raw, &next) != SQLITE_OK)
                throw prepareError();
            m_tail = next;
            m_stmt.reset(raw);
            if (!m_stmt)
                continue; // blanks or a comment
            bindParameters();
            if (sqlite3_column_count(m_stmt.get()) == 0) {
                runCommand();
                return true;
            }
            describe();
            return true;
        }
        const QList<QVariant> *params = m_options.params;
        if (params && m_nextParam < params->size()) {
            throw DataAccessError(QStringLiteral("%1 values were given, but the statement has %2 parameters.")
                                      .arg(params->size())
                                      .arg(m_nextParam));
        }
        return false;
    }

    const QList<FieldInfo> &fields() const override { return m_fields; }
    qint64 recordsAffected() const override { return m_affected; }

    bool nextRow() override
    {
        if (m_pendingRow) {
            m_pendingRow = false;
            return true;
        }
        if (!m_stmt || m_rowsDone)
            return false;
        return step();
    }

    void readRow(CellSink &sink) override
    {
        sqlite3_stmt *s = m_stmt.get();
        const int count = int(m_fields.size());
        sink.beginRow();
        for (int c = 0; c < count; ++c) {
            // One call that takes the handle's lock per cell; the value is read by this thread
            // alone, which is the only one using the handle while the statement runs.
            sqlite3_value *value = sqlite3_column_value(s, c);
            switch (sqlite3_value_type(value)) {
            case SQLITE_INTEGER:
                if (m_asBool[size_t(c)])
                    sink.addBool(sqlite3_value_int64(value) != 0);
                else
                    sink.addInt(sqlite3_value_int64(value));
                break;
            case SQLITE_FLOAT:
                sink.addDouble(sqlite3_value_double(value));
                break;
            case SQLITE_TEXT: {
                const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
                sink.addText(text ? text : "", sqlite3_value_bytes(value));
                break;
            }
            case SQLITE_BLOB: {
                const auto *bytes = static_cast<const char *>(sqlite3_value_blob(value));
                sink.addBlob(bytes ? bytes : "", sqlite3_value_bytes(value));
                break;
            }
            default:
                sink.addNull();
                break;
            }
        }
        sink.endRow();
    }

private:
    // The error of a statement that did not compile, with the place SQLite points at: a byte
    // offset into the text the statement starts at, made an index into the whole text.
    DataAccessError prepareError() const
    {
        const int offset = sqlite3_error_offset(m_db);
        const QString text = sqliteError(m_db).text();
        if (offset < 0)
            return DataAccessError(text);
        const qsizetype bytes = qsizetype(m_tail - m_text.constData()) + offset;
        const qsizetype index = QString::fromUtf8(m_text.first(std::min(bytes, m_text.size()))).size();
        return DataAccessError(text, SqlErrorPosition{index, 0});
    }

    bool step()
    {
        const int rc = sqlite3_step(m_stmt.get());
        if (rc == SQLITE_ROW)
            return true;
        m_rowsDone = true;
        if (rc != SQLITE_DONE)
            throw sqliteError(m_db);
        return false;
    }

    void bindParameters()
    {
        const int placeholders = sqlite3_bind_parameter_count(m_stmt.get());
        if (placeholders == 0)
            return;
        const QList<QVariant> *params = m_options.params;
        const qsizetype available = params ? params->size() - m_nextParam : 0;
        if (available < placeholders) {
            throw DataAccessError(QStringLiteral("The statement has %1 parameters, but %2 values were given.")
                                      .arg(placeholders)
                                      .arg(qMax<qsizetype>(available, 0)));
        }
        for (int i = 1; i <= placeholders; ++i)
            sqliteBind(m_db, m_stmt.get(), i, params->at(m_nextParam++));
    }

    void runCommand()
    {
        const sqlite3_int64 before = sqlite3_total_changes64(m_db);
        int rc;
        while ((rc = sqlite3_step(m_stmt.get())) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE)
            throw sqliteError(m_db);
        // A statement that changed nothing (DDL) reports 0, not the count of an earlier one.
        m_affected = sqlite3_total_changes64(m_db) != before ? sqlite3_changes64(m_db) : 0;
        m_stmt.reset();
    }

    // The fields of a result, and its first row, whose values give the types of fields that
    // declare none.
    void describe()
    {
        sqlite3_stmt *stmt = m_stmt.get();
        const int columnCount = sqlite3_column_count(stmt);
        std::vector<bool> typeFromValue(size_t(columnCount), false);
        for (int c = 0; c < columnCount; ++c) {
            FieldInfo field;
            field.name = utf8(sqlite3_column_name(stmt, c));
            const char *declType = sqlite3_column_decltype(stmt, c);
            if (declType && *declType) {
                const SqliteType type = sqliteDeclaredType(QString::fromUtf8(declType));
                field.type = m_options.typeOf ? m_options.typeOf(declType) : type.type;
                field.definedSize = type.definedSize;
                field.precision = type.precision;
                field.scale = type.scale;
            } else {
                field.type = AdoType::Variant;
                typeFromValue[size_t(c)] = true;
            }
            describeBase(field, c);
            m_fields.append(field);
        }

        m_rowsDone = false;
        m_pendingRow = step();
        for (int c = 0; c < columnCount; ++c) {
            if (m_pendingRow && typeFromValue[size_t(c)])
                m_fields[c].type = storageClassType(sqlite3_column_type(stmt, c));
        }
        if (m_options.adjustFields)
            m_options.adjustFields(m_fields);
        m_asBool.assign(size_t(columnCount), false);
        for (int c = 0; c < columnCount; ++c)
            m_asBool[size_t(c)] = m_fields[c].type == AdoType::Boolean;
    }

    void describeBase(FieldInfo &field, int c)
    {
        sqlite3_stmt *stmt = m_stmt.get();
        const char *table = sqlite3_column_table_name(stmt, c);
        const char *origin = sqlite3_column_origin_name(stmt, c);
        const char *database = sqlite3_column_database_name(stmt, c);
        if (!table || !origin)
            return;
        field.baseTable = QString::fromUtf8(table);
        field.baseColumn = QString::fromUtf8(origin);
        if (database && qstrcmp(database, "main") != 0)
            field.baseSchema = QString::fromUtf8(database);
        int notNull = 0, primaryKey = 0, autoinc = 0;
        if (sqlite3_table_column_metadata(m_db, database, table, origin, nullptr, nullptr, &notNull,
                                          &primaryKey, &autoinc) != SQLITE_OK)
            return;
        field.nullable = !notNull;
        if (!primaryKey)
            return;
        // Facts of base tables are looked up once per table for the text.
        const QString key = field.baseSchema + u'.' + field.baseTable;
        auto it = m_rowidAliases.find(key);
        if (it == m_rowidAliases.end())
            it = m_rowidAliases.insert(key, sqliteRowidAlias(m_db, field.baseSchema, field.baseTable));
        field.autoIncrement = autoinc || sameName(*it, field.baseColumn);
    }

    sqlite3 *m_db;
    const QByteArray m_text;
    const char *m_tail = nullptr;
    SqliteExecOptions m_options;
    qsizetype m_nextParam = 0;
    SqliteStatement m_stmt;
    QList<FieldInfo> m_fields;
    std::vector<bool> m_asBool;
    qint64 m_affected = -1;
    bool m_pendingRow = false;
    bool m_rowsDone = true;
    QHash<QString, QString> m_rowidAliases;
};

} // namespace

void SqliteSession::open(const QString &path, int flags)
{
    close();
    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const DataAccessError error = sqliteError(db);
        sqlite3_close_v2(db);
        throw error;
    }
    sqlite3_extended_result_codes(db, 1);
    m_gate.locked([&] { m_db = db; });
}

void SqliteSession::close()
{
    m_gate.locked([&] {
        if (m_db)
            sqlite3_close_v2(m_db);
        m_db = nullptr;
    });
}

sqlite3 *SqliteSession::db() const
{
    if (!m_db)
        throw DataAccessError(QStringLiteral("The connection is not open."));
    return m_db;
}

void SqliteSession::exec(const char *sql)
{
    const CancelGate::Running running(m_gate);
    char *message = nullptr;
    if (sqlite3_exec(db(), sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const QString text = message ? QString::fromUtf8(message) : sqliteError(m_db).text();
        sqlite3_free(message);
        throw DataAccessError(text);
    }
}

std::unique_ptr<StatementCursor> SqliteSession::openCursor(const QString &sql,
                                                           const SqliteExecOptions &options)
{
    return std::make_unique<SqliteCursor>(m_gate, db(), sql, options);
}

void SqliteSession::cancel()
{
    m_gate.mark();
    // An interrupt reaches what runs on the handle now; SQLite clears it before the next
    // statement that starts when none runs, so it never stops later work.
    m_gate.locked([&] {
        if (m_db)
            sqlite3_interrupt(m_db);
    });
}
