// Find in the result grid's cells: next and previous in reading order, round the end, match case,
// through a result whose blocks went to disk and through rows in an order of the grid's own.
#include "common/AppError.h"
#include "db/fetch/RowStore.h"
#include "db/fetch/SpillFile.h"
#include "query/CellFinder.h"

#include <QTemporaryDir>
#include <QTest>

#include <numeric>

namespace {

constexpr int kRows = 40000;

// Row i: id, a name, a note that now and then holds the needle, a double, a flag, and a blob
// holding the needle's bytes (which are never found: binary values are not searched).
void appendRow(RowStore &store, int i)
{
    const QByteArray name = "name " + QByteArray::number(i);
    QByteArray note = i % 997 == 0    ? QByteArray("the needle here")
                      : i % 1009 == 0 ? QByteArray("NEEDLE, loud")
                                      : QByteArray(20 + i % 90, char('a' + i % 13));
    const QByteArray blob = i % 500 == 0 ? QByteArray("needle") : QByteArray(i % 7, '\x01');
    store.beginRow();
    store.addInt(i);
    store.addText(name.constData(), name.size());
    store.addText(note.constData(), note.size());
    store.addDouble(i / 4.0);
    store.addBool(i % 3 == 0);
    store.addBlob(blob.constData(), blob.size());
    store.endRow();
}

// Every matching cell in reading order, by matches() on each cell: what find must walk through.
QList<CellPosition> everyMatch(const RowStore &store, const CellFinder &finder, const std::vector<int> *order)
{
    QList<CellPosition> found;
    for (qint64 row = 0; row < store.rowCount(); ++row) {
        RowStore::CellReader reader(store.rowBytes(order ? (*order)[size_t(row)] : row));
        for (int column = 0; column < store.columnCount(); ++column) {
            reader.read();
            if (finder.matches(reader))
                found.append({row, column});
        }
    }
    return found;
}

} // namespace

class TestCellFinder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void findWalksEveryMatchInReadingOrder_data();
    void findWalksEveryMatchInReadingOrder();
    void aMatchAcrossTwoCellsOrInBinaryIsNoMatch();
    void cancelStopsTheSearch();

private:
    QTemporaryDir m_spillDir;
    std::unique_ptr<RowStore> m_store;
};

void TestCellFinder::initTestCase()
{
    SpillFile::setSpillFolder(m_spillDir.path());
    m_store = std::make_unique<RowStore>(6);
    m_store->setMemoryBudget(0);
    for (int i = 0; i < kRows; ++i)
        appendRow(*m_store, i);
    QVERIFY2(m_store->spilledBytes() > 2 * 1024 * 1024, "the rows must lie in several blocks on disk");
}

void TestCellFinder::cleanupTestCase()
{
    m_store.reset();
    SpillFile::setSpillFolder(QString());
}

void TestCellFinder::findWalksEveryMatchInReadingOrder_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<bool>("reordered");
    QTest::addColumn<int>("expected"); // matches in all, -1 to skip the count
    // 41 notes hold "needle", 39 "NEEDLE".
    QTest::newRow("any case") << "needle" << false << false << 41 + 39;
    QTest::newRow("match case") << "NEEDLE" << true << false << 39;
    QTest::newRow("any case, rows reordered") << "NeEdLe" << false << true << 41 + 39;
    QTest::newRow("a name") << "name 39999" << false << false << 1;
    QTest::newRow("numbers as shown") << "9997" << false << false << -1;
    QTest::newRow("True") << "true" << false << false << (kRows + 2) / 3;
    QTest::newRow("accents, any case") << QStringLiteral(u"ÉCRAN") << false << false << 0;
    QTest::newRow("nothing like it") << "zebra" << false << false << 0;
}

void TestCellFinder::findWalksEveryMatchInReadingOrder()
{
    QFETCH(QString, text);
    QFETCH(bool, matchCase);
    QFETCH(bool, reordered);
    QFETCH(int, expected);
    const CellFinder finder(text, matchCase);
    std::vector<int> order;
    if (reordered) {
        order.resize(kRows);
        std::iota(order.rbegin(), order.rend(), 0);
    }
    const std::vector<int> *view = reordered ? &order : nullptr;
    const QList<CellPosition> all = everyMatch(*m_store, finder, view);
    if (expected >= 0)
        QCOMPARE(all.size(), expected);
    if (text == QLatin1String("9997")) {
        // The id 9997, the name "name 9997" and the double 39988 / 4 = 9997.
        QVERIFY(all.contains(CellPosition{9997, 0}));
        QVERIFY(all.contains(CellPosition{9997, 1}));
        QVERIFY(all.contains(CellPosition{39988, 3}));
    }

    // Next from before the first cell, then from each match, and once more round to the first.
    CellPosition at;
    QList<CellPosition> walked;
    for (qsizetype i = 0; i <= all.size() && i < 200; ++i) {
        const std::optional<CellPosition> next = finder.find(*m_store, kRows, view, at, false);
        if (!next)
            break;
        walked.append(*next);
        at = *next;
    }
    if (all.isEmpty()) {
        QVERIFY(walked.isEmpty());
        return;
    }
    const qsizetype n = qMin<qsizetype>(all.size(), 200);
    QCOMPARE(walked.mid(0, n), all.mid(0, n));
    if (all.size() < 200)
        QCOMPARE(walked.last(), all.first());

    // Previous from after the last cell, then backwards, round to the last.
    at = CellPosition{};
    QList<CellPosition> back;
    for (qsizetype i = 0; i <= all.size() && i < 200; ++i) {
        const std::optional<CellPosition> previous = finder.find(*m_store, kRows, view, at, true);
        QVERIFY(previous);
        back.append(*previous);
        at = *previous;
    }
    QList<CellPosition> reversed(all.rbegin(), all.rend());
    QCOMPARE(back.mid(0, n), reversed.mid(0, n));
    if (all.size() < 200)
        QCOMPARE(back.last(), all.last());
    // A single match is found again from itself.
    if (all.size() == 1)
        QCOMPARE(finder.find(*m_store, kRows, view, all.first(), false),
                 std::optional<CellPosition>(all.first()));
}

void TestCellFinder::aMatchAcrossTwoCellsOrInBinaryIsNoMatch()
{
    RowStore store(3);
    store.beginRow();
    store.addText("ab", 2);
    store.addText("cd", 2);
    store.addBlob("abcd", 4);
    store.endRow();
    store.beginRow();
    store.addText("xx", 2);
    store.addText("xabcdx", 6);
    store.addNull();
    store.endRow();
    const CellFinder finder(QStringLiteral("abcd"), true);
    QCOMPARE(finder.find(store, 2, nullptr, CellPosition{}, false),
             std::optional<CellPosition>(CellPosition{1, 1}));
    QCOMPARE(finder.find(store, 2, nullptr, CellPosition{1, 1}, false),
             std::optional<CellPosition>(CellPosition{1, 1}));
    // Only the rows shown are searched.
    QCOMPARE(finder.find(store, 1, nullptr, CellPosition{}, false), std::nullopt);
}

void TestCellFinder::cancelStopsTheSearch()
{
    const std::atomic<bool> cancelled{true};
    const CellFinder finder(QStringLiteral("zebra"), false);
    QVERIFY_THROWS_EXCEPTION(AppError,
                             finder.find(*m_store, kRows, nullptr, CellPosition{}, false, &cancelled));
}

QTEST_GUILESS_MAIN(TestCellFinder)
#include "tst_cellfinder.moc"
