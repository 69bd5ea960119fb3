#pragma once

// ADO DataTypeEnum: the common type vocabulary every provider maps its native types onto.
enum class AdoType : int {
    Empty = 0,
    SmallInt = 2,
    Integer = 3,
    Single = 4,
    Double = 5,
    Currency = 6,
    Date = 7,
    BSTR = 8,
    IDispatch = 9,
    Error = 10,
    Boolean = 11,
    Variant = 12,
    IUnknown = 13,
    Decimal = 14,
    TinyInt = 16,
    UnsignedTinyInt = 17,
    UnsignedSmallInt = 18,
    UnsignedInt = 19,
    BigInt = 20,
    UnsignedBigInt = 21,
    FileTime = 64,
    GUID = 72,
    Binary = 128,
    Char = 129,
    WChar = 130,
    Numeric = 131,
    DBDate = 133,
    DBTime = 134,
    DBTimeStamp = 135,
    Chapter = 136,
    DBFileTime = 137,
    PropVariant = 138,
    VarNumeric = 139,
    VarChar = 200,
    LongVarChar = 201,
    VarWChar = 202,
    LongVarWChar = 203,
    VarBinary = 204,
    LongVarBinary = 205,
};

// The integer, floating-point and exact decimal types: numbers in every view of a cell (shown
// right-aligned, written as numbers by an export).
constexpr bool isNumberType(AdoType type)
{
    switch (type) {
    case AdoType::SmallInt:
    case AdoType::Integer:
    case AdoType::TinyInt:
    case AdoType::UnsignedTinyInt:
    case AdoType::UnsignedSmallInt:
    case AdoType::UnsignedInt:
    case AdoType::BigInt:
    case AdoType::UnsignedBigInt:
    case AdoType::Single:
    case AdoType::Double:
    case AdoType::Currency:
    case AdoType::Decimal:
    case AdoType::Numeric:
    case AdoType::VarNumeric:
        return true;
    default:
        return false;
    }
}

// The date, time and timestamp types, whose values arrive as the database's ISO text.
constexpr bool isDateTimeType(AdoType type)
{
    switch (type) {
    case AdoType::Date:
    case AdoType::DBDate:
    case AdoType::DBTime:
    case AdoType::DBTimeStamp:
    case AdoType::FileTime:
    case AdoType::DBFileTime:
        return true;
    default:
        return false;
    }
}

// The character types: text of a fixed or varying length, or unbounded.
constexpr bool isCharacterType(AdoType type)
{
    switch (type) {
    case AdoType::BSTR:
    case AdoType::Char:
    case AdoType::WChar:
    case AdoType::VarChar:
    case AdoType::VarWChar:
    case AdoType::LongVarChar:
    case AdoType::LongVarWChar:
        return true;
    default:
        return false;
    }
}
