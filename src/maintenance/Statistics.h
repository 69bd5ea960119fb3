#pragma once

#include "db/DataAccess.h"

#include <QStringList>

// The statistics queries: every user table with its row count and size, one text per family.
namespace statistics {

QStringList sqlServerText();
// defaultDatabase becomes a MySQL string literal.
QStringList mySqlText(const QString &defaultDatabase);

// One SELECT per table joined by UNION ALL; with sizes, each table's pages and those of its
// indexes from the dbstat table, in kilobytes. Tables outside defaultSchema are qualified and
// get no size. Groups of terms are nested so no compound exceeds SQLite's term limit.
// Without tables, a query with the same columns and no rows.
QStringList sqliteText(const QList<TableInfo> &tables, bool withSizes, const QString &defaultSchema);
// Reads the user tables and whether dbstat exists from an SQLite connection, as one piece of
// work. A table SQLite cannot open (a virtual table whose module is missing) is left out and
// named, with its error, in skipped.
QStringList sqliteText(Connection &connection, QStringList &skipped);

} // namespace statistics
