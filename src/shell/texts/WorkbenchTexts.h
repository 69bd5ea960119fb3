#pragma once

#include <QString>
#include <QStringList>

// Texts of the SQL page's workbench: the find bar, the history window and .sql files, in each
// language.
struct WorkbenchTexts
{
    // Find bar: labels, buttons, the names screen readers give its fields, and what it reports.
    QString findLabel, replaceLabel, findNext, findPrevious, replace, replaceAll, matchCase, closeFind;
    QString findFieldName, replaceFieldName, findBarName;
    QString notFound, replacedCount; // %1: how many

    // History window: caption, filter, table header, result words, buttons, the question before
    // it is cleared and the names screen readers give the filter and the table.
    QString historyCaption, historyFilter, historyFilterHint;
    QStringList historyHeader; // time, connection, duration, rows, result, statement
    QString historySucceeded, historyFailed;
    QString historyUse, historyDelete, historyClear, historyClose, historyClearQuestion;
    QString historyFilterName, historyTableName;
    QString historyFailedToRead, historyFailedToWrite; // %1: the reason

    // A script's log lines: each statement's outcome by its line (%1) and first line, then a
    // summary (%1 statements run, %2 in the script, %3 milliseconds, %4 failed).
    QString scriptRows, scriptAffected, scriptDone, scriptFailed, scriptCancelled, scriptClientCommand,
        scriptSkipped, scriptSummary, scriptStopped, scriptWasCancelled;

    // The workbench's menu items.
    QString runStatementItem, runScriptItem, continueOnErrorItem, findItem, openSqlItem, saveSqlItem,
        saveSqlAsItem, historyItem;
    // Said when the statement under the cursor or the script is empty.
    QString nothingToRun;
    // The editor's text kept for a profile between runs, when it cannot be (%1: the reason).
    QString editorTextReadFailed, editorTextWriteFailed;

    // .sql files: dialog captions, file types and what goes wrong (%1 the file, %2 the reason).
    QString openSqlCaption, saveSqlCaption, sqlFilter, allFilesFilter, sqlFileReadFailed, sqlFileWriteFailed,
        sqlFileNotUtf8;
};

const WorkbenchTexts &englishWorkbenchTexts();
const WorkbenchTexts &portugueseWorkbenchTexts();
// English exactly when language is "en-US", as textsFor.
const WorkbenchTexts &workbenchTextsFor(const QString &language);
