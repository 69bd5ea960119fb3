#include "db/mysql/MysqlTypes.h"

#include <QString>

namespace {

struct Entry
{
    const char *name;
    AdoType type;
    AdoType unsignedType;
    qint64 size; // ADO DefinedSize of fixed-size types; 0 takes the column's length
    int precision;
};

// Types not listed (geometry aside) arrive as text and are shown as long text.
constexpr Entry Types[] = {
    {"tinyint", AdoType::TinyInt, AdoType::UnsignedTinyInt, 1, 3},
    {"smallint", AdoType::SmallInt, AdoType::UnsignedSmallInt, 2, 5},
    {"mediumint", AdoType::Integer, AdoType::UnsignedInt, 4, 7},
    {"int", AdoType::Integer, AdoType::UnsignedInt, 4, 10},
    {"bigint", AdoType::BigInt, AdoType::UnsignedBigInt, 8, 19},
    {"float", AdoType::Single, AdoType::Single, 4, 7},
    {"double", AdoType::Double, AdoType::Double, 8, 15},
    {"decimal", AdoType::Numeric, AdoType::Numeric, 19, 0},
    {"date", AdoType::DBDate, AdoType::DBDate, 6, 0},
    {"time", AdoType::DBTime, AdoType::DBTime, 6, 0},
    {"datetime", AdoType::DBTimeStamp, AdoType::DBTimeStamp, 16, 0},
    {"timestamp", AdoType::DBTimeStamp, AdoType::DBTimeStamp, 16, 0},
    {"year", AdoType::SmallInt, AdoType::SmallInt, 2, 5},
    {"char", AdoType::WChar, AdoType::WChar, 0, 0},
    {"varchar", AdoType::VarWChar, AdoType::VarWChar, 0, 0},
    {"tinytext", AdoType::LongVarWChar, AdoType::LongVarWChar, 0, 0},
    {"text", AdoType::LongVarWChar, AdoType::LongVarWChar, 0, 0},
    {"mediumtext", AdoType::LongVarWChar, AdoType::LongVarWChar, 0, 0},
    {"longtext", AdoType::LongVarWChar, AdoType::LongVarWChar, 0, 0},
    {"json", AdoType::LongVarWChar, AdoType::LongVarWChar, 0, 0},
    {"binary", AdoType::Binary, AdoType::Binary, 0, 0},
    {"varbinary", AdoType::VarBinary, AdoType::VarBinary, 0, 0},
    {"tinyblob", AdoType::LongVarBinary, AdoType::LongVarBinary, 0, 0},
    {"blob", AdoType::LongVarBinary, AdoType::LongVarBinary, 0, 0},
    {"mediumblob", AdoType::LongVarBinary, AdoType::LongVarBinary, 0, 0},
    {"longblob", AdoType::LongVarBinary, AdoType::LongVarBinary, 0, 0},
    {"geometry", AdoType::LongVarBinary, AdoType::LongVarBinary, 0, 0},
    {"enum", AdoType::VarWChar, AdoType::VarWChar, 0, 0},
    {"set", AdoType::VarWChar, AdoType::VarWChar, 0, 0},
    {"bit", AdoType::Binary, AdoType::Binary, 0, 0},
    {"uuid", AdoType::GUID, AdoType::GUID, 16, 0},
};

} // namespace

MysqlType mysqlTypeOf(const MysqlColumnType &column)
{
    MysqlType result;
    const Entry *entry = nullptr;
    for (const Entry &candidate : Types) {
        if (column.name == candidate.name) {
            entry = &candidate;
            break;
        }
    }
    if (!entry)
        return result;
    result.type = column.isUnsigned ? entry->unsignedType : entry->type;
    result.definedSize = entry->size ? entry->size : column.length;
    result.precision = entry->precision;
    if (column.name == "tinyint" && column.displayWidth == 1) {
        // tinyint(1) is how MySQL declares BOOLEAN.
        result.type = AdoType::Boolean;
        result.definedSize = 2;
        result.precision = 0;
    } else if (column.name == "decimal") {
        result.precision = column.precision;
        result.scale = column.scale;
    } else if (column.name == "bit") {
        result.definedSize = (column.length + 7) / 8;
    }
    return result;
}

MysqlColumnType mysqlColumnType(const QByteArray &dataType, const QByteArray &columnType, qint64 length,
                                int precision, int scale)
{
    MysqlColumnType column;
    column.name = dataType.toLower();
    const QByteArray full = columnType.toLower();
    column.isUnsigned = full.contains(" unsigned");
    const qsizetype open = full.indexOf('(');
    if (open > 0 && column.name.endsWith("int"))
        column.displayWidth = full.mid(open + 1, full.indexOf(')', open) - open - 1).toInt();
    column.length = length;
    column.precision = precision;
    column.scale = scale;
    if (column.name == "bit")
        column.length = precision; // information_schema gives a bit column's width as its precision
    return column;
}
