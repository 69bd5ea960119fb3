// Statement texts on a MySQL/MariaDB connection: sending them (or preparing them with bound
// parameters) and the cursors that read their results one row at a time.
#include "db/fetch/Fetch.h"
#include "db/mysql/MysqlSession.h"
#include "db/mysql/MysqlTypes.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <charconv>
#include <cstring>
#include <vector>

namespace {

constexpr unsigned int BinaryCharset = 63;

QString fromUtf8(const char *text, unsigned long length)
{
    return text ? QString::fromUtf8(text, qsizetype(length)) : QString();
}

// How a column's values are stored.
enum class Conversion { Text, Int, Double, Bool, Blob };

struct ResultColumn
{
    FieldInfo field;
    Conversion conversion = Conversion::Text;
};

QByteArray typeNameOf(const MYSQL_FIELD &f)
{
    const bool binary = f.charsetnr == BinaryCharset;
    switch (f.type) {
    case MYSQL_TYPE_TINY:
        return "tinyint";
    case MYSQL_TYPE_SHORT:
        return "smallint";
    case MYSQL_TYPE_INT24:
        return "mediumint";
    case MYSQL_TYPE_LONG:
        return "int";
    case MYSQL_TYPE_LONGLONG:
        return "bigint";
    case MYSQL_TYPE_FLOAT:
        return "float";
    case MYSQL_TYPE_DOUBLE:
        return "double";
    case MYSQL_TYPE_DECIMAL:
    case MYSQL_TYPE_NEWDECIMAL:
        return "decimal";
    case MYSQL_TYPE_DATE:
    case MYSQL_TYPE_NEWDATE:
        return "date";
    case MYSQL_TYPE_TIME:
    case MYSQL_TYPE_TIME2:
        return "time";
    case MYSQL_TYPE_DATETIME:
    case MYSQL_TYPE_DATETIME2:
        return "datetime";
    case MYSQL_TYPE_TIMESTAMP:
    case MYSQL_TYPE_TIMESTAMP2:
        return "timestamp";
    case MYSQL_TYPE_YEAR:
        return "year";
    case MYSQL_TYPE_BIT:
        return "bit";
    case MYSQL_TYPE_JSON:
        return "json";
    case MYSQL_TYPE_GEOMETRY:
        return "geometry";
    case MYSQL_TYPE_ENUM:
        return "enum";
    case MYSQL_TYPE_SET:
        return "set";
    case MYSQL_TYPE_STRING:
        if (f.flags & ENUM_FLAG)
            return "enum";
        if (f.flags & SET_FLAG)
            return "set";
        return binary ? "binary" : "char";
    case MYSQL_TYPE_VAR_STRING:
    case MYSQL_TYPE_VARCHAR:
        return binary ? "varbinary" : "varchar";
    case MYSQL_TYPE_TINY_BLOB:
    case MYSQL_TYPE_MEDIUM_BLOB:
    case MYSQL_TYPE_LONG_BLOB:
    case MYSQL_TYPE_BLOB:
        return binary ? "blob" : "text";
    default:
        return QByteArray();
    }
}

ResultColumn describe(const MYSQL_FIELD &f)
{
    ResultColumn column;
    FieldInfo &field = column.field;
    field.name = fromUtf8(f.name, f.name_length);
    field.baseSchema = fromUtf8(f.db, f.db_length);
    field.baseTable = fromUtf8(f.org_table, f.org_table_length);
    field.baseColumn = fromUtf8(f.org_name, f.org_name_length);
    if (field.baseTable.isEmpty()) {
        field.baseSchema.clear();
        field.baseColumn.clear();
    }
    field.nullable = !(f.flags & NOT_NULL_FLAG);
    field.autoIncrement = f.flags & AUTO_INCREMENT_FLAG;

    MysqlColumnType type;
    type.name = typeNameOf(f);
    type.isUnsigned = f.flags & UNSIGNED_FLAG;
    type.displayWidth = int(f.length);
    type.length = qint64(f.length);
    // Lengths of text columns count bytes of the connection's character set.
    if (f.charsetnr != BinaryCharset && type.name != "bit") {
        if (const MARIADB_CHARSET_INFO *charset = mariadb_get_charset_by_nr(f.charsetnr)) {
            if (charset->char_maxlen > 1)
                type.length /= charset->char_maxlen;
        }
    }
    if (type.name == "decimal") {
        type.scale = int(f.decimals);
        type.precision = int(f.length) - (f.decimals > 0 ? 1 : 0) - ((f.flags & UNSIGNED_FLAG) ? 0 : 1);
    }
    const MysqlType mapped = mysqlTypeOf(type);
    field.type = mapped.type;
    field.definedSize = mapped.definedSize;
    field.precision = mapped.precision;
    field.scale = mapped.scale;

    switch (field.type) {
    case AdoType::TinyInt:
    case AdoType::UnsignedTinyInt:
    case AdoType::SmallInt:
    case AdoType::UnsignedSmallInt:
    case AdoType::Integer:
    case AdoType::UnsignedInt:
    case AdoType::BigInt:
    case AdoType::UnsignedBigInt:
        column.conversion = Conversion::Int;
        break;
    case AdoType::Single:
    case AdoType::Double:
        column.conversion = Conversion::Double;
        break;
    case AdoType::Boolean:
        column.conversion = Conversion::Bool;
        break;
    case AdoType::Binary:
    case AdoType::VarBinary:
    case AdoType::LongVarBinary:
        column.conversion = Conversion::Blob;
        break;
    default:
        column.conversion = Conversion::Text;
        break;
    }
    return column;
}

void addValue(CellSink &sink, Conversion conversion, const char *value, unsigned long length)
{
    switch (conversion) {
    case Conversion::Int: {
        qint64 number = 0;
        if (std::from_chars(value, value + length, number).ec == std::errc())
            sink.addInt(number);
        else
            sink.addText(value, qsizetype(length)); // unsigned bigint beyond qint64
        return;
    }
    case Conversion::Double: {
        double number = 0;
        if (std::from_chars(value, value + length, number).ec == std::errc())
            sink.addDouble(number);
        else
            sink.addText(value, qsizetype(length));
        return;
    }
    case Conversion::Bool:
        sink.addBool(!(length == 1 && value[0] == '0'));
        return;
    case Conversion::Blob:
        sink.addBlob(value, qsizetype(length));
        return;
    case Conversion::Text:
        sink.addText(value, qsizetype(length));
        return;
    }
}

void describeAll(const MYSQL_FIELD *fieldList, unsigned int count, QList<FieldInfo> &fields,
                 std::vector<Conversion> &conversions)
{
    fields.clear();
    conversions.clear();
    for (unsigned int i = 0; i < count; ++i) {
        const ResultColumn column = describe(fieldList[i]);
        fields.append(column.field);
        conversions.push_back(column.conversion);
    }
}

// A text sent with mysql_real_query. Rows are read from the network as they are stored
// (mysql_use_result), so a cancel keeps those that came and memory holds only the compact copy
// (1,000,000 rows of 8 columns load faster than the mariadb client prints them).
class MysqlCursor final : public StatementCursor
{
public:
    MysqlCursor(CancelGate &gate, MysqlSession &session, MYSQL *mysql)
        : StatementCursor(gate), m_session(session), m_mysql(mysql)
    {
    }

    ~MysqlCursor() override { discard(); }

    void send(const QString &sql)
    {
        const QByteArray text = sql.toUtf8();
        if (mysql_real_query(m_mysql, text.constData(), static_cast<unsigned long>(text.size())))
            m_session.fail(&sql);
        m_sent = true;
    }

    bool nextResult() override
    {
        if (m_result) {
            mysql_free_result(m_result);
            m_result = nullptr;
        }
        m_fields.clear();
        m_affected = -1;
        if (m_started) {
            const int next = mysql_next_result(m_mysql);
            if (next < 0) {
                m_ended = true;
                return false;
            }
            if (next > 0) {
                m_ended = true;
                m_session.fail();
            }
        }
        m_started = true;
        m_result = mysql_use_result(m_mysql);
        if (m_result) {
            describeAll(mysql_fetch_fields(m_result), mysql_num_fields(m_result), m_fields, m_conversions);
            m_rowsEnded = false;
        } else if (mysql_field_count(m_mysql) == 0) {
            m_affected = qint64(mysql_affected_rows(m_mysql));
        } else {
            m_ended = true;
            m_session.fail();
        }
        return true;
    }

    const QList<FieldInfo> &fields() const override { return m_fields; }
    qint64 recordsAffected() const override { return m_affected; }

    bool nextRow() override
    {
        if (!m_result || m_rowsEnded)
            return false;
        m_row = mysql_fetch_row(m_result);
        if (m_row) {
            m_lengths = mysql_fetch_lengths(m_result);
            return true;
        }
        m_rowsEnded = true;
        if (mysql_errno(m_mysql)) {
            m_ended = true; // an error ends the text
            m_session.fail();
        }
        return false;
    }

    void readRow(CellSink &sink) override
    {
        const auto count = unsigned(m_conversions.size());
        sink.beginRow();
        for (unsigned int i = 0; i < count; ++i) {
            if (!m_row[i])
                sink.addNull();
            else
                addValue(sink, m_conversions[i], m_row[i], m_lengths[i]);
        }
        sink.endRow();
    }

private:
    // Leaves the connection ready for the next statement: rows still on their way are stopped
    // rather than read, and every pending result is freed.
    void discard() noexcept
    {
        if (!m_sent)
            return;
        try {
            if (m_result && !m_rowsEnded && !cancelled())
                m_session.cancel();
        } catch (...) {
            // Then the rest is read to its end.
        }
        if (m_result)
            mysql_free_result(m_result); // reads what the server still sends
        m_result = nullptr;
        if (m_ended)
            return;
        if (!m_started && mysql_field_count(m_mysql) > 0) {
            if (MYSQL_RES *first = mysql_use_result(m_mysql))
                mysql_free_result(first);
        }
        while (mysql_more_results(m_mysql) && mysql_next_result(m_mysql) == 0) {
            if (MYSQL_RES *rest = mysql_use_result(m_mysql))
                mysql_free_result(rest);
        }
    }

    MysqlSession &m_session;
    MYSQL *m_mysql;
    MYSQL_RES *m_result = nullptr;
    MYSQL_ROW m_row = nullptr;
    const unsigned long *m_lengths = nullptr;
    QList<FieldInfo> m_fields;
    std::vector<Conversion> m_conversions;
    qint64 m_affected = -1;
    bool m_sent = false;
    bool m_started = false;
    bool m_rowsEnded = true;
    bool m_ended = false;
};

// A prepared statement with bound parameters: one result, its rows stored by the client
// library and read into buffers as long as the result's longest value.
class MysqlStatementCursor final : public StatementCursor
{
public:
    MysqlStatementCursor(CancelGate &gate, MYSQL *mysql)
        : StatementCursor(gate), m_stmt(mysql_stmt_init(mysql))
    {
        if (!m_stmt)
            throw DataAccessError(QString::fromUtf8(mysql_error(mysql)));
    }

    ~MysqlStatementCursor() override
    {
        if (m_meta)
            mysql_free_result(m_meta);
        mysql_stmt_close(m_stmt); // frees the stored rows too
    }

    void run(const QString &sql, const QList<QVariant> &params)
    {
        const QByteArray text = sql.toUtf8();
        if (mysql_stmt_prepare(m_stmt, text.constData(), static_cast<unsigned long>(text.size())))
            MysqlSession::failStatement(m_stmt);
        if (mysql_stmt_param_count(m_stmt) != static_cast<unsigned long>(params.size())) {
            throw DataAccessError(QStringLiteral("The statement has %1 parameters, but %2 values were given.")
                                      .arg(mysql_stmt_param_count(m_stmt))
                                      .arg(params.size()));
        }
        MYSQL_STMT *stmt = m_stmt;
        const size_t count = size_t(params.size());
        std::vector<MYSQL_BIND> binds(count);
        std::vector<QByteArray> texts(count);
        std::vector<qint64> integers(count);
        std::vector<double> doubles(count);
        std::vector<unsigned long> lengths(count);
        for (size_t i = 0; i < count; ++i) {
            MYSQL_BIND &bind = binds[i];
            std::memset(&bind, 0, sizeof bind);
            const QVariant &param = params[qsizetype(i)];
            if (param.isNull()) {
                bind.buffer_type = MYSQL_TYPE_NULL;
                continue;
            }
            switch (param.typeId()) {
            case QMetaType::Bool:
            case QMetaType::Int:
            case QMetaType::LongLong:
            case QMetaType::Short:
            case QMetaType::Char:
            case QMetaType::SChar:
                integers[i] = param.toLongLong();
                bind.buffer_type = MYSQL_TYPE_LONGLONG;
                bind.buffer = &integers[i];
                break;
            case QMetaType::UInt:
            case QMetaType::ULongLong:
            case QMetaType::UShort:
            case QMetaType::UChar:
                integers[i] = qint64(param.toULongLong());
                bind.buffer_type = MYSQL_TYPE_LONGLONG;
                bind.buffer = &integers[i];
                bind.is_unsigned = 1;
                break;
            case QMetaType::Double:
            case QMetaType::Float:
                doubles[i] = param.toDouble();
                bind.buffer_type = MYSQL_TYPE_DOUBLE;
                bind.buffer = &doubles[i];
                break;
            case QMetaType::QByteArray:
                texts[i] = param.toByteArray();
                bind.buffer_type = MYSQL_TYPE_BLOB;
                break;
            case QMetaType::QDate:
                texts[i] = param.toDate().toString(Qt::ISODate).toUtf8();
                bind.buffer_type = MYSQL_TYPE_STRING;
                break;
            case QMetaType::QTime:
                texts[i] = param.toTime().toString(Qt::ISODateWithMs).toUtf8();
                bind.buffer_type = MYSQL_TYPE_STRING;
                break;
            case QMetaType::QDateTime:
                // MySQL reads "YYYY-MM-DD hh:mm:ss", without the ISO "T" or a zone.
                texts[i] = param.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toUtf8();
                bind.buffer_type = MYSQL_TYPE_STRING;
                break;
            default:
                texts[i] = param.toString().toUtf8();
                bind.buffer_type = MYSQL_TYPE_STRING;
                break;
            }
            if (bind.buffer_type == MYSQL_TYPE_STRING || bind.buffer_type == MYSQL_TYPE_BLOB) {
                bind.buffer = texts[i].data();
                bind.buffer_length = static_cast<unsigned long>(texts[i].size());
                lengths[i] = bind.buffer_length;
                bind.length = &lengths[i];
            }
        }
        if (count && mysql_stmt_bind_param(stmt, binds.data()))
            MysqlSession::failStatement(stmt);
        const my_bool updateMaxLength = 1;
        mysql_stmt_attr_set(stmt, STMT_ATTR_UPDATE_MAX_LENGTH, &updateMaxLength);
        if (mysql_stmt_execute(stmt))
            MysqlSession::failStatement(stmt);
        m_meta = mysql_stmt_result_metadata(stmt);
        if (!m_meta) {
            m_affected = qint64(mysql_stmt_affected_rows(stmt));
            return;
        }
        if (mysql_stmt_store_result(stmt))
            MysqlSession::failStatement(stmt);
        bindResults();
    }

    bool nextResult() override
    {
        if (m_reported)
            return false;
        m_reported = true;
        return true;
    }

    const QList<FieldInfo> &fields() const override { return m_fields; }
    qint64 recordsAffected() const override { return m_affected; }

    bool nextRow() override
    {
        if (!m_meta)
            return false;
        const int status = mysql_stmt_fetch(m_stmt);
        if (status == MYSQL_NO_DATA)
            return false;
        if (status == 1)
            MysqlSession::failStatement(m_stmt);
        return true;
    }

    void readRow(CellSink &sink) override
    {
        sink.beginRow();
        for (size_t i = 0; i < m_results.size(); ++i) {
            if (m_nulls[i]) {
                sink.addNull();
                continue;
            }
            switch (m_conversions[i]) {
            case Conversion::Int:
                if (m_results[i].is_unsigned && m_intValues[i] < 0) {
                    const QByteArray digits = QByteArray::number(quint64(m_intValues[i]));
                    sink.addText(digits.constData(), digits.size());
                } else {
                    sink.addInt(m_intValues[i]);
                }
                break;
            case Conversion::Bool:
                sink.addBool(m_intValues[i] != 0);
                break;
            case Conversion::Double:
                sink.addDouble(m_doubleValues[i]);
                break;
            case Conversion::Blob:
                sink.addBlob(m_buffers[i].constData(), qsizetype(m_valueLengths[i]));
                break;
            case Conversion::Text:
                sink.addText(m_buffers[i].constData(), qsizetype(m_valueLengths[i]));
                break;
            }
        }
        sink.endRow();
    }

private:
    // Integers and floating-point values come as numbers, everything else as its text (or
    // bytes).
    void bindResults()
    {
        const unsigned int columns = mysql_num_fields(m_meta);
        const MYSQL_FIELD *fieldList = mysql_fetch_fields(m_meta);
        describeAll(fieldList, columns, m_fields, m_conversions);
        m_results.resize(columns);
        m_buffers.resize(columns);
        m_intValues.resize(columns);
        m_doubleValues.resize(columns);
        m_valueLengths.resize(columns);
        m_nulls.resize(columns);
        for (unsigned int i = 0; i < columns; ++i) {
            MYSQL_BIND &bind = m_results[i];
            std::memset(&bind, 0, sizeof bind);
            bind.is_null = &m_nulls[i];
            bind.length = &m_valueLengths[i];
            const Conversion conversion = m_conversions[i];
            if (conversion == Conversion::Int || conversion == Conversion::Bool) {
                bind.buffer_type = MYSQL_TYPE_LONGLONG;
                bind.buffer = &m_intValues[i];
                bind.is_unsigned = (fieldList[i].flags & UNSIGNED_FLAG) ? 1 : 0;
            } else if (conversion == Conversion::Double) {
                bind.buffer_type = MYSQL_TYPE_DOUBLE;
                bind.buffer = &m_doubleValues[i];
            } else {
                m_buffers[i].resize(qsizetype(fieldList[i].max_length) + 1);
                bind.buffer_type = conversion == Conversion::Blob ? MYSQL_TYPE_BLOB : MYSQL_TYPE_STRING;
                bind.buffer = m_buffers[i].data();
                bind.buffer_length = static_cast<unsigned long>(m_buffers[i].size());
            }
        }
        if (mysql_stmt_bind_result(m_stmt, m_results.data()))
            MysqlSession::failStatement(m_stmt);
    }

    MYSQL_STMT *m_stmt;
    MYSQL_RES *m_meta = nullptr;
    bool m_reported = false;
    QList<FieldInfo> m_fields;
    std::vector<Conversion> m_conversions;
    qint64 m_affected = -1;
    std::vector<MYSQL_BIND> m_results;
    std::vector<QByteArray> m_buffers;
    std::vector<qint64> m_intValues;
    std::vector<double> m_doubleValues;
    std::vector<unsigned long> m_valueLengths;
    std::vector<my_bool> m_nulls;
};

} // namespace

std::unique_ptr<StatementCursor> MysqlSession::openCursor(const QString &sql, const QList<QVariant> *params)
{
    MYSQL *mysql = handle();
    if (params) {
        auto cursor = std::make_unique<MysqlStatementCursor>(m_gate, mysql);
        cursor->run(sql, *params);
        return cursor;
    }
    auto cursor = std::make_unique<MysqlCursor>(m_gate, *this, mysql);
    cursor->send(sql);
    return cursor;
}
