// Statement texts on an ODBC connection: running them (prepared, with bound parameters, when
// they have any) and the cursor that reads their results one row at a time.
#include "db/fetch/Fetch.h"
#include "db/odbc/OdbcSession.h"
#include "db/odbc/OdbcTypes.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <algorithm>
#include <vector>

namespace {

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

// One value of the current row, read from the driver before any of the row is written out.
struct Cell
{
    bool null = false;
    qint64 integer = 0;
    double real = 0;
    QByteArray bytes; // UTF-8 text or raw bytes
};

// Parameter values, kept alive until the statement has run.
struct OdbcParams
{
    std::vector<QString> texts;
    std::vector<QByteArray> bytes;
    std::vector<SQLBIGINT> integers;
    std::vector<double> doubles;
    std::vector<unsigned char> bits;
    std::vector<SQLLEN> indicators;
};

class OdbcCursor final : public StatementCursor
{
public:
    OdbcCursor(CancelGate &gate, OdbcSession &session)
        : StatementCursor(gate), m_session(session), m_stmt(session.handle())
    {
        m_session.setRunning(m_stmt.handle(), true);
    }

    // The statement handle is freed, with whatever results it still holds, after it is no
    // longer the one Cancel reaches.
    ~OdbcCursor() override { m_session.setRunning(SQL_NULL_HSTMT, false); }

    void execDirect(const QString &sql)
    {
        m_rc = SQLExecDirectW(m_stmt.handle(), const_cast<SQLWCHAR *>(odbcWide(sql)), SQL_NTS);
    }

    void execute(const QString &sql, const QList<QVariant> &params)
    {
        const SQLHSTMT h = m_stmt.handle();
        m_stmt.check(SQLPrepareW(h, const_cast<SQLWCHAR *>(odbcWide(sql)), SQL_NTS));
        bind(params);
        m_rc = SQLExecute(h);
    }

    bool nextResult() override
    {
        const SQLHSTMT h = m_stmt.handle();
        m_fields.clear();
        m_conversions.clear();
        m_affected = -1;
        m_rowsEnded = true;
        if (m_started) {
            m_session.setRunning(h, true);
            const SQLRETURN more = SQLMoreResults(h);
            if (more == SQL_NO_DATA)
                return false;
            m_stmt.check(more);
        } else {
            m_started = true;
            if (m_rc == SQL_NO_DATA) {
                m_affected = 0; // a searched UPDATE or DELETE that met no row
                return true;
            }
            m_stmt.check(m_rc);
        }
        SQLSMALLINT columnCount = 0;
        m_stmt.check(SQLNumResultCols(h, &columnCount));
        if (columnCount > 0) {
            describe(columnCount);
            m_rowsEnded = false;
            m_session.setRunning(h, false);
            return true;
        }
        // The driver's own count; -1 when it does not know (as for DDL with most drivers).
        SQLLEN affected = -1;
        if (SQL_SUCCEEDED(SQLRowCount(h, &affected)))
            m_affected = qint64(affected);
        return true;
    }

    const QList<FieldInfo> &fields() const override { return m_fields; }
    qint64 recordsAffected() const override { return m_affected; }

    bool nextRow() override
    {
        if (m_rowsEnded)
            return false;
        const SQLRETURN fetched = SQLFetch(m_stmt.handle());
        if (fetched == SQL_NO_DATA) {
            m_rowsEnded = true;
            return false;
        }
        m_stmt.check(fetched);
        for (size_t c = 0; c < m_conversions.size(); ++c)
            readCell(SQLUSMALLINT(c + 1), m_conversions[c], m_cells[c]);
        return true;
    }

    void readRow(CellSink &sink) override
    {
        sink.beginRow();
        for (size_t c = 0; c < m_conversions.size(); ++c) {
            const Cell &cell = m_cells[c];
            if (cell.null) {
                sink.addNull();
                continue;
            }
            switch (m_conversions[c]) {
            case Conversion::Int:
                sink.addInt(cell.integer);
                break;
            case Conversion::Double:
                sink.addDouble(cell.real);
                break;
            case Conversion::Bool:
                sink.addBool(cell.integer != 0);
                break;
            case Conversion::Blob:
                sink.addBlob(cell.bytes.constData(), cell.bytes.size());
                break;
            case Conversion::Text:
                sink.addText(cell.bytes.constData(), cell.bytes.size());
                break;
            }
        }
        sink.endRow();
    }

private:
    void describe(SQLSMALLINT columnCount)
    {
        const SQLHSTMT h = m_stmt.handle();
        for (SQLUSMALLINT column = 1; column <= SQLUSMALLINT(columnCount); ++column) {
            SQLWCHAR name[512];
            SQLSMALLINT nameLength = 0;
            SQLSMALLINT sqlType = 0;
            SQLULEN size = 0;
            SQLSMALLINT digits = 0;
            SQLSMALLINT nullable = SQL_NULLABLE_UNKNOWN;
            m_stmt.check(SQLDescribeColW(h, column, name, SQLSMALLINT(std::size(name)), &nameLength, &sqlType,
                                         &size, &digits, &nullable));
            FieldInfo field;
            field.name = odbcText(name, std::min<qsizetype>(nameLength, qsizetype(std::size(name)) - 1));
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
                return odbcText(value, std::min<qsizetype>(length / qsizetype(sizeof(SQLWCHAR)),
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
            m_fields.append(field);
            m_conversions.push_back(conversionFor(sqlType));
        }

        m_cells.assign(m_conversions.size(), Cell());
    }

    void readCell(SQLUSMALLINT column, Conversion conversion, Cell &cell)
    {
        const SQLHSTMT h = m_stmt.handle();
        SQLLEN indicator = 0;
        switch (conversion) {
        case Conversion::Int: {
            SQLBIGINT value = 0;
            m_stmt.check(SQLGetData(h, column, SQL_C_SBIGINT, &value, 0, &indicator));
            cell.integer = qint64(value);
            break;
        }
        case Conversion::Double:
            m_stmt.check(SQLGetData(h, column, SQL_C_DOUBLE, &cell.real, 0, &indicator));
            break;
        case Conversion::Bool: {
            unsigned char value = 0;
            m_stmt.check(SQLGetData(h, column, SQL_C_BIT, &value, 0, &indicator));
            cell.integer = value;
            break;
        }
        case Conversion::Blob:
            cell.null = !readLong(column, SQL_C_BINARY, cell.bytes);
            return;
        case Conversion::Text: {
            bool isNull = false;
            const QString text = m_stmt.text(column, &isNull);
            cell.null = isNull;
            cell.bytes = text.toUtf8();
            return;
        }
        }
        cell.null = indicator == SQL_NULL_DATA;
    }

    // A long value read in chunks; false for NULL.
    bool readLong(SQLUSMALLINT column, SQLSMALLINT type, QByteArray &bytes)
    {
        bytes.resize(0);
        m_chunk.resize(size_t(OdbcChunkBytes));
        for (;;) {
            SQLLEN indicator = 0;
            const SQLRETURN got =
                SQLGetData(m_stmt.handle(), column, type, m_chunk.data(), OdbcChunkBytes, &indicator);
            if (got == SQL_NO_DATA)
                return true;
            m_stmt.check(got);
            if (indicator == SQL_NULL_DATA)
                return false;
            const SQLLEN part =
                (indicator == SQL_NO_TOTAL || indicator > OdbcChunkBytes) ? OdbcChunkBytes : indicator;
            bytes.append(m_chunk.data(), qsizetype(part));
            if (got == SQL_SUCCESS)
                return true;
        }
    }

    void bind(const QList<QVariant> &params)
    {
        const SQLHSTMT h = m_stmt.handle();
        const size_t count = size_t(params.size());
        auto &texts = m_params.texts;
        texts.resize(count);
        auto &bytes = m_params.bytes;
        bytes.resize(count);
        auto &integers = m_params.integers;
        integers.resize(count);
        auto &doubles = m_params.doubles;
        doubles.resize(count);
        auto &bits = m_params.bits;
        bits.resize(count);
        auto &indicators = m_params.indicators;
        indicators.resize(count);
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
                if (!SQL_SUCCEEDED(SQLDescribeParam(h, number, &sqlType, &size, &digits, &nullable))) {
                    sqlType = SQL_VARCHAR;
                    size = 1;
                    digits = 0;
                }
                indicators[i] = SQL_NULL_DATA;
                rc = SQLBindParameter(h, number, SQL_PARAM_INPUT, SQL_C_CHAR, sqlType, size ? size : 1,
                                      digits, nullptr, 0, &indicators[i]);
            } else {
                switch (param.typeId()) {
                case QMetaType::Bool:
                    bits[i] = param.toBool() ? 1 : 0;
                    indicators[i] = 0;
                    rc = SQLBindParameter(h, number, SQL_PARAM_INPUT, SQL_C_BIT, SQL_BIT, 1, 0, &bits[i], 0,
                                          &indicators[i]);
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
                    rc = SQLBindParameter(h, number, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 19, 0,
                                          &integers[i], 0, &indicators[i]);
                    break;
                case QMetaType::Double:
                case QMetaType::Float:
                    doubles[i] = param.toDouble();
                    indicators[i] = 0;
                    rc = SQLBindParameter(h, number, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 15, 0,
                                          &doubles[i], 0, &indicators[i]);
                    break;
                case QMetaType::QByteArray:
                    bytes[i] = param.toByteArray();
                    indicators[i] = SQLLEN(bytes[i].size());
                    rc = SQLBindParameter(h, number, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_LONGVARBINARY,
                                          SQLULEN(std::max<qsizetype>(bytes[i].size(), 1)), 0,
                                          bytes[i].data(), SQLLEN(bytes[i].size()), &indicators[i]);
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
                    rc = SQLBindParameter(h, number, SQL_PARAM_INPUT, SQL_C_WCHAR,
                                          chars > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR,
                                          SQLULEN(std::max<qsizetype>(chars, 1)), 0,
                                          const_cast<SQLWCHAR *>(odbcWide(texts[i])), indicators[i],
                                          &indicators[i]);
                    break;
                }
                }
            }
            m_stmt.check(rc);
        }
    }

    OdbcSession &m_session;
    OdbcStatementHandle m_stmt;
    OdbcParams m_params;
    SQLRETURN m_rc = SQL_SUCCESS;
    bool m_started = false;
    bool m_rowsEnded = true;
    QList<FieldInfo> m_fields;
    std::vector<Conversion> m_conversions;
    std::vector<Cell> m_cells;
    std::vector<char> m_chunk;
    qint64 m_affected = -1;
};

} // namespace

std::unique_ptr<StatementCursor> OdbcSession::openCursor(const QString &sql, const QList<QVariant> *params)
{
    auto cursor = std::make_unique<OdbcCursor>(m_gate, *this);
    if (params)
        cursor->execute(sql, *params);
    else
        cursor->execDirect(sql);
    return cursor;
}
