#pragma once

#include "db/AdoType.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The one mapping from MySQL/MariaDB column types to ADO types, used for catalogue columns
// (information_schema) and for the fields of results alike.
struct MysqlColumnType
{
    QByteArray name; // lower-case type name as information_schema's DATA_TYPE spells it
    bool isUnsigned = false;
    int displayWidth = 0; // of integer types; tinyint(1) is the boolean convention
    qint64 length = 0;    // characters of text types, bytes of binary types, bits of bit
    int precision = 0;    // of decimal
    int scale = 0;
};

struct MysqlType
{
    AdoType type = AdoType::LongVarWChar;
    qint64 definedSize = 0;
    int precision = 0;
    int scale = 0;
};

MysqlType mysqlTypeOf(const MysqlColumnType &column);

// Parses information_schema's COLUMN_TYPE ("int(10) unsigned", "tinyint(1)", "decimal(10,2)")
// together with DATA_TYPE and the length, precision and scale columns.
MysqlColumnType mysqlColumnType(const QByteArray &dataType, const QByteArray &columnType, qint64 length,
                                int precision, int scale);
