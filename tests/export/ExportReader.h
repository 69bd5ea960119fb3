#pragma once

#include "db/DataAccess.h"
#include "db/fetch/CellSink.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <variant>

// Reads an exported file back with read_export.py (Python's csv and json modules, openpyxl), an
// independent reader; "csv", "jsonl" or "xlsx". Returns the JSON it prints; an empty object
// (and a warning with Python's errors) when it fails.
QJsonObject readExport(const QString &kind, const QString &path);
// The rows of the first (or given) sheet of what readExport returned.
QJsonArray exportedRows(const QJsonObject &read, int sheet = 0);

// Test rows as a CellSink receives them.
struct Blob
{
    QByteArray bytes;
};
struct Text
{
    QByteArray utf8;
};
using Cell = std::variant<std::monostate, qint64, double, bool, Text, Blob>;
void feedRows(CellSink &sink, const QList<QList<Cell>> &rows);

FieldInfo field(const QString &name, AdoType type);
