#include "editor/SqlLexer.h"

#include "db/SqlDialectRules.h"

#include <QSet>

namespace {

// The keyword set of a dialect is standard SQL's reserved words and the dialect's own
// (SqlDialectRules), with the words below that it highlights besides.

const char standardFunctions[] =
    "abs avg bit_length ceiling char_length character_length coalesce convert count extract floor "
    "lower max min mod nullif octet_length position power sqrt substring sum translate trim upper";

const char standardExceptions[] = "sqlexception sqlwarning sqlstate";

const char mssql7Keywords[] =
    "containstable datetime disk freetexttable identity_insert identitycol image load money ntext "
    "nvarchar opendatasource openquery openrowset reconfigure rowguidcol smalldatetime smallmoney "
    "text textsize tinyint tsequal uniqueidentifier updatetext use varbinary";

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
    "auto_increment charset datetime duplicate engine enum function json modify returns tables text "
    "truncate";

const char mysqlFunctions[] =
    "concat concat_ws curdate curtime date_add date_format date_sub datediff found_rows "
    "from_unixtime group_concat ifnull last_insert_id lcase length md5 now rand round sha1 "
    "substring_index ucase unix_timestamp";

const char postgresKeywords[] =
    "bigserial bytea conflict exception excluding filter function including inherits json jsonb "
    "materialized nothing over partition plpgsql raise refresh returns sequence serial text trigger "
    "truncate uuid vacuum";

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

const char sqliteKeywords[] = "rowid strict text";

const char sqliteFunctions[] =
    "changes char date datetime group_concat hex ifnull instr julianday last_insert_rowid length "
    "likelihood ltrim printf quote random randomblob replace round rtrim sqlite_version strftime "
    "substr total total_changes typeof unicode zeroblob";

QList<QByteArray> words(std::initializer_list<const char *> parts)
{
    QList<QByteArray> result;
    for (const char *part : parts)
        result += QByteArray(part).split(' ');
    return result;
}

QList<QByteArray> words(SqlDialect dialect)
{
    QList<QByteArray> result;
    for (const QString &word : SqlDialectRules::of(dialect).reservedWords())
        result.append(word.toLatin1());
    return result;
}

// One sorted, space-separated list without repeats, leaving out the words of `without`.
QByteArray wordList(const QList<QByteArray> &list, const QList<QByteArray> &without = {})
{
    const QSet<QByteArray> left(without.begin(), without.end());
    QSet<QByteArray> seen;
    QList<QByteArray> result;
    for (const QByteArray &word : list) {
        if (!word.isEmpty() && !left.contains(word) && !seen.contains(word)) {
            seen.insert(word);
            result.append(word);
        }
    }
    std::sort(result.begin(), result.end());
    return result.join(' ');
}

} // namespace

SqlLexer::SqlLexer(QObject *parent) : QsciLexerSQL(parent)
{
    setDialect(SqlHighlightDialect::Standard);
}

void SqlLexer::setDialect(SqlHighlightDialect dialect)
{
    m_dialect = dialect;
    const QList<QByteArray> standard = words(SqlDialect::Standard);
    QList<QByteArray> keywords = standard;
    QList<QByteArray> functions = words({standardFunctions});
    QList<QByteArray> exceptions;
    QList<QByteArray> notKeywords;
    switch (dialect) {
    case SqlHighlightDialect::Standard:
        exceptions = words({standardExceptions});
        break;
    case SqlHighlightDialect::MSSQL7:
    case SqlHighlightDialect::MSSQL2K:
        keywords += words(SqlDialect::SqlServer) + words({mssql7Keywords, mssql2kKeywords});
        functions += words({mssql7Functions});
        if (dialect == SqlHighlightDialect::MSSQL2K)
            functions += words({mssql2kFunctions});
        else
            notKeywords = words({mssql2kKeywords}); // version 7 knew none of them
        break;
    case SqlHighlightDialect::MySQL:
        keywords += words(SqlDialect::MySql) + words({mysqlKeywords});
        functions += words({mysqlFunctions});
        exceptions = words({standardExceptions});
        break;
    case SqlHighlightDialect::Postgres:
        keywords += words(SqlDialect::PostgreSql) + words({postgresKeywords});
        functions += words({postgresFunctions});
        exceptions = words({postgresExceptions});
        break;
    case SqlHighlightDialect::Sqlite:
        keywords += words(SqlDialect::Sqlite) + words({sqliteKeywords});
        functions += words({sqliteFunctions});
        break;
    }
    // A function or exception name shows in its own style unless standard SQL reserves it.
    const QSet<QByteArray> reservedByStandard(standard.begin(), standard.end());
    for (const QByteArray &word : functions + exceptions) {
        if (!reservedByStandard.contains(word))
            notKeywords.append(word);
    }
    m_keywords = wordList(keywords, notKeywords);
    m_functions = wordList(functions);
    m_exceptions = wordList(exceptions);
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
