#pragma once

#include "db/DataAccess.h"
#include "query/RowFilter.h"
#include "query/RowSorter.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <functional>

// A result sorted or filtered by its database: the statement run again inside another,
//   SELECT * FROM (
//   <statement>
//   ) AS q WHERE <filters> ORDER BY <columns>
// its values bound as parameters, never written into the text.
namespace shaping {

// Why a statement cannot be run inside another.
enum class Refusal {
    None,
    NotOneStatement, // the text holds more than one statement
    NotAQuery,       // it does not begin with SELECT or WITH
    Writes,          // it may change data or lock rows (INSERT, SELECT INTO, FOR UPDATE, ...)
    RepeatedName,    // a filtered column's name is shared by another column of the result
};

struct PlainRead
{
    QString statement; // without the trailing semicolon
    Refusal refusal = Refusal::None;
};

// Whether sql is plainly one query that only reads: it begins (after blanks, comments and
// opening parentheses) with SELECT or WITH, holds no second statement, and none of the words
// that write or lock (INSERT, UPDATE, DELETE, MERGE, INTO, CREATE, DROP, ALTER, TRUNCATE, GRANT,
// REVOKE, CALL, EXEC, EXECUTE, COPY, LOCK) stands outside comments, strings and quoted names.
PlainRead plainRead(const QString &sql, SqlDialect dialect);

struct Statement
{
    QString sql;
    QList<QVariant> params;
    Refusal refusal = Refusal::None;
};

// The statement (a plain read) wrapped with the filters and the sort, for a result of these
// fields; placeholder(i) writes the i-th parameter (from 1). Names are quoted by the dialect;
// a sort column whose name repeats is named by its position.
Statement wrap(const QString &statement, const QList<FieldInfo> &fields, const QList<ColumnFilter> &filters,
               const QList<SortColumn> &sort, SqlDialect dialect,
               const std::function<QString(int)> &placeholder);

} // namespace shaping
