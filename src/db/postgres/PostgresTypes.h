#pragma once

#include "db/AdoType.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The one mapping from PostgreSQL types to ADO types, used for catalogue columns and for the
// fields of results alike.
struct PgType
{
    AdoType type = AdoType::LongVarWChar;
    qint64 definedSize = 0;
    int precision = 0;
    int scale = 0;
};

// typeName: pg_type.typname of the type (of the base type for a domain); typmod: the
// attribute's type modifier (-1 when none).
PgType pgTypeOf(const QByteArray &typeName, int typmod);

// typname of a built-in type, by its fixed OID; empty for others.
QByteArray pgBuiltinTypeName(unsigned int oid);
