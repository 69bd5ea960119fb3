#include "query/ScriptRunner.h"

#include <QElapsedTimer>

namespace {

using Result = StatementOutcome::Result;

// psql commands a dump starts and ends with that only guard psql itself.
bool isHarmlessClientCommand(const QString &text)
{
    const QString name = text.section(QLatin1Char(' '), 0, 0);
    return name == QLatin1StringView("\\restrict") || name == QLatin1StringView("\\unrestrict");
}

qsizetype lineStart(const QString &script, int line)
{
    qsizetype at = 0;
    for (int l = 1; l < line; ++l) {
        at = script.indexOf(QLatin1Char('\n'), at);
        if (at < 0)
            return -1;
        ++at;
    }
    return at;
}

} // namespace

int ScriptRunner::lineAt(const QString &script, qsizetype offset)
{
    return 1 + int(QStringView(script).first(std::min(offset, script.size())).count(u'\n'));
}

ScriptPlace ScriptRunner::placeInScript(const SqlErrorPosition &position, const SqlStatement &statement,
                                        const QString &script)
{
    ScriptPlace place;
    if (position.offset >= 0) {
        place.offset = statement.start + std::min(position.offset, statement.text.size());
        place.line = lineAt(script, place.offset);
    } else if (position.line > 0) {
        place.line = statement.line + position.line - 1;
        // Only the line is known; on the statement's first line that is where the statement starts.
        place.offset = position.line == 1 ? statement.start : lineStart(script, place.line);
    }
    return place;
}

QString ScriptRunner::headOf(const QString &text)
{
    const qsizetype limit = 80;
    QString head = text.section(QLatin1Char('\n'), 0, 0).trimmed();
    const bool more = head.size() > limit || text.contains(QLatin1Char('\n'));
    if (head.size() > limit)
        head.truncate(limit);
    return more ? head + QStringLiteral(u"…") : head;
}

ScriptResult ScriptRunner::run(const QList<SqlStatement> &statements, const QString &script, OnError onError,
                               const std::function<void(const StatementOutcome &)> &progress)
{
    ScriptResult result;
    result.statementCount = int(statements.size());
    QElapsedTimer scriptTimer;
    scriptTimer.start();
    const auto work = [&] {
        for (int i = 0; i < statements.size(); ++i) {
            const SqlStatement &statement = statements[i];
            StatementOutcome outcome;
            outcome.index = i;
            outcome.line = statement.line;
            outcome.head = headOf(statement.text);
            QElapsedTimer timer;
            timer.start();
            bool lost = false;
            if (statement.kind == SqlStatement::Kind::ClientCommand) {
                outcome.result =
                    isHarmlessClientCommand(statement.text) ? Result::Skipped : Result::ClientCommand;
            } else {
                try {
                    ExecResult executed = m_connection.execute(statement.text);
                    if (executed.recordset) {
                        outcome.result = Result::Rows;
                        outcome.rows = executed.recordset->rowCount();
                        if (executed.recordset->incomplete())
                            outcome.result = Result::Cancelled;
                        result.rows = std::move(executed.recordset);
                        result.rowsOutcome = int(result.outcomes.size());
                    } else {
                        outcome.result = Result::Command;
                        outcome.affected = executed.recordsAffected;
                    }
                } catch (const ConnectionLostError &e) {
                    outcome.result = Result::Failed;
                    outcome.error = e.text();
                    lost = true;
                } catch (const DataAccessError &e) {
                    outcome.result = m_connection.cancelRequested() ? Result::Cancelled : Result::Failed;
                    outcome.error = e.text();
                    if (outcome.result == Result::Failed && e.position()) {
                        const ScriptPlace place = placeInScript(*e.position(), statement, script);
                        outcome.errorOffset = place.offset;
                        outcome.errorLine = place.line;
                    }
                }
            }
            outcome.elapsedMs = timer.elapsed();
            result.outcomes.append(outcome);
            if (progress)
                progress(outcome);
            if (lost)
                throw ConnectionLostError(outcome.error);
            if (outcome.result == Result::Cancelled || m_connection.cancelRequested()) {
                result.cancelled = true;
                return;
            }
            if (outcome.result == Result::Failed || outcome.result == Result::ClientCommand) {
                ++result.failures;
                if (onError == OnError::Stop) {
                    result.stopped = i + 1 < statements.size();
                    return;
                }
            }
        }
    };
    try {
        m_connection.run(work);
    } catch (const ConnectionLostError &) {
        // The connection has closed itself; the outcome says why.
        result.connectionLost = true;
        result.failures += 1;
        result.stopped = result.outcomes.size() < statements.size();
    } catch (const DataAccessError &) {
        // Cancel pressed before the first statement began.
        if (!m_connection.cancelRequested())
            throw;
        result.cancelled = true;
    }
    result.elapsedMs = scriptTimer.elapsed();
    return result;
}
