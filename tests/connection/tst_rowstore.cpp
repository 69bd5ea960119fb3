#include "connection/dataaccess/RowStore.h"

#include <QTest>

#include <limits>

class TestRowStore : public QObject
{
    Q_OBJECT

private slots:
    void everyKindRoundTrips();
    void emptyTextIsNotNull();
    void invalidUtf8IsKeptAndDecodedWithReplacement();
    void largeTextRoundTrips();
    void rowsOfMixedSizesStayWhole();
    void editsReplaceAppendAndRemoveRows();
    void variantsOfEveryTypeAreStored_data();
    void variantsOfEveryTypeAreStored();
    void shortRowsArePaddedWithNulls();
    void outOfRangeCellsReadAsNull();
    void memoryStaysCloseToThePayload();
};

void TestRowStore::everyKindRoundTrips()
{
    RowStore store(7);
    const QByteArray blob("\x00\x01\xff", 3);
    store.beginRow();
    store.addNull();
    store.addInt(std::numeric_limits<qint64>::min());
    store.addDouble(-2.5e300);
    store.addBool(true);
    store.addText("h\xc3\xa9llo", 6);
    store.addBlob(blob.constData(), blob.size());
    store.addInt(-1);
    store.endRow();
    store.beginRow();
    store.addInt(std::numeric_limits<qint64>::max());
    store.addInt(0);
    store.addDouble(0.1);
    store.addBool(false);
    store.addText("", 0);
    store.addBlob("", 0);
    store.addNull();
    store.endRow();

    QCOMPARE(store.rowCount(), 2);
    QCOMPARE(store.kind(0, 0), RowStore::CellKind::Null);
    QVERIFY(!store.value(0, 0).isValid());
    QCOMPARE(store.value(0, 1).toLongLong(), std::numeric_limits<qint64>::min());
    QCOMPARE(store.value(0, 1).typeId(), QMetaType::LongLong);
    QCOMPARE(store.value(0, 2).toDouble(), -2.5e300);
    QCOMPARE(store.value(0, 3).typeId(), QMetaType::Bool);
    QCOMPARE(store.value(0, 3).toBool(), true);
    QCOMPARE(store.value(0, 4).toString(), QStringLiteral("héllo"));
    QCOMPARE(store.payloadSize(0, 4), 6);
    QCOMPARE(store.value(0, 5).toByteArray(), blob);
    QCOMPARE(store.kind(0, 5), RowStore::CellKind::Blob);
    QCOMPARE(store.value(0, 6).toLongLong(), -1);
    QCOMPARE(store.value(1, 0).toLongLong(), std::numeric_limits<qint64>::max());
    QCOMPARE(store.value(1, 1).toLongLong(), 0);
    QCOMPARE(store.value(1, 2).toDouble(), 0.1);
    QCOMPARE(store.value(1, 3).toBool(), false);
    QCOMPARE(store.kind(1, 3), RowStore::CellKind::Bool);
    QCOMPARE(store.payloadSize(1, 1), 0);
    QVERIFY(!store.value(1, 6).isValid());
}

void TestRowStore::emptyTextIsNotNull()
{
    RowStore store(3);
    store.beginRow();
    store.addText("", 0);
    store.addNull();
    store.addBlob("", 0);
    store.endRow();
    const QVariant empty = store.value(0, 0);
    QCOMPARE(empty.typeId(), QMetaType::QString);
    QVERIFY(!empty.isNull());
    QVERIFY(!empty.toString().isNull());
    QCOMPARE(store.kind(0, 0), RowStore::CellKind::Text);
    QVERIFY(store.value(0, 1).isNull());
    QCOMPARE(store.kind(0, 1), RowStore::CellKind::Null);
    QCOMPARE(store.value(0, 2).typeId(), QMetaType::QByteArray);
    QVERIFY(!store.value(0, 2).isNull());
}

void TestRowStore::invalidUtf8IsKeptAndDecodedWithReplacement()
{
    RowStore store(1);
    const QByteArray bad("ab\xff\xfe"
                         "c",
                         5);
    store.beginRow();
    store.addText(bad.constData(), bad.size());
    store.endRow();
    QCOMPARE(store.payload(0, 0).toByteArray(), bad);
    const QString text = store.value(0, 0).toString();
    QVERIFY(text.startsWith(QStringLiteral("ab")));
    QVERIFY(text.endsWith(u'c'));
    QVERIFY(text.contains(QChar(QChar::ReplacementCharacter)));
}

void TestRowStore::largeTextRoundTrips()
{
    RowStore store(2);
    QByteArray big(1024 * 1024, 'x');
    big[0] = 'a';
    big[big.size() - 1] = 'z';
    store.beginRow();
    store.addText(big.constData(), big.size());
    store.addInt(7);
    store.endRow();
    QCOMPARE(store.payloadSize(0, 0), big.size());
    QCOMPARE(store.value(0, 0).toString().toUtf8(), big);
    // The cell after a long varint length is still found.
    QCOMPARE(store.value(0, 1).toLongLong(), 7);
}

void TestRowStore::rowsOfMixedSizesStayWhole()
{
    // Rows of every length, some larger than the storage's blocks, interleaved with edits.
    RowStore store(3);
    const auto textOf = [](int i) {
        const int length = i % 300 == 299 ? 1536 * 1024 + i : (i * 37) % 5000;
        return QByteArray(length, char('a' + i % 26));
    };
    const int rows = 2000;
    for (int i = 0; i < rows; ++i) {
        const QByteArray text = textOf(i);
        store.beginRow();
        store.addInt(i);
        store.addText(text.constData(), text.size());
        store.addBlob(text.constData(), i % 7);
        store.endRow();
        if (i % 500 == 250)
            store.setRow(i / 2, {-i, QStringLiteral("edited"), QVariant()});
    }
    QCOMPARE(store.rowCount(), rows);
    for (int i = 0; i < rows; ++i) {
        const bool edited = i * 2 < rows && (i * 2) % 500 == 250; // rows 125, 375, 625, 875
        if (edited) {
            QCOMPARE(store.value(i, 0).toLongLong(), -2 * i);
            QCOMPARE(store.value(i, 1).toString(), QStringLiteral("edited"));
            continue;
        }
        QCOMPARE(store.value(i, 0).toLongLong(), i);
        QCOMPARE(store.payload(i, 1).size(), textOf(i).size());
        QCOMPARE(store.payload(i, 1).toByteArray(), textOf(i));
        QCOMPARE(store.payloadSize(i, 2), i % 7);
    }

    RowStore empty(0);
    empty.beginRow();
    empty.endRow();
    empty.appendRow({});
    QCOMPARE(empty.rowCount(), 2);
    QVERIFY(empty.value(0, 0).isNull());
}

void TestRowStore::editsReplaceAppendAndRemoveRows()
{
    RowStore store(2);
    for (int i = 0; i < 4; ++i)
        store.appendRow({i, QStringLiteral("row %1").arg(i)});
    QCOMPARE(store.rowCount(), 4);

    store.setRow(1, {QVariant(), QStringLiteral("a much longer replacement text than before")});
    QVERIFY(store.value(1, 0).isNull());
    QCOMPARE(store.value(1, 1).toString(), QStringLiteral("a much longer replacement text than before"));
    // Neighbours are untouched by a replacement that changed the row's length.
    QCOMPARE(store.value(0, 1).toString(), QStringLiteral("row 0"));
    QCOMPARE(store.value(2, 1).toString(), QStringLiteral("row 2"));

    store.setRow(1, {11, QStringLiteral("again")});
    QCOMPARE(store.rowValues(1), (QList<QVariant>{qlonglong(11), QStringLiteral("again")}));

    store.removeRow(0);
    QCOMPARE(store.rowCount(), 3);
    QCOMPARE(store.value(0, 1).toString(), QStringLiteral("again"));
    QCOMPARE(store.value(2, 1).toString(), QStringLiteral("row 3"));

    store.appendRow({99, QStringLiteral("new")});
    QCOMPARE(store.rowCount(), 4);
    QCOMPARE(store.value(3, 0).toLongLong(), 99);
    store.removeRow(3);
    store.removeRow(0);
    QCOMPARE(store.rowCount(), 2);
    QCOMPARE(store.value(0, 1).toString(), QStringLiteral("row 2"));
}

void TestRowStore::variantsOfEveryTypeAreStored_data()
{
    QTest::addColumn<QVariant>("in");
    QTest::addColumn<QVariant>("out");
    QTest::newRow("invalid") << QVariant() << QVariant();
    QTest::newRow("typed null") << QVariant(QMetaType::fromType<QString>()) << QVariant();
    QTest::newRow("int") << QVariant(42) << QVariant(qlonglong(42));
    QTest::newRow("uint64 max") << QVariant(std::numeric_limits<qulonglong>::max())
                                << QVariant(double(std::numeric_limits<qulonglong>::max()));
    QTest::newRow("bool") << QVariant(true) << QVariant(true);
    QTest::newRow("double") << QVariant(1.25) << QVariant(1.25);
    QTest::newRow("text") << QVariant(QStringLiteral("ü")) << QVariant(QStringLiteral("ü"));
    QTest::newRow("bytes") << QVariant(QByteArray("\0a", 2)) << QVariant(QByteArray("\0a", 2));
    QTest::newRow("date") << QVariant(QDate(2024, 2, 29)) << QVariant(QStringLiteral("2024-02-29"));
    QTest::newRow("date time") << QVariant(QDateTime(QDate(2024, 2, 29), QTime(13, 5, 7)))
                               << QVariant(QStringLiteral("2024-02-29 13:05:07.000"));
}

void TestRowStore::variantsOfEveryTypeAreStored()
{
    QFETCH(QVariant, in);
    QFETCH(QVariant, out);
    RowStore store(1);
    store.appendRow({in});
    const QVariant value = store.value(0, 0);
    QCOMPARE(value.isValid(), out.isValid());
    if (out.isValid()) {
        QCOMPARE(value.typeId(), out.typeId());
        QCOMPARE(value, out);
    }
}

void TestRowStore::shortRowsArePaddedWithNulls()
{
    RowStore store(3);
    store.beginRow();
    store.addInt(1);
    store.endRow();
    store.appendRow({1, 2, 3, 4});
    store.beginRow();
    store.addInt(5);
    store.addInt(6);
    store.addInt(7);
    store.addInt(8); // one too many
    store.endRow();
    QCOMPARE(store.rowCount(), 3);
    QVERIFY(store.value(0, 2).isNull());
    QCOMPARE(store.value(1, 2).toInt(), 3);
    QCOMPARE(store.value(2, 2).toInt(), 7);
}

void TestRowStore::outOfRangeCellsReadAsNull()
{
    RowStore store(1);
    store.appendRow({1});
    QVERIFY(store.value(1, 0).isNull());
    QVERIFY(store.value(-1, 0).isNull());
    QVERIFY(store.value(0, 1).isNull());
    QCOMPARE(store.kind(5, 5), RowStore::CellKind::Null);
    store.removeRow(7);
    store.setRow(7, {1});
    QCOMPARE(store.rowCount(), 1);
}

void TestRowStore::memoryStaysCloseToThePayload()
{
    RowStore store(4);
    const QByteArray text(20, 't');
    for (int i = 0; i < 100000; ++i) {
        store.beginRow();
        store.addInt(i);
        store.addText(text.constData(), text.size());
        store.addNull();
        store.addDouble(i * 0.5);
        store.endRow();
    }
    // About 40 bytes of cells and 8 of offset per row; allow for the buffers' growth.
    QVERIFY2(store.memoryUsage() < 100000 * 48 * 2, qPrintable(QString::number(store.memoryUsage())));
    QCOMPARE(store.value(99999, 0).toLongLong(), 99999);
    QCOMPARE(store.value(99999, 3).toDouble(), 99999 * 0.5);
}

QTEST_GUILESS_MAIN(TestRowStore)
#include "tst_rowstore.moc"
