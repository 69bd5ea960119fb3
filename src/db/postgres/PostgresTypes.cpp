#include "db/postgres/PostgresTypes.h"

#include <QString>

namespace {

constexpr int VarHeaderSize = 4; // typmods of length-limited types count libpq's varlena header

struct Entry
{
    const char *name;
    AdoType type;
    qint64 size; // ADO DefinedSize of fixed-size types
    int precision;
};

// Types not listed (arrays, interval, network, geometric, enum, range, ...) arrive as their
// text and are shown as long text.
constexpr Entry Types[] = {
    {"int2", AdoType::SmallInt, 2, 5},
    {"int4", AdoType::Integer, 4, 10},
    {"int8", AdoType::BigInt, 8, 19},
    {"oid", AdoType::UnsignedInt, 4, 10},
    {"float4", AdoType::Single, 4, 7},
    {"float8", AdoType::Double, 8, 15},
    {"numeric", AdoType::Numeric, 19, 0},
    {"money", AdoType::Currency, 8, 19},
    {"bool", AdoType::Boolean, 2, 0},
    {"date", AdoType::DBDate, 6, 0},
    {"time", AdoType::DBTime, 6, 0},
    {"timetz", AdoType::DBTime, 6, 0},
    {"timestamp", AdoType::DBTimeStamp, 16, 0},
    {"timestamptz", AdoType::DBTimeStamp, 16, 0},
    {"bpchar", AdoType::WChar, 0, 0},
    {"varchar", AdoType::VarWChar, 0, 0},
    {"text", AdoType::LongVarWChar, 0, 0},
    {"name", AdoType::VarWChar, 63, 0},
    {"char", AdoType::WChar, 1, 0},
    {"bytea", AdoType::LongVarBinary, 0, 0},
    {"uuid", AdoType::GUID, 16, 0},
    {"json", AdoType::LongVarWChar, 0, 0},
    {"jsonb", AdoType::LongVarWChar, 0, 0},
    {"xml", AdoType::LongVarWChar, 0, 0},
};

} // namespace

PgType pgTypeOf(const QByteArray &typeName, int typmod)
{
    PgType result;
    for (const Entry &entry : Types) {
        if (typeName != entry.name)
            continue;
        result.type = entry.type;
        result.definedSize = entry.size;
        result.precision = entry.precision;
        break;
    }
    if (typeName == "numeric") {
        if (typmod >= VarHeaderSize) {
            const int packed = typmod - VarHeaderSize;
            result.precision = (packed >> 16) & 0xffff;
            // The scale is an 11-bit signed field (negative scales exist since PostgreSQL 15).
            result.scale = ((packed & 0x7ff) ^ 1024) - 1024;
        } else {
            // Unconstrained: as many digits as the type's declared maximum.
            result.precision = 1000;
        }
    } else if (typeName == "bpchar" || typeName == "varchar") {
        if (typmod >= VarHeaderSize)
            result.definedSize = typmod - VarHeaderSize;
        else if (typeName == "varchar")
            result.type = AdoType::LongVarWChar; // varchar without a length is unbounded
    }
    return result;
}

QByteArray pgBuiltinTypeName(unsigned int oid)
{
    switch (oid) {
    case 16:
        return "bool";
    case 17:
        return "bytea";
    case 18:
        return "char";
    case 19:
        return "name";
    case 20:
        return "int8";
    case 21:
        return "int2";
    case 23:
        return "int4";
    case 25:
        return "text";
    case 26:
        return "oid";
    case 114:
        return "json";
    case 142:
        return "xml";
    case 700:
        return "float4";
    case 701:
        return "float8";
    case 790:
        return "money";
    case 1042:
        return "bpchar";
    case 1043:
        return "varchar";
    case 1082:
        return "date";
    case 1083:
        return "time";
    case 1114:
        return "timestamp";
    case 1184:
        return "timestamptz";
    case 1266:
        return "timetz";
    case 1700:
        return "numeric";
    case 2950:
        return "uuid";
    case 3802:
        return "jsonb";
    default:
        return QByteArray();
    }
}
