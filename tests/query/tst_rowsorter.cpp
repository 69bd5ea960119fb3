// The grid's own sort: values ordered by their type as the databases order them, stable, by several
// columns, cancellable.
#include "ExportReader.h"

#include "common/AppError.h"
#include "db/fetch/RowStore.h"
#include "query/RowSorter.h"
#include "query/ValueOrder.h"

#include <QTest>

#include <numeric>

Q_DECLARE_METATYPE(AdoType)

namespace {

Cell utf8(const char *bytes)
{
    return Text{QByteArray(bytes)};
}

// One column of cells, each row tagged with its number in a second column.
std::unique_ptr<RowStore> column(const QList<Cell> &cells)
{
    auto store = std::make_unique<RowStore>(2);
    QList<QList<Cell>> rows;
    for (qsizetype i = 0; i < cells.size(); ++i)
        rows.append({cells[i], qint64(i)});
    feedRows(*store, rows);
    return store;
}

std::vector<int> all(const RowStore &store)
{
    std::vector<int> order(size_t(store.rowCount()));
    std::iota(order.begin(), order.end(), 0);
    return order;
}

} // namespace

class TestRowSorter : public QObject
{
    Q_OBJECT

private slots:
    void valuesAreOrderedByTheirType_data();
    void valuesAreOrderedByTheirType();
    void instantsAreReadAsTheDatabasesWriteThem_data();
    void instantsAreReadAsTheDatabasesWriteThem();
    void sortIsStableAndTakesSeveralColumns();
    void cancelStopsTheSort();
};

void TestRowSorter::valuesAreOrderedByTheirType_data()
{
    QTest::addColumn<AdoType>("type");
    QTest::addColumn<QList<Cell>>("cells");
    QTest::addColumn<QString>("collation");
    QTest::addColumn<bool>("nullsLargest");
    QTest::addColumn<bool>("descending");
    // The rows (by their position in cells) in the order expected.
    QTest::addColumn<QList<int>>("expected");

    const QList<Cell> integers = {qint64(10), Cell(), qint64(-3), qint64(2), Cell()};
    QTest::newRow("integers, NULL first as SQLite and MySQL put it")
        << AdoType::Integer << integers << "C" << false << false << QList<int>{1, 4, 2, 3, 0};
    QTest::newRow("descending, NULL last")
        << AdoType::Integer << integers << "C" << false << true << QList<int>{0, 3, 2, 1, 4};
    QTest::newRow("PostgreSQL puts NULL last")
        << AdoType::Integer << integers << "C" << true << false << QList<int>{2, 3, 0, 1, 4};
    QTest::newRow("PostgreSQL descending puts NULL first")
        << AdoType::Integer << integers << "C" << true << true << QList<int>{1, 4, 0, 3, 2};
    QTest::newRow("integers beyond a double's digits")
        << AdoType::BigInt << QList<Cell>{qint64(9007199254740993), qint64(9007199254740992)} << "C" << false
        << false << QList<int>{1, 0};

    // Exact decimals arrive as text; their digits decide where doubles cannot.
    QTest::newRow("numbers as text in a decimal column")
        << AdoType::Numeric
        << QList<Cell>{utf8("10"),   utf8("9"),  utf8("-1.5"), utf8("100.25"), utf8("9.00000000000000000001"),
                       utf8("-0.0"), utf8("NaN")}
        << "C" << false << false << QList<int>{2, 5, 1, 4, 0, 3, 6};
    QTest::newRow("numbers as text in a text column stay text")
        << AdoType::VarWChar << QList<Cell>{utf8("10"), utf8("9"), utf8("100")} << "C" << false << false
        << QList<int>{0, 2, 1};
    QTest::newRow("kinds mixed in one column, as SQLite orders them")
        << AdoType::Empty
        << QList<Cell>{utf8("9"), Blob{QByteArray("\x01", 1)}, qint64(10), Cell(), 2.5, true} << "C" << false
        << false << QList<int>{3, 5, 4, 2, 0, 1};
    QTest::newRow("doubles and integers compare as numbers")
        << AdoType::Double << QList<Cell>{2.5, qint64(2), -0.5, qint64(3)} << "C" << false << false
        << QList<int>{2, 1, 0, 3};

    const QList<Cell> words = {utf8("b"), utf8("a"), utf8("B"),       utf8("\xc3\xa9"),
                               utf8("e"), utf8("f"), utf8("\xc3\x81")};
    // b a B é e f Á
    QTest::newRow("accents and case, C collation: code point order")
        << AdoType::VarWChar << words << "C" << false << false << QList<int>{2, 1, 0, 4, 5, 6, 3};
    QTest::newRow("accents and case, pt_BR collation")
        << AdoType::VarWChar << words << "pt_BR" << false << false << QList<int>{1, 6, 0, 2, 4, 3, 5};
    QTest::newRow("pt_BR descending")
        << AdoType::VarWChar << words << "pt_BR" << false << true << QList<int>{5, 3, 4, 2, 0, 6, 1};
    QTest::newRow("binary values byte by byte")
        << AdoType::VarBinary
        << QList<Cell>{Blob{QByteArray("\x02", 1)}, Blob{QByteArray("\x01\xff", 2)},
                       Blob{QByteArray("\x01", 1)}}
        << "C" << false << false << QList<int>{2, 1, 0};
}

void TestRowSorter::valuesAreOrderedByTheirType()
{
    QFETCH(AdoType, type);
    QFETCH(QList<Cell>, cells);
    QFETCH(QString, collation);
    QFETCH(bool, nullsLargest);
    QFETCH(bool, descending);
    QFETCH(QList<int>, expected);

    const std::unique_ptr<RowStore> store = column(cells);
    const QList<FieldInfo> fields = {field(QStringLiteral("v"), type),
                                     field(QStringLiteral("n"), AdoType::Integer)};
    const SortRules rules{QLocale(collation), nullsLargest};
    const std::vector<int> sorted = sortRows(*store, fields, all(*store), {SortColumn{0, descending}}, rules);
    QCOMPARE(QList<int>(sorted.begin(), sorted.end()), expected);
}

void TestRowSorter::instantsAreReadAsTheDatabasesWriteThem_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("seconds"); // from 1970-01-01 00:00 UTC; LLONG_MIN for none
    const qint64 none = std::numeric_limits<qint64>::min();
    QTest::newRow("date") << QByteArray("2024-03-05") << qint64(1709596800);
    QTest::newRow("timestamp") << QByteArray("2024-03-05 14:07:09") << qint64(1709647629);
    QTest::newRow("ISO with T and Z") << QByteArray("2024-03-05T14:07:09Z") << qint64(1709647629);
    QTest::newRow("offset hours") << QByteArray("2024-03-05 16:07:09+02") << qint64(1709647629);
    QTest::newRow("offset with minutes, SQL Server's blank")
        << QByteArray("2024-03-05 08:37:09.0000000 -05:30") << qint64(1709647629);
    QTest::newRow("before 1970") << QByteArray("1969-12-31 23:59:59") << qint64(-1);
    QTest::newRow("BC year") << QByteArray("0001-01-01 BC") << qint64(-62167219200);
    QTest::newRow("MySQL zero date before its year") << QByteArray("0000-00-00") << qint64(-62167305600);
    QTest::newRow("time of day") << QByteArray("14:07:09") << qint64(50829);
    QTest::newRow("duration past a day") << QByteArray("838:59:59") << qint64(3020399);
    QTest::newRow("negative duration") << QByteArray("-01:00:00") << qint64(-3600);
    QTest::newRow("words are no date") << QByteArray("tomorrow") << none;
    QTest::newRow("month 13 is no date") << QByteArray("2024-13-01") << none;
}

void TestRowSorter::instantsAreReadAsTheDatabasesWriteThem()
{
    QFETCH(QByteArray, text);
    QFETCH(qint64, seconds);
    const std::optional<qint64> micros = valueorder::parseInstant(text);
    if (seconds == std::numeric_limits<qint64>::min()) {
        QVERIFY(!micros);
        return;
    }
    QVERIFY(micros);
    QCOMPARE(*micros / 1000000, seconds);

    // In a column of dates: unreadable text after every date, infinities at the ends.
    const std::unique_ptr<RowStore> store = column(
        {Text{text}, utf8("infinity"), utf8("-infinity"), utf8("not a date"), utf8("1970-01-01 00:00:00.5")});
    const QList<FieldInfo> fields = {field(QStringLiteral("d"), AdoType::DBTimeStamp),
                                     field(QStringLiteral("n"), AdoType::Integer)};
    const std::vector<int> sorted =
        sortRows(*store, fields, all(*store), {SortColumn{0, false}}, SortRules{});
    QCOMPARE(sorted.front(), 2);
    QCOMPARE(sorted[3], 1);
    QCOMPARE(sorted.back(), 3);
    QCOMPARE(sorted[1] == 0, seconds <= 0);
}

void TestRowSorter::sortIsStableAndTakesSeveralColumns()
{
    RowStore store(3);
    // group, name, original position
    feedRows(store, {{qint64(2), utf8("x"), qint64(0)},
                     {qint64(1), utf8("b"), qint64(1)},
                     {qint64(2), utf8("y"), qint64(2)},
                     {qint64(1), utf8("b"), qint64(3)},
                     {qint64(1), utf8("a"), qint64(4)},
                     {qint64(2), utf8("x"), qint64(5)}});
    const QList<FieldInfo> fields = {field(QStringLiteral("g"), AdoType::Integer),
                                     field(QStringLiteral("name"), AdoType::VarWChar),
                                     field(QStringLiteral("n"), AdoType::Integer)};
    std::vector<int> sorted = sortRows(store, fields, all(store), {{0, false}, {1, true}}, SortRules{});
    QCOMPARE(QList<int>(sorted.begin(), sorted.end()), (QList<int>{1, 3, 4, 2, 0, 5}));
    // Equal rows keep the order they are given in, also when that is not the stored one.
    sorted = sortRows(store, fields, {5, 4, 3, 2, 1, 0}, {{1, false}}, SortRules{});
    QCOMPARE(QList<int>(sorted.begin(), sorted.end()), (QList<int>{4, 3, 1, 5, 0, 2}));
}

void TestRowSorter::cancelStopsTheSort()
{
    RowStore store(1);
    QList<QList<Cell>> rows;
    for (int i = 0; i < 10000; ++i)
        rows.append(QList<Cell>{qint64((i * 7919) % 10007)});
    feedRows(store, rows);
    const std::atomic<bool> cancelled{true};
    QVERIFY_THROWS_EXCEPTION(AppError, sortRows(store, {field(QStringLiteral("v"), AdoType::Integer)},
                                                all(store), {{0, false}}, SortRules{}, &cancelled));
}

QTEST_GUILESS_MAIN(TestRowSorter)
#include "tst_rowsorter.moc"
