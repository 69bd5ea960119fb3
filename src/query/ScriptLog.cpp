#include "query/ScriptLog.h"

#include "query/ScriptRunner.h"
#include "shell/texts/WorkbenchTexts.h"

#include <algorithm>

QString scriptSummary(const ScriptResult &result, const WorkbenchTexts &texts)
{
    using Result = StatementOutcome::Result;
    const auto run =
        std::count_if(result.outcomes.cbegin(), result.outcomes.cend(), [](const StatementOutcome &o) {
            return o.result == Result::Rows || o.result == Result::Command || o.result == Result::Failed;
        });
    return texts.scriptSummary.arg(QString::number(run), QString::number(result.statementCount),
                                   QString::number(result.elapsedMs), QString::number(result.failures));
}

QStringList scriptLog(const ScriptResult &result, const WorkbenchTexts &texts)
{
    using Result = StatementOutcome::Result;
    QStringList lines;
    for (const StatementOutcome &o : result.outcomes) {
        const QString line = QString::number(o.line);
        const QString ms = QString::number(o.elapsedMs);
        switch (o.result) {
        case Result::Rows:
            lines.append(texts.scriptRows.arg(line, QString::number(o.rows), ms, o.head));
            break;
        case Result::Command:
            lines.append(o.affected < 0
                             ? texts.scriptDone.arg(line, ms, o.head)
                             : texts.scriptAffected.arg(line, QString::number(o.affected), ms, o.head));
            break;
        case Result::Failed:
            lines.append(texts.scriptFailed.arg(QString::number(o.errorLine > 0 ? o.errorLine : o.line),
                                                o.head, o.error));
            break;
        case Result::Cancelled:
            lines.append(texts.scriptCancelled.arg(line, o.head));
            break;
        case Result::ClientCommand:
            lines.append(texts.scriptClientCommand.arg(line, o.head));
            break;
        case Result::Skipped:
            lines.append(texts.scriptSkipped.arg(line, o.head));
            break;
        }
    }
    lines.append(scriptSummary(result, texts));
    if (result.cancelled)
        lines.append(texts.scriptWasCancelled);
    else if (result.stopped)
        lines.append(texts.scriptStopped);
    return lines;
}
