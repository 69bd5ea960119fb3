#pragma once

#include "db/DataAccess.h"

#include <QList>
#include <QString>
#include <QStringList>

// How the rows of a result are written back, decided once per opened result by
// EditAnalysis::analyse and only read afterwards (flags() and painting never ask the database).
struct EditTarget
{
    bool editable = false;
    QString reason; // why the result is read-only
    QString schema;
    QString table;
    QStringList columns;       // base column of each field, in field order
    QList<AdoType> types;      // ADO type of each field
    QList<int> keyFields;      // the primary key's fields; empty when the row is found by all its values
    QList<bool> autoIncrement; // per field
    // False when the key does not prove that one row matches (a PostgreSQL table with inheritance
    // children shares its key values with them): every write then counts the rows it would touch.
    bool keyIsUnique = true;
    // Whether SELECT ... FOR UPDATE may lock the row before it is written (a table, not a view).
    bool lockable = true;

    bool hasKey() const { return !keyFields.isEmpty(); }
};
