#include "query/FieldTypes.h"

namespace {

QString integerName(bool autoIncrement)
{
    return autoIncrement ? QStringLiteral("AutoInc") : QStringLiteral("Integer");
}

QString numericName(AdoType type, int precision, int scale, bool autoIncrement)
{
    // Small whole numbers stored as NUMERIC are integers for every purpose of the program.
    if (type == AdoType::Numeric && scale == 0 && precision < 10)
        return integerName(autoIncrement);
    if (scale > 4 || precision >= 20)
        return QStringLiteral("FMTBcd");
    return QStringLiteral("BCD");
}

} // namespace

QString fieldTypeName(AdoType type, int precision, int scale, bool autoIncrement)
{
    switch (type) {
    case AdoType::SmallInt:
    case AdoType::TinyInt:
        return QStringLiteral("Smallint");
    case AdoType::Integer:
    case AdoType::Error:
    case AdoType::UnsignedInt:
        return integerName(autoIncrement);
    case AdoType::UnsignedTinyInt:
    case AdoType::UnsignedSmallInt:
        return QStringLiteral("Word");
    case AdoType::BigInt:
    case AdoType::UnsignedBigInt:
        return QStringLiteral("Largeint");
    case AdoType::Single:
    case AdoType::Double:
        return QStringLiteral("Float");
    case AdoType::Currency:
        return QStringLiteral("BCD");
    case AdoType::Decimal:
    case AdoType::Numeric:
    case AdoType::VarNumeric:
        return numericName(type, precision, scale, autoIncrement);
    case AdoType::Boolean:
        return QStringLiteral("Boolean");
    case AdoType::Date:
    case AdoType::FileTime:
    case AdoType::DBTimeStamp:
    case AdoType::DBFileTime:
        return QStringLiteral("DateTime");
    case AdoType::DBDate:
        return QStringLiteral("Date");
    case AdoType::DBTime:
        return QStringLiteral("Time");
    case AdoType::Char:
        return QStringLiteral("FixedChar");
    case AdoType::VarChar:
        return QStringLiteral("String");
    case AdoType::LongVarChar:
        return QStringLiteral("Memo");
    case AdoType::WChar:
        return QStringLiteral("FixedWideChar");
    case AdoType::BSTR:
    case AdoType::VarWChar:
        return QStringLiteral("WideString");
    case AdoType::LongVarWChar:
        return QStringLiteral("WideMemo");
    case AdoType::Binary:
        return QStringLiteral("Bytes");
    case AdoType::VarBinary:
        return QStringLiteral("VarBytes");
    case AdoType::LongVarBinary:
        return QStringLiteral("Blob");
    case AdoType::GUID:
        return QStringLiteral("Guid");
    case AdoType::Variant:
    case AdoType::PropVariant:
        return QStringLiteral("Variant");
    case AdoType::IDispatch:
        return QStringLiteral("IDispatch");
    case AdoType::IUnknown:
        return QStringLiteral("Interface");
    case AdoType::Chapter:
        return QStringLiteral("DataSet");
    case AdoType::Empty:
        break;
    }
    return QStringLiteral("Unknown");
}

QString fieldTypeName(const FieldInfo &field)
{
    return fieldTypeName(field.type, field.precision, field.scale, field.autoIncrement);
}

bool fieldTypeShowsSize(const QString &typeName)
{
    return typeName == QLatin1String("String") || typeName == QLatin1String("FixedChar") ||
           typeName == QLatin1String("WideString") || typeName == QLatin1String("FixedWideChar");
}

QString fieldSizeText(const FieldInfo &field)
{
    if (field.definedSize > 0 && fieldTypeShowsSize(fieldTypeName(field)))
        return QString::number(field.definedSize);
    return QString();
}
