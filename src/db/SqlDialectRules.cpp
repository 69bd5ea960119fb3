#include "db/SqlDialectRules.h"

#include <sqlite3.h>

#include <algorithm>

namespace {

// Reserved words of standard SQL.
const char standardWords[] =
    "absolute action add all allocate alter and any are as asc assertion at authorization begin "
    "between bigint binary bit blob boolean both by call cascade cascaded case cast catalog char "
    "character check clob close collate collation column commit connect connection constraint "
    "constraints continue corresponding create cross current current_date current_time "
    "current_timestamp current_user cursor date day deallocate dec decimal declare default "
    "deferrable deferred delete desc describe descriptor diagnostics disconnect distinct domain "
    "double drop else end escape except exec execute exists external false fetch first float for "
    "foreign found from full get global go goto grant group having hour identity immediate in "
    "indicator initially inner input insensitive insert int integer intersect interval into is "
    "isolation join key language last leading left level like local match minute module month names "
    "national natural nchar next no not null numeric of on only open option or order outer output "
    "overlaps pad partial precision prepare preserve primary prior privileges procedure public read "
    "real recursive references relative restrict revoke right rollback rows schema scroll second "
    "section select session session_user set size smallint some space sql sqlcode sqlerror table "
    "temporary then time timestamp timezone_hour timezone_minute to trailing transaction "
    "translation true union unique unknown update usage user using value values varchar varying "
    "view when whenever where with work write year zone";

// PostgreSQL's reserved, type/function-name and column-name keywords.
const char postgresWords[] =
    "all analyse analyze and any array as asc asymmetric authorization between bigint binary bit "
    "boolean both case cast char character check coalesce collate collation column concurrently "
    "constraint create cross current_catalog current_date current_role current_schema current_time "
    "current_timestamp current_user dec decimal default deferrable desc distinct do else end except "
    "exists extract false fetch float for foreign freeze from full grant greatest group grouping "
    "having ilike in initially inner inout int integer intersect interval into is isnull join "
    "lateral leading least left like limit localtime localtimestamp national natural nchar none "
    "normalize not notnull null nullif numeric offset on only or order out outer overlaps overlay "
    "placing position precision primary real references returning right row select session_user "
    "setof similar smallint some substring symmetric table tablesample then time timestamp to "
    "trailing treat trim true union unique user using values varchar variadic verbose when where "
    "window with xmlattributes xmlconcat xmlelement xmlexists xmlforest xmlnamespaces xmlparse "
    "xmlpi xmlroot xmlserialize xmltable";

// MariaDB's reserved words.
const char mysqlWords[] =
    "accessible add all alter analyze and as asc asensitive before between bigint binary blob both "
    "by call cascade case change char character check collate column condition constraint continue "
    "convert create cross current_date current_role current_time current_timestamp current_user "
    "cursor database databases day_hour day_microsecond day_minute day_second dec decimal declare "
    "default delayed delete delete_domain_id desc describe deterministic distinct distinctrow div "
    "do_domain_ids double drop dual each else elseif enclosed escaped except exists exit explain "
    "false fetch float float4 float8 for force foreign from fulltext general grant group having "
    "high_priority hour_microsecond hour_minute hour_second if ignore ignore_domain_ids "
    "ignore_server_ids in index infile inner inout insensitive insert int int1 int2 int3 int4 int8 "
    "integer intersect interval into is iterate join key keys kill leading leave left like limit "
    "linear lines load localtime localtimestamp lock long longblob longtext loop low_priority "
    "master_demote_to_replica master_demote_to_slave master_heartbeat_period "
    "master_ssl_verify_server_cert match maxvalue mediumblob mediumint mediumtext middleint "
    "minute_microsecond minute_second mod modifies natural no_write_to_binlog not null numeric "
    "offset on optimize option optionally or order out outer outfile over page_checksum "
    "parse_vcol_expr partition portion position precision primary procedure purge range read "
    "read_write reads real recursive ref_system_id references regexp release rename repeat replace "
    "require resignal restrict return returning revoke right rlike row_number rows schema schemas "
    "second_microsecond select sensitive separator set show signal slow smallint spatial specific "
    "sql sql_big_result sql_calc_found_rows sql_small_result sqlexception sqlstate sqlwarning ssl "
    "starting stats_auto_recalc stats_persistent stats_sample_pages straight_join table terminated "
    "then tinyblob tinyint tinytext to trailing trigger true undo union unique unlock unsigned "
    "update usage use using utc_date utc_time utc_timestamp values varbinary varchar varcharacter "
    "varying when where while window with write xor year_month zerofill";

// SQL Server's reserved words.
const char sqlServerWords[] =
    "add all alter and any as asc authorization backup begin between break browse bulk by cascade "
    "case check checkpoint close clustered coalesce collate column commit compute constraint "
    "contains continue convert create cross current current_date current_time current_timestamp "
    "current_user cursor database date dbcc deallocate declare default delete deny desc distinct "
    "distributed double drop dump else end errlvl escape except exec execute exists exit external "
    "fetch file fillfactor for foreign freetext from full function goto grant group having holdlock "
    "identity if in index inner insert intersect into is join key kill left like lineno merge "
    "national nocheck nonclustered not null nullif of off offsets on open option or order outer "
    "over percent pivot plan precision primary print proc procedure public raiserror read readtext "
    "references replication restore restrict return revert revoke right rollback rowcount rule save "
    "schema select session_user set setuser shutdown some statistics system_user table then time "
    "timestamp to top tran transaction trigger truncate union unique unpivot update user using "
    "value values varying view waitfor when where while with writetext";

QStringList words(std::initializer_list<const char *> lists)
{
    QStringList result;
    for (const char *list : lists)
        result += QString::fromLatin1(list).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return result;
}

// Every keyword of the SQLite library the program runs on.
QStringList sqliteWords()
{
    QStringList result;
    for (int i = 0; i < sqlite3_keyword_count(); ++i) {
        const char *name = nullptr;
        int length = 0;
        if (sqlite3_keyword_name(i, &name, &length) == SQLITE_OK)
            result.append(QString::fromLatin1(name, length).toLower());
    }
    return result;
}

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

SqlDialectRules::SqlDialectRules(SqlDialect dialect, QStringList words) : m_dialect(dialect)
{
    for (QString &word : words)
        word = word.toLower();
    std::sort(words.begin(), words.end());
    words.erase(std::unique(words.begin(), words.end()), words.end());
    m_words = words;
    m_wordSet = QSet<QString>(words.begin(), words.end());
}

const SqlDialectRules &SqlDialectRules::of(SqlDialect dialect)
{
    static const SqlDialectRules standard(SqlDialect::Standard, words({standardWords}));
    static const SqlDialectRules sqlite(SqlDialect::Sqlite, sqliteWords());
    static const SqlDialectRules postgres(SqlDialect::PostgreSql, words({postgresWords}));
    static const SqlDialectRules mysql(SqlDialect::MySql, words({mysqlWords}));
    static const SqlDialectRules sqlServer(SqlDialect::SqlServer, words({sqlServerWords}));
    // Access SQL runs on SQLite here (and on Jet through ODBC): a name must pass both.
    static const SqlDialectRules access(SqlDialect::Access, sqliteWords() + words({standardWords}));
    switch (dialect) {
    case SqlDialect::Standard:
        break;
    case SqlDialect::Sqlite:
        return sqlite;
    case SqlDialect::PostgreSql:
        return postgres;
    case SqlDialect::MySql:
        return mysql;
    case SqlDialect::SqlServer:
        return sqlServer;
    case SqlDialect::Access:
        return access;
    }
    return standard;
}

bool SqlDialectRules::isReserved(const QString &word) const
{
    return m_wordSet.contains(word.toLower());
}

bool SqlDialectRules::isPlain(const QString &name) const
{
    if (name.isEmpty())
        return false;
    const bool postgres = m_dialect == SqlDialect::PostgreSql;
    const bool dollar = postgres || m_dialect == SqlDialect::MySql;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name[i];
        const bool letter = postgres ? (c >= u'a' && c <= u'z') : isAsciiLetter(c);
        const bool follower = isAsciiDigit(c) || (dollar && c == u'$');
        if (!(letter || c == u'_' || (i > 0 && follower)))
            return false;
    }
    return !isReserved(name);
}

QString SqlDialectRules::enclose(const QString &name) const
{
    QChar open = u'"';
    QChar close = u'"';
    switch (m_dialect) {
    case SqlDialect::SqlServer:
    case SqlDialect::Access:
        open = u'[';
        close = u']';
        break;
    case SqlDialect::MySql:
        open = close = u'`';
        break;
    case SqlDialect::Standard:
    case SqlDialect::Sqlite:
    case SqlDialect::PostgreSql:
        break;
    }
    QString escaped = name;
    escaped.replace(close, QString(2, close));
    return open + escaped + close;
}

QString SqlDialectRules::quoteIdentifier(const QString &name) const
{
    return isPlain(name) ? name : enclose(name);
}

QString SqlDialectRules::stringLiteral(const QString &text) const
{
    QString escaped = text;
    if (m_dialect == SqlDialect::MySql)
        escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    escaped.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

QString SqlDialectRules::binaryLiteral(QByteArrayView bytes) const
{
    const QString hex = QString::fromLatin1(bytes.toByteArray().toHex());
    switch (m_dialect) {
    case SqlDialect::SqlServer:
        return QStringLiteral("0x") + hex;
    case SqlDialect::PostgreSql:
        return QStringLiteral("'\\x") + hex + QStringLiteral("'::bytea");
    default:
        return QStringLiteral("X'") + hex + QLatin1Char('\'');
    }
}

QString SqlDialectRules::booleanLiteral(bool value) const
{
    if (m_dialect == SqlDialect::Sqlite || m_dialect == SqlDialect::SqlServer)
        return value ? QStringLiteral("1") : QStringLiteral("0");
    return value ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
}
