#pragma once

#include "db/DataAccess.h"

#include <QString>

// Field-type names of table columns and result fields, after their ADO data type. The
// structure grid, the report and the memo editor show and compare these names.
QString fieldTypeName(AdoType type, int precision = 0, int scale = 0, bool autoIncrement = false);
QString fieldTypeName(const FieldInfo &field);

// Only the character types show their defined size.
bool fieldTypeShowsSize(const QString &typeName);
// The size as shown in the structure grid and the report: the defined size in decimal for
// the character types when it is greater than 0, otherwise empty.
QString fieldSizeText(const FieldInfo &field);
