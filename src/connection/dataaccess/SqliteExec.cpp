#include "connection/dataaccess/SqliteExec.h"

#include "connection/dataaccess/RowStore.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QTime>

#include <sqlite3.h>

#include <limits>
#include <memory>

namespace {

struct StatementDeleter
{
    void operator()(sqlite3_stmt *stmt) const { sqlite3_finalize(stmt); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

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

    auto prepare = [db](const char *sql) {
        sqlite3_stmt *raw = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK)
            throw sqliteError(db);
        return Statement(raw);
    };

    // Without ROWID tables and tables whose key is not a lone INTEGER column keep their key
    // in an index of origin "pk"; a rowid alias has none.
    Statement indexes = prepare("SELECT 1 FROM pragma_index_list(?1, ?2) WHERE origin = 'pk'");
    sqlite3_bind_text(indexes.get(), 1, tableName.constData(), int(tableName.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(indexes.get(), 2, schemaName.constData(), int(schemaName.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(indexes.get()) == SQLITE_ROW)
        return QString();

    Statement columns = prepare("SELECT name, type FROM pragma_table_xinfo(?1, ?2) WHERE pk > 0");
    sqlite3_bind_text(columns.get(), 1, tableName.constData(), int(tableName.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(columns.get(), 2, schemaName.constData(), int(schemaName.size()), SQLITE_TRANSIENT);
    QString alias;
    int keyColumns = 0;
    int rc;
    while ((rc = sqlite3_step(columns.get())) == SQLITE_ROW) {
        ++keyColumns;
        if (columnText(columns.get(), 1).compare(QLatin1StringView("INTEGER"), Qt::CaseInsensitive) == 0)
            alias = columnText(columns.get(), 0);
    }
    if (rc != SQLITE_DONE)
        throw sqliteError(db);
    return keyColumns == 1 ? alias : QString();
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

ExecResult sqliteExecute(sqlite3 *db, const QString &sql, const SqliteExecOptions &options)
{
    ExecResult result;
    result.recordsAffected = 0;
    const QByteArray text = sql.toUtf8();
    const char *tail = text.constData();
    const char *const end = tail + text.size();
    qsizetype nextParam = 0;
    // Facts of base columns, looked up once per table for this run.
    QHash<QString, QString> rowidAliases;

    while (tail < end) {
        if (options.cancelled && options.cancelled->load())
            throw DataAccessError(QStringLiteral("interrupted"));
        sqlite3_stmt *raw = nullptr;
        const char *next = nullptr;
        if (sqlite3_prepare_v2(db, tail, int(end - tail), &raw, &next) != SQLITE_OK)
            throw sqliteError(db);
        tail = next;
        Statement stmt(raw);
        if (!stmt)
            continue; // blanks or a comment

        const int placeholders = sqlite3_bind_parameter_count(stmt.get());
        if (placeholders > 0) {
            const qsizetype available = options.params ? options.params->size() - nextParam : 0;
            if (available < placeholders) {
                throw DataAccessError(
                    QStringLiteral("The statement has %1 parameters, but %2 values were given.")
                        .arg(placeholders)
                        .arg(qMax<qsizetype>(available, 0)));
            }
            for (int i = 1; i <= placeholders; ++i)
                sqliteBind(db, stmt.get(), i, options.params->at(nextParam++));
        }

        const int columnCount = sqlite3_column_count(stmt.get());
        if (columnCount == 0) {
            const sqlite3_int64 before = sqlite3_total_changes64(db);
            int rc;
            while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
            }
            if (rc != SQLITE_DONE)
                throw sqliteError(db);
            result.recordsAffected = sqlite3_total_changes64(db) != before ? sqlite3_changes64(db) : 0;
            continue;
        }

        QList<FieldInfo> fields;
        fields.reserve(columnCount);
        QList<bool> typeFromValue(columnCount, false);
        for (int c = 0; c < columnCount; ++c) {
            FieldInfo field;
            field.name = utf8(sqlite3_column_name(stmt.get(), c));
            const char *declType = sqlite3_column_decltype(stmt.get(), c);
            if (declType && *declType) {
                const SqliteType type = sqliteDeclaredType(QString::fromUtf8(declType));
                field.type = options.typeOf ? options.typeOf(declType) : type.type;
                field.definedSize = type.definedSize;
                field.precision = type.precision;
                field.scale = type.scale;
            } else {
                field.type = AdoType::Variant;
                typeFromValue[c] = true;
            }
            const char *table = sqlite3_column_table_name(stmt.get(), c);
            const char *origin = sqlite3_column_origin_name(stmt.get(), c);
            const char *database = sqlite3_column_database_name(stmt.get(), c);
            if (table && origin) {
                field.baseTable = QString::fromUtf8(table);
                field.baseColumn = QString::fromUtf8(origin);
                if (database && qstrcmp(database, "main") != 0)
                    field.baseSchema = QString::fromUtf8(database);
                int notNull = 0, primaryKey = 0, autoinc = 0;
                if (sqlite3_table_column_metadata(db, database, table, origin, nullptr, nullptr, &notNull,
                                                  &primaryKey, &autoinc) == SQLITE_OK) {
                    field.nullable = !notNull;
                    if (primaryKey) {
                        const QString key = field.baseSchema + u'.' + field.baseTable;
                        auto it = rowidAliases.find(key);
                        if (it == rowidAliases.end())
                            it = rowidAliases.insert(key,
                                                     sqliteRowidAlias(db, field.baseSchema, field.baseTable));
                        field.autoIncrement =
                            autoinc || it->compare(field.baseColumn, Qt::CaseInsensitive) == 0;
                    }
                }
            }
            fields.append(field);
        }

        auto store = std::make_unique<RowStore>(columnCount);
        QList<bool> asBool(columnCount, false);
        for (int c = 0; c < columnCount; ++c)
            asBool[c] = fields[c].type == AdoType::Boolean;
        qint64 rows = 0;
        bool interrupted = false;
        int rc;
        while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
            sqlite3_stmt *s = stmt.get();
            if (rows == 0) {
                for (int c = 0; c < columnCount; ++c) {
                    if (typeFromValue[c])
                        fields[c].type = storageClassType(sqlite3_column_type(s, c));
                }
            }
            store->beginRow();
            for (int c = 0; c < columnCount; ++c) {
                switch (sqlite3_column_type(s, c)) {
                case SQLITE_INTEGER:
                    if (asBool[c])
                        store->addBool(sqlite3_column_int64(s, c) != 0);
                    else
                        store->addInt(sqlite3_column_int64(s, c));
                    break;
                case SQLITE_FLOAT:
                    store->addDouble(sqlite3_column_double(s, c));
                    break;
                case SQLITE_TEXT: {
                    const auto *value = reinterpret_cast<const char *>(sqlite3_column_text(s, c));
                    store->addText(value, sqlite3_column_bytes(s, c));
                    break;
                }
                case SQLITE_BLOB: {
                    const auto *value = static_cast<const char *>(sqlite3_column_blob(s, c));
                    store->addBlob(value, sqlite3_column_bytes(s, c));
                    break;
                }
                default:
                    store->addNull();
                    break;
                }
            }
            store->endRow();
            ++rows;
            if (options.rowsFetched && (rows & 0xff) == 0)
                options.rowsFetched->store(rows, std::memory_order_relaxed);
        }
        if (options.rowsFetched)
            options.rowsFetched->store(rows, std::memory_order_relaxed);
        if (rc == SQLITE_INTERRUPT)
            interrupted = true;
        else if (rc != SQLITE_DONE)
            throw sqliteError(db);

        result.recordset = std::make_unique<Recordset>(std::move(fields), std::move(store));
        if (interrupted) {
            // The rows so far stay; the rest of the text is not run.
            result.recordset->setIncomplete(true);
            return result;
        }
    }
    if (options.params && nextParam < options.params->size()) {
        throw DataAccessError(QStringLiteral("%1 values were given, but the statement has %2 parameters.")
                                  .arg(options.params->size())
                                  .arg(nextParam));
    }
    return result;
}

ExecResult sqliteExecute(sqlite3 *db, const QString &sql, std::atomic<qint64> *rowsFetched,
                         const SqliteTypeMapper &typeOf)
{
    SqliteExecOptions options;
    options.rowsFetched = rowsFetched;
    options.typeOf = typeOf;
    return sqliteExecute(db, sql, options);
}

ExecResult sqliteExecuteParams(sqlite3 *db, const QString &sql, const QList<QVariant> &params,
                               const SqliteTypeMapper &typeOf)
{
    SqliteExecOptions options;
    options.params = &params;
    options.typeOf = typeOf;
    return sqliteExecute(db, sql, options);
}
