#pragma once

#include "db/DataAccess.h"

#include <QList>
#include <QString>
#include <QtTest/QTest>

// The grid-edit cases every backend family must pass: one edit, insert or delete through the
// record editor the grid uses, then the table as a second connection reads it.
enum class EditFamily { Sqlite, OdbcSqlite, Postgres, OdbcPostgres, MySql };
Q_DECLARE_METATYPE(EditFamily)

namespace EditCases {

// Adds the case rows that apply to the families (in a _data function).
void addRows(const QList<EditFamily> &families);
// Runs the current row on an empty database reached by connectionString.
void run(const QString &connectionString);

// One row per family (in a _data function).
void addFamilyRows(const QList<EditFamily> &families);
// A transaction the user opened (BEGIN in the SQL editor) is neither committed nor broken by a
// grid edit: the edit joins it, and goes when the user rolls it back.
void runInsideOpenTransaction(const QString &connectionString);

// The test PostgreSQL database reached through the PostgreSQL ODBC driver.
QString pgOdbcString(const QString &pgConnectionString);
// An SQLite file reached through the SQLite provider, or through the SQLite3 ODBC driver.
QString sqliteString(EditFamily family, const QString &path);

// Every row of a query as text: fields joined by ",", rows by ";", NULL as "NULL", line
// breaks, no-break spaces and line separators made visible.
QString tableText(Connection &connection, const QString &sql);
QString rowText(const Recordset &rows, qint64 row);

} // namespace EditCases
