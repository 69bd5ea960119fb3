#include "editor/SqlLexer.h"

#include <QSet>

namespace {

// The words every dialect shares: the reserved words of standard SQL.
const char standardKeywords[] =
    "absolute action add all allocate alter and any are as asc assertion at authorization begin "
    "between bigint binary bit blob boolean both by call cascade cascaded case cast catalog char "
    "character check clob close collate collation column commit connect connection constraint "
    "constraints continue corresponding create cross current current_date current_time "
    "current_timestamp current_user cursor date day deallocate dec decimal declare default "
    "deferrable deferred delete desc describe descriptor diagnostics disconnect distinct domain "
    "double drop else end escape except exec execute exists external false fetch first float for "
    "foreign found from full get global go goto grant group having hour identity immediate in "
    "indicator initially inner input insensitive insert int integer intersect interval into is "
    "isolation join key language last leading left level like local match minute module month "
    "names national natural nchar next no not null numeric of on only open option or order outer "
    "output overlaps pad partial precision prepare preserve primary prior privileges procedure "
    "public read real recursive references relative restrict revoke right rollback rows schema "
    "scroll second section select session session_user set size smallint some space sql sqlcode "
    "sqlerror table temporary then time timestamp timezone_hour timezone_minute to trailing "
    "transaction translation true union unique unknown update usage user using value values "
    "varchar varying view when whenever where with work write year zone";

const char standardFunctions[] =
    "abs avg bit_length ceiling char_length character_length coalesce convert count extract floor "
    "lower max min mod nullif octet_length position power sqrt substring sum translate trim upper";

const char standardExceptions[] = "sqlexception sqlwarning sqlstate";

const char mssql7Keywords[] =
    "backup break browse bulk checkpoint clustered compute contains containstable datetime dbcc "
    "deny disk distributed dump errlvl exit file fillfactor freetext freetexttable holdlock "
    "identity_insert identitycol if image index kill lineno load money nocheck nonclustered ntext "
    "nvarchar off offsets opendatasource openquery openrowset over percent plan print proc "
    "raiserror readtext reconfigure replication restore return rowcount rowguidcol rule save "
    "setuser shutdown smalldatetime smallmoney statistics text textsize tinyint top tran trigger "
    "truncate tsequal uniqueidentifier updatetext use varbinary waitfor while writetext";

const char mssql7Functions[] =
    "ascii charindex datalength dateadd datediff datename datepart db_id db_name difference "
    "getdate host_name ident_incr ident_seed isdate isnull isnumeric left len ltrim newid "
    "object_id object_name patindex quotename replace replicate reverse right round rtrim "
    "soundex space str stuff suser_sname upper user_name";

// SQL Server 2000 adds user-defined functions, INSTEAD OF triggers and new types.
const char mssql2kKeywords[] = "function returns instead sql_variant cursor_type";

const char mssql2kFunctions[] =
    "binary_checksum checksum checksum_agg count_big getutcdate ident_current rowcount_big "
    "scope_identity";

const char mysqlKeywords[] =
    "auto_increment change charset databases datetime delayed div duplicate engine enum explain "
    "fulltext function high_priority if ignore index json keys limit lock longblob longtext "
    "low_priority mediumblob mediumint mediumtext modify offset regexp rename replace returns "
    "rlike separator show spatial sql_calc_found_rows straight_join tables text tinyblob tinyint "
    "tinytext trigger truncate unlock unsigned use varbinary xor zerofill";

const char mysqlFunctions[] =
    "concat concat_ws curdate curtime date_add date_format date_sub datediff found_rows "
    "from_unixtime group_concat ifnull last_insert_id lcase length md5 now rand round sha1 "
    "substring_index ucase unix_timestamp";

const char mysqlExceptions[] = "sqlexception sqlwarning sqlstate";

const char postgresKeywords[] =
    "analyse analyze array bigserial bytea concurrently conflict do exception excluding filter function "
    "ilike including inherits isnull json jsonb language lateral limit materialized nothing "
    "notnull offset over partition plpgsql raise refresh returning returns sequence serial similar "
    "text trigger truncate uuid vacuum window";

const char postgresFunctions[] =
    "age array_agg concat currval date_part date_trunc generate_series greatest least length "
    "md5 nextval now pg_size_pretty pg_total_relation_size random regexp_replace replace round "
    "setval split_part string_agg to_char to_date to_number trunc";

const char postgresExceptions[] =
    "check_violation deadlock_detected division_by_zero foreign_key_violation "
    "invalid_text_representation no_data_found not_null_violation numeric_value_out_of_range "
    "others query_canceled raise_exception serialization_failure sqlstate "
    "string_data_right_truncation too_many_rows undefined_column undefined_table "
    "unique_violation";

const char sqliteKeywords[] =
    "abort analyze attach autoincrement conflict detach explain fail glob if ignore indexed "
    "limit offset plan pragma query raise regexp reindex rename replace returning rowid strict "
    "temp text trigger vacuum virtual without";

const char sqliteFunctions[] =
    "changes char date datetime group_concat hex ifnull instr julianday last_insert_rowid length "
    "likelihood ltrim printf quote random randomblob replace round rtrim sqlite_version strftime "
    "substr total total_changes typeof unicode zeroblob";

// Joins word lists into one sorted, space-separated list without repeats.
QByteArray wordList(std::initializer_list<const char *> parts)
{
    QSet<QByteArray> seen;
    QList<QByteArray> words;
    for (const char *part : parts) {
        for (const QByteArray &word : QByteArray(part).split(' ')) {
            if (!word.isEmpty() && !seen.contains(word)) {
                seen.insert(word);
                words.append(word);
            }
        }
    }
    std::sort(words.begin(), words.end());
    return words.join(' ');
}

} // namespace

SqlLexer::SqlLexer(QObject *parent) : QsciLexerSQL(parent)
{
    setDialect(SqlHighlightDialect::Standard);
}

void SqlLexer::setDialect(SqlHighlightDialect dialect)
{
    m_dialect = dialect;
    switch (dialect) {
    case SqlHighlightDialect::Standard:
        m_keywords = wordList({standardKeywords});
        m_functions = wordList({standardFunctions});
        m_exceptions = wordList({standardExceptions});
        break;
    case SqlHighlightDialect::MSSQL7:
        m_keywords = wordList({standardKeywords, mssql7Keywords});
        m_functions = wordList({standardFunctions, mssql7Functions});
        m_exceptions.clear();
        break;
    case SqlHighlightDialect::MSSQL2K:
        m_keywords = wordList({standardKeywords, mssql7Keywords, mssql2kKeywords});
        m_functions = wordList({standardFunctions, mssql7Functions, mssql2kFunctions});
        m_exceptions.clear();
        break;
    case SqlHighlightDialect::MySQL:
        m_keywords = wordList({standardKeywords, mysqlKeywords});
        m_functions = wordList({standardFunctions, mysqlFunctions});
        m_exceptions = wordList({mysqlExceptions});
        break;
    case SqlHighlightDialect::Postgres:
        m_keywords = wordList({standardKeywords, postgresKeywords});
        m_functions = wordList({standardFunctions, postgresFunctions});
        m_exceptions = wordList({postgresExceptions});
        break;
    case SqlHighlightDialect::Sqlite:
        m_keywords = wordList({standardKeywords, sqliteKeywords});
        m_functions = wordList({standardFunctions, sqliteFunctions});
        m_exceptions.clear();
        break;
    }
    // MySQL quotes names in backticks; elsewhere a backtick is an ordinary character.
    setQuotedIdentifiers(dialect == SqlHighlightDialect::MySQL);
}

const char *SqlLexer::keywords(int set) const
{
    switch (set) {
    case KeywordsSet:
        return m_keywords.constData();
    case FunctionsSet:
        return m_functions.constData();
    case ExceptionsSet:
        return m_exceptions.constData();
    default:
        return nullptr;
    }
}

QStringList SqlLexer::keywordList(int set) const
{
    return QString::fromLatin1(keywords(set)).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}
