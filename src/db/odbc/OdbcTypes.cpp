#include "db/odbc/OdbcTypes.h"

#include <sql.h>
#include <sqlext.h>

namespace {

constexpr int SqlServerVariant = -150;
constexpr int SqlServerXml = -152;
constexpr int SqlServerTime2 = -154;
constexpr int SqlServerDateTimeOffset = -155;

struct Entry
{
    int sqlType;
    AdoType type;
    bool sized;   // DefinedSize is the column size (characters or bytes)
    bool decimal; // precision and scale are the column size and decimal digits
};

constexpr Entry Types[] = {
    {SQL_CHAR, AdoType::Char, true, false},
    {SQL_VARCHAR, AdoType::VarChar, true, false},
    {SQL_LONGVARCHAR, AdoType::LongVarChar, false, false},
    {SQL_WCHAR, AdoType::WChar, true, false},
    {SQL_WVARCHAR, AdoType::VarWChar, true, false},
    {SQL_WLONGVARCHAR, AdoType::LongVarWChar, false, false},
    {SQL_TINYINT, AdoType::TinyInt, false, false},
    {SQL_SMALLINT, AdoType::SmallInt, false, false},
    {SQL_INTEGER, AdoType::Integer, false, false},
    {SQL_BIGINT, AdoType::BigInt, false, false},
    {SQL_REAL, AdoType::Single, false, false},
    {SQL_FLOAT, AdoType::Double, false, false},
    {SQL_DOUBLE, AdoType::Double, false, false},
    {SQL_DECIMAL, AdoType::Decimal, false, true},
    {SQL_NUMERIC, AdoType::Numeric, false, true},
    {SQL_BIT, AdoType::Boolean, false, false},
    {SQL_TYPE_DATE, AdoType::DBDate, false, false},
    {SQL_DATE, AdoType::DBDate, false, false},
    {SQL_TYPE_TIME, AdoType::DBTime, false, false},
    {SQL_TIME, AdoType::DBTime, false, false},
    {SqlServerTime2, AdoType::DBTime, false, false},
    {SQL_TYPE_TIMESTAMP, AdoType::DBTimeStamp, false, false},
    {SQL_TIMESTAMP, AdoType::DBTimeStamp, false, false},
    {SqlServerDateTimeOffset, AdoType::DBTimeStamp, false, false},
    {SQL_BINARY, AdoType::Binary, true, false},
    {SQL_VARBINARY, AdoType::VarBinary, true, false},
    {SQL_LONGVARBINARY, AdoType::LongVarBinary, false, false},
    {SQL_GUID, AdoType::GUID, false, false},
    {SqlServerXml, AdoType::LongVarWChar, false, false},
    {SqlServerVariant, AdoType::Variant, false, false},
};

} // namespace

OdbcType odbcTypeOf(int sqlType, qint64 columnSize, int decimalDigits)
{
    OdbcType result;
    for (const Entry &entry : Types) {
        if (entry.sqlType != sqlType)
            continue;
        result.type = entry.type;
        if (entry.sized)
            result.definedSize = columnSize;
        if (entry.decimal) {
            result.precision = int(columnSize);
            result.scale = decimalDigits;
        }
        break;
    }
    return result;
}
