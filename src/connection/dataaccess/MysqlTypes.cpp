#include "connection/dataaccess/MysqlTypes.h"

#include <QSet>
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

// MariaDB's reserved words: names spelled like them must be quoted.
const QSet<QString> &mysqlKeywords()
{
    static const QSet<QString> words = [] {
        const char *list[] = {"accessible",
                              "add",
                              "all",
                              "alter",
                              "analyze",
                              "and",
                              "as",
                              "asc",
                              "asensitive",
                              "before",
                              "between",
                              "bigint",
                              "binary",
                              "blob",
                              "both",
                              "by",
                              "call",
                              "cascade",
                              "case",
                              "change",
                              "char",
                              "character",
                              "check",
                              "collate",
                              "column",
                              "condition",
                              "constraint",
                              "continue",
                              "convert",
                              "create",
                              "cross",
                              "current_date",
                              "current_role",
                              "current_time",
                              "current_timestamp",
                              "current_user",
                              "cursor",
                              "database",
                              "databases",
                              "day_hour",
                              "day_microsecond",
                              "day_minute",
                              "day_second",
                              "dec",
                              "decimal",
                              "declare",
                              "default",
                              "delayed",
                              "delete",
                              "delete_domain_id",
                              "desc",
                              "describe",
                              "deterministic",
                              "distinct",
                              "distinctrow",
                              "div",
                              "do_domain_ids",
                              "double",
                              "drop",
                              "dual",
                              "each",
                              "else",
                              "elseif",
                              "enclosed",
                              "escaped",
                              "except",
                              "exists",
                              "exit",
                              "explain",
                              "false",
                              "fetch",
                              "float",
                              "float4",
                              "float8",
                              "for",
                              "force",
                              "foreign",
                              "from",
                              "fulltext",
                              "general",
                              "grant",
                              "group",
                              "having",
                              "high_priority",
                              "hour_microsecond",
                              "hour_minute",
                              "hour_second",
                              "if",
                              "ignore",
                              "ignore_domain_ids",
                              "ignore_server_ids",
                              "in",
                              "index",
                              "infile",
                              "inner",
                              "inout",
                              "insensitive",
                              "insert",
                              "int",
                              "int1",
                              "int2",
                              "int3",
                              "int4",
                              "int8",
                              "integer",
                              "intersect",
                              "interval",
                              "into",
                              "is",
                              "iterate",
                              "join",
                              "key",
                              "keys",
                              "kill",
                              "leading",
                              "leave",
                              "left",
                              "like",
                              "limit",
                              "linear",
                              "lines",
                              "load",
                              "localtime",
                              "localtimestamp",
                              "lock",
                              "long",
                              "longblob",
                              "longtext",
                              "loop",
                              "low_priority",
                              "master_heartbeat_period",
                              "master_ssl_verify_server_cert",
                              "match",
                              "maxvalue",
                              "mediumblob",
                              "mediumint",
                              "mediumtext",
                              "middleint",
                              "minute_microsecond",
                              "minute_second",
                              "mod",
                              "modifies",
                              "natural",
                              "not",
                              "no_write_to_binlog",
                              "null",
                              "numeric",
                              "offset",
                              "on",
                              "optimize",
                              "option",
                              "optionally",
                              "or",
                              "order",
                              "out",
                              "outer",
                              "outfile",
                              "over",
                              "page_checksum",
                              "parse_vcol_expr",
                              "partition",
                              "position",
                              "precision",
                              "primary",
                              "procedure",
                              "purge",
                              "range",
                              "read",
                              "reads",
                              "read_write",
                              "real",
                              "recursive",
                              "ref_system_id",
                              "references",
                              "regexp",
                              "release",
                              "rename",
                              "repeat",
                              "replace",
                              "require",
                              "resignal",
                              "restrict",
                              "return",
                              "returning",
                              "revoke",
                              "right",
                              "rlike",
                              "rows",
                              "row_number",
                              "schema",
                              "schemas",
                              "second_microsecond",
                              "select",
                              "sensitive",
                              "separator",
                              "set",
                              "show",
                              "signal",
                              "slow",
                              "smallint",
                              "spatial",
                              "specific",
                              "sql",
                              "sqlexception",
                              "sqlstate",
                              "sqlwarning",
                              "sql_big_result",
                              "sql_calc_found_rows",
                              "sql_small_result",
                              "ssl",
                              "starting",
                              "stats_auto_recalc",
                              "stats_persistent",
                              "stats_sample_pages",
                              "straight_join",
                              "table",
                              "terminated",
                              "then",
                              "tinyblob",
                              "tinyint",
                              "tinytext",
                              "to",
                              "trailing",
                              "trigger",
                              "true",
                              "undo",
                              "union",
                              "unique",
                              "unlock",
                              "unsigned",
                              "update",
                              "usage",
                              "use",
                              "using",
                              "utc_date",
                              "utc_time",
                              "utc_timestamp",
                              "values",
                              "varbinary",
                              "varchar",
                              "varcharacter",
                              "varying",
                              "when",
                              "where",
                              "while",
                              "window",
                              "with",
                              "write",
                              "xor",
                              "year_month",
                              "zerofill"};
        QSet<QString> set;
        for (const char *word : list)
            set.insert(QLatin1String(word));
        return set;
    }();
    return words;
}

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

QString mysqlQuoteIdentifier(const QString &name)
{
    bool plain = !name.isEmpty() && !mysqlKeywords().contains(name.toLower());
    for (qsizetype i = 0; plain && i < name.size(); ++i) {
        const QChar c = name[i];
        const bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u'$';
        const bool digit = c >= u'0' && c <= u'9';
        plain = letter || (i > 0 && digit);
    }
    if (plain)
        return name;
    QString quoted = name;
    quoted.replace(QLatin1Char('`'), QLatin1String("``"));
    return QLatin1Char('`') + quoted + QLatin1Char('`');
}
