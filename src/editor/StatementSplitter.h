#pragma once

#include "db/DataAccess.h"

#include <QList>
#include <QString>

#include <optional>

// One statement of a script. Offsets are QString indexes into the script.
struct SqlStatement
{
    // What the statement is for the runner: SQL for the database, or a line meant for psql
    // (a backslash command of a PostgreSQL script), which no database understands.
    enum class Kind { Sql, ClientCommand };

    // Its first character: blanks and comments before it belong to no statement.
    qsizetype start = 0;
    // Just past its last character: the terminator, and blanks and comments before it, excluded.
    qsizetype end = 0;
    // Just past its terminator (";", the DELIMITER of the moment, a GO line); end when it has none.
    qsizetype terminatorEnd = 0;
    // The line it starts on, from 1.
    int line = 1;
    Kind kind = Kind::Sql;
    QString text;
};

// Splits a script into statements by the rules of a dialect. A statement ends at its terminator
// and nowhere else: never inside quotes ('…', "…", […], `…`), comments (--, #, /* */), PostgreSQL
// dollar quotes ($tag$…$tag$) or parentheses, nor inside the BEGIN … END body of a trigger,
// procedure or function; a blank line is just a blank. The terminator is ";" — on MySQL the one a
// DELIMITER line sets — and on SQL Server a GO line (a batch of several statements is one
// statement there, as sqlcmd sends it).
class StatementSplitter
{
public:
    explicit StatementSplitter(SqlDialect dialect) : m_dialect(dialect) {}

    QList<SqlStatement> split(const QString &script) const;

    // The statement the cursor at offset is in or touches (right after its terminator). Between
    // statements, the one ending on the cursor's line, else the one starting on it, else the one
    // before, else the one after. None in a script without statements.
    std::optional<SqlStatement> statementAt(const QString &script, qsizetype offset) const;
    static std::optional<SqlStatement> statementAt(const QList<SqlStatement> &statements,
                                                   const QString &script, qsizetype offset);

private:
    SqlDialect m_dialect;
};
