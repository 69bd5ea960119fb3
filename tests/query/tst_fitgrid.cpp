#include "db/DataAccess.h"
#include "query/GridColumnFit.h"
#include "query/Query.h"
#include "query/ResultGrid.h"
#include "query/ResultModel.h"

#include <QFile>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTest>

class TestFitGrid : public QObject
{
    Q_OBJECT

private slots:
    void spareWidthGoesToTaggedColumns_data();
    void spareWidthGoesToTaggedColumns();
    void taggedColumnFillsTheGrid();
};

void TestFitGrid::spareWidthGoesToTaggedColumns_data()
{
    QTest::addColumn<QList<int>>("widths");
    QTest::addColumn<QList<int>>("tags");
    QTest::addColumn<int>("clientWidth");
    QTest::addColumn<bool>("colLines");
    QTest::addColumn<bool>("indicator");
    QTest::addColumn<QList<int>>("expected");

    // used = 2 + 100 + 50 + 2 lines + 11 = 165; spare 335
    QTest::newRow("one tagged column takes all the spare width")
        << QList<int>{100, 50} << QList<int>{40, 0} << 500 << true << true << QList<int>{435, 50};
    QTest::newRow("without lines and indicator")
        << QList<int>{100, 50} << QList<int>{40, 0} << 500 << false << false << QList<int>{448, 50};
    // used = 2 + 300 + 200 + 2 + 11 = 515; spare -115: 300 would become 185
    QTest::newRow("wider columns shrink the tagged one")
        << QList<int>{300, 200} << QList<int>{60, 0} << 400 << true << true << QList<int>{185, 200};
    QTest::newRow("but not below its tag")
        << QList<int>{300, 200} << QList<int>{250, 0} << 400 << true << true << QList<int>{250, 200};
    // used = 2 + 30 + 30 + 30 + 3 + 11 = 106; spare 101 / 2 = 50 each
    QTest::newRow("spare shared, truncated")
        << QList<int>{30, 30, 30} << QList<int>{10, 0, 10} << 207 << true << true << QList<int>{80, 30, 80};
    // spare -107 / 2 = -53 (toward zero, not -54)
    QTest::newRow("negative share truncates toward zero")
        << QList<int>{100, 100} << QList<int>{1, 1} << 108 << true << true << QList<int>{47, 47};
    QTest::newRow("no tag changes nothing")
        << QList<int>{100, 50} << QList<int>{0, 0} << 900 << true << true << QList<int>{100, 50};
}

void TestFitGrid::spareWidthGoesToTaggedColumns()
{
    QFETCH(QList<int>, widths);
    QFETCH(QList<int>, tags);
    QFETCH(int, clientWidth);
    QFETCH(bool, colLines);
    QFETCH(bool, indicator);
    QFETCH(QList<int>, expected);
    fitColumnWidths(widths, tags, clientWidth, colLines, indicator);
    QCOMPARE(widths, expected);
}

void TestFitGrid::taggedColumnFillsTheGrid()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fit.db"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    Connection connection;
    connection.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
    connection.open();
    Query query(&connection);
    ResultModel model(&query);
    ResultGrid grid;
    grid.setModel(&model);
    grid.resize(600, 200);
    query.setSql(QStringLiteral("SELECT 'orders' AS TableName, 12 AS RowCounts, 3.5 AS SizeKB"));
    QVERIFY(query.run());
    const int others = grid.columnWidth(1) + grid.columnWidth(2);

    fitGridColumns(&grid);
    QCOMPARE(grid.columnWidth(1) + grid.columnWidth(2), others);
    query.setTag(0, 90);
    fitGridColumns(&grid);
    QCOMPARE(2 + grid.columnWidth(0) + others + 3 + ResultGrid::indicatorWidth, gridClientWidth(&grid));
    QVERIFY(gridClientWidth(&grid) < 600);

    grid.resize(150, 200);
    fitGridColumns(&grid);
    QCOMPARE(grid.columnWidth(0), 90);
    QCOMPARE(grid.columnWidth(1) + grid.columnWidth(2), others);
}

QTEST_MAIN(TestFitGrid)
#include "tst_fitgrid.moc"
