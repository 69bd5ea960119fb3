#include "query/FieldTypes.h"

#include <QTest>

class TestFieldTypes : public QObject
{
    Q_OBJECT

private slots:
    void typeNames_data();
    void typeNames();
    void sizeShownOnlyForCharacterTypes_data();
    void sizeShownOnlyForCharacterTypes();
};

void TestFieldTypes::typeNames_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("precision");
    QTest::addColumn<int>("scale");
    QTest::addColumn<bool>("autoIncrement");
    QTest::addColumn<QString>("expected");

    struct Row
    {
        AdoType type;
        const char *name;
    };
    const Row plain[] = {
        {AdoType::SmallInt, "Smallint"},
        {AdoType::TinyInt, "Smallint"},
        {AdoType::Integer, "Integer"},
        {AdoType::Error, "Integer"},
        {AdoType::UnsignedInt, "Integer"},
        {AdoType::UnsignedTinyInt, "Word"},
        {AdoType::UnsignedSmallInt, "Word"},
        {AdoType::BigInt, "Largeint"},
        {AdoType::UnsignedBigInt, "Largeint"},
        {AdoType::Single, "Float"},
        {AdoType::Double, "Float"},
        {AdoType::Currency, "BCD"},
        {AdoType::Boolean, "Boolean"},
        {AdoType::Date, "DateTime"},
        {AdoType::FileTime, "DateTime"},
        {AdoType::DBTimeStamp, "DateTime"},
        {AdoType::DBFileTime, "DateTime"},
        {AdoType::DBDate, "Date"},
        {AdoType::DBTime, "Time"},
        {AdoType::Char, "FixedChar"},
        {AdoType::VarChar, "String"},
        {AdoType::LongVarChar, "Memo"},
        {AdoType::WChar, "FixedWideChar"},
        {AdoType::BSTR, "WideString"},
        {AdoType::VarWChar, "WideString"},
        {AdoType::LongVarWChar, "WideMemo"},
        {AdoType::Binary, "Bytes"},
        {AdoType::VarBinary, "VarBytes"},
        {AdoType::LongVarBinary, "Blob"},
        {AdoType::GUID, "Guid"},
        {AdoType::Variant, "Variant"},
        {AdoType::PropVariant, "Variant"},
        {AdoType::IDispatch, "IDispatch"},
        {AdoType::IUnknown, "Interface"},
        {AdoType::Chapter, "DataSet"},
        {AdoType::Empty, "Unknown"},
    };
    for (const Row &row : plain) {
        QTest::addRow("%d", int(row.type))
            << int(row.type) << 0 << 0 << false << QString::fromLatin1(row.name);
    }
    QTest::newRow("value outside the table") << 999 << 0 << 0 << false << "Unknown";
    QTest::newRow("auto-increment integer") << int(AdoType::Integer) << 10 << 0 << true << "AutoInc";
    QTest::newRow("auto-increment unsigned") << int(AdoType::UnsignedInt) << 10 << 0 << true << "AutoInc";
    // Only the Integer family turns into AutoInc.
    QTest::newRow("auto-increment bigint") << int(AdoType::BigInt) << 19 << 0 << true << "Largeint";
    QTest::newRow("auto-increment smallint") << int(AdoType::SmallInt) << 5 << 0 << true << "Smallint";

    const int numeric = int(AdoType::Numeric);
    const int decimal = int(AdoType::Decimal);
    const int varNumeric = int(AdoType::VarNumeric);
    QTest::newRow("numeric(9,0) is Integer") << numeric << 9 << 0 << false << "Integer";
    QTest::newRow("numeric(9,0) identity") << numeric << 9 << 0 << true << "AutoInc";
    QTest::newRow("numeric(10,0)") << numeric << 10 << 0 << false << "BCD";
    QTest::newRow("numeric(10,2)") << numeric << 10 << 2 << false << "BCD";
    QTest::newRow("numeric(9,4)") << numeric << 9 << 4 << false << "BCD";
    QTest::newRow("numeric(9,5)") << numeric << 9 << 5 << false << "FMTBcd";
    QTest::newRow("numeric(19,2)") << numeric << 19 << 2 << false << "BCD";
    QTest::newRow("numeric(20,2)") << numeric << 20 << 2 << false << "FMTBcd";
    QTest::newRow("numeric(20,0)") << numeric << 20 << 0 << false << "FMTBcd";
    QTest::newRow("decimal(9,0) is no Integer") << decimal << 9 << 0 << false << "BCD";
    QTest::newRow("decimal(12,6)") << decimal << 12 << 6 << false << "FMTBcd";
    QTest::newRow("varnumeric(5,0)") << varNumeric << 5 << 0 << false << "BCD";
    QTest::newRow("varnumeric(38,0)") << varNumeric << 38 << 0 << false << "FMTBcd";
}

void TestFieldTypes::typeNames()
{
    QFETCH(int, type);
    QFETCH(int, precision);
    QFETCH(int, scale);
    QFETCH(bool, autoIncrement);
    QFETCH(QString, expected);
    QCOMPARE(fieldTypeName(AdoType(type), precision, scale, autoIncrement), expected);
}

void TestFieldTypes::sizeShownOnlyForCharacterTypes_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<qint64>("definedSize");
    QTest::addColumn<QString>("expected");
    QTest::newRow("String") << int(AdoType::VarChar) << qint64(40) << "40";
    QTest::newRow("FixedChar") << int(AdoType::Char) << qint64(3) << "3";
    QTest::newRow("WideString") << int(AdoType::VarWChar) << qint64(50) << "50";
    QTest::newRow("FixedWideChar") << int(AdoType::WChar) << qint64(2) << "2";
    QTest::newRow("WideString without size") << int(AdoType::VarWChar) << qint64(0) << "";
    QTest::newRow("Integer") << int(AdoType::Integer) << qint64(4) << "";
    QTest::newRow("Memo") << int(AdoType::LongVarChar) << qint64(2147483647) << "";
    QTest::newRow("WideMemo") << int(AdoType::LongVarWChar) << qint64(1073741823) << "";
    QTest::newRow("DateTime") << int(AdoType::DBTimeStamp) << qint64(16) << "";
    QTest::newRow("VarBytes") << int(AdoType::VarBinary) << qint64(16) << "";
}

void TestFieldTypes::sizeShownOnlyForCharacterTypes()
{
    QFETCH(int, type);
    QFETCH(qint64, definedSize);
    QFETCH(QString, expected);
    FieldInfo field;
    field.type = AdoType(type);
    field.definedSize = definedSize;
    QCOMPARE(fieldSizeText(field), expected);
}

QTEST_GUILESS_MAIN(TestFieldTypes)
#include "tst_fieldtypes.moc"
