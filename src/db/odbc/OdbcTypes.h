#pragma once

#include "db/AdoType.h"

#include <QtGlobal>

// The one mapping from ODBC SQL types to ADO types, for catalogue columns and result fields.
struct OdbcType
{
    AdoType type = AdoType::LongVarWChar;
    qint64 definedSize = 0;
    int precision = 0;
    int scale = 0;
};

// sqlType: SQL_INTEGER, SQL_WVARCHAR, ...; columnSize and decimalDigits as SQLColumns or
// SQLDescribeCol report them.
OdbcType odbcTypeOf(int sqlType, qint64 columnSize, int decimalDigits);
