#pragma once

#include <QStringList>

struct ScriptResult;
struct WorkbenchTexts;

// The Messages page's lines about a script that ran: each statement's outcome by its line (rows,
// records affected, time; an error names the statement and the line the database points at),
// then a summary, and why the script ended early when it did.
QStringList scriptLog(const ScriptResult &result, const WorkbenchTexts &texts);
// The summary alone: how many statements ran, in how long, how many failed.
QString scriptSummary(const ScriptResult &result, const WorkbenchTexts &texts);
