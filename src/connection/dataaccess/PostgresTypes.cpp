#include "connection/dataaccess/PostgresTypes.h"

#include <QSet>
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

// Reserved words of PostgreSQL's grammar (reserved, type/function-name and column-name
// keywords): names spelled like them must be quoted.
const QSet<QString> &pgKeywords()
{
    static const QSet<QString> words = [] {
        const char *list[] = {"all",
                              "analyse",
                              "analyze",
                              "and",
                              "any",
                              "array",
                              "as",
                              "asc",
                              "asymmetric",
                              "authorization",
                              "between",
                              "bigint",
                              "binary",
                              "bit",
                              "boolean",
                              "both",
                              "case",
                              "cast",
                              "char",
                              "character",
                              "check",
                              "coalesce",
                              "collate",
                              "collation",
                              "column",
                              "concurrently",
                              "constraint",
                              "create",
                              "cross",
                              "current_catalog",
                              "current_date",
                              "current_role",
                              "current_schema",
                              "current_time",
                              "current_timestamp",
                              "current_user",
                              "dec",
                              "decimal",
                              "default",
                              "deferrable",
                              "desc",
                              "distinct",
                              "do",
                              "else",
                              "end",
                              "except",
                              "exists",
                              "extract",
                              "false",
                              "fetch",
                              "float",
                              "for",
                              "foreign",
                              "freeze",
                              "from",
                              "full",
                              "grant",
                              "greatest",
                              "group",
                              "grouping",
                              "having",
                              "ilike",
                              "in",
                              "initially",
                              "inner",
                              "inout",
                              "int",
                              "integer",
                              "intersect",
                              "interval",
                              "into",
                              "is",
                              "isnull",
                              "join",
                              "lateral",
                              "leading",
                              "least",
                              "left",
                              "like",
                              "limit",
                              "localtime",
                              "localtimestamp",
                              "national",
                              "natural",
                              "nchar",
                              "none",
                              "normalize",
                              "not",
                              "notnull",
                              "null",
                              "nullif",
                              "numeric",
                              "offset",
                              "on",
                              "only",
                              "or",
                              "order",
                              "out",
                              "outer",
                              "overlaps",
                              "overlay",
                              "placing",
                              "position",
                              "precision",
                              "primary",
                              "real",
                              "references",
                              "returning",
                              "right",
                              "row",
                              "select",
                              "session_user",
                              "setof",
                              "similar",
                              "smallint",
                              "some",
                              "substring",
                              "symmetric",
                              "table",
                              "tablesample",
                              "then",
                              "time",
                              "timestamp",
                              "to",
                              "trailing",
                              "treat",
                              "trim",
                              "true",
                              "union",
                              "unique",
                              "user",
                              "using",
                              "values",
                              "varchar",
                              "variadic",
                              "verbose",
                              "when",
                              "where",
                              "window",
                              "with",
                              "xmlattributes",
                              "xmlconcat",
                              "xmlelement",
                              "xmlexists",
                              "xmlforest",
                              "xmlnamespaces",
                              "xmlparse",
                              "xmlpi",
                              "xmlroot",
                              "xmlserialize",
                              "xmltable"};
        QSet<QString> set;
        for (const char *word : list)
            set.insert(QLatin1String(word));
        return set;
    }();
    return words;
}

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

QString pgQuoteIdentifier(const QString &name)
{
    // Unquoted names are folded to lower case, so anything but a lower-case plain name
    // (that is no reserved word) needs quotes to keep its spelling.
    bool plain = !name.isEmpty() && !pgKeywords().contains(name);
    for (qsizetype i = 0; plain && i < name.size(); ++i) {
        const QChar c = name[i];
        const bool letter = (c >= u'a' && c <= u'z') || c == u'_';
        const bool digit = (c >= u'0' && c <= u'9') || c == u'$';
        plain = letter || (i > 0 && digit);
    }
    if (plain)
        return name;
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}
