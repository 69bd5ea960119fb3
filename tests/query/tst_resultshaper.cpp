// Who sorts and filters the result on show: the grid for a complete result in memory, the
// database (the statement run again, wrapped) for one that is large, spilled or still arriving,
// and what happens when neither can.
#include "PacedBackend.h"

#include "db/DataAccess.h"
#include "db/fetch/RowStore.h"
#include "query/Query.h"
#include "query/ResultModel.h"
#include "query/ResultShaper.h"
#include "query/RowEditor.h"
#include "shell/Language.h"
#include "shell/texts/UiTexts.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestResultShaper : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void completeResultIsSortedInTheGrid();
    void largeResultIsSortedByTheDatabase();
    void spilledResultGoesToTheDatabaseOrIsRefused();
    void arrivingRowsAreSortedByTheDatabaseOrWaitedFor();
    void refreshKeepsTheShapeANewStatementDropsIt();
    void filtersAndTheirCountHereAndByTheDatabase();
    void filterThatDoesNotFitItsColumnChangesNothing();
    void editsInASortedViewReachTheirOwnRows();

private:
    void openSqlite(bool streaming = false);
    void run(const QString &sql);
    QList<qint64> ids() const;
    const GridTexts &texts() const { return uiTexts().grid; }

    QTemporaryDir m_dir;
    PacedBackend *m_paced = nullptr;
    std::unique_ptr<Connection> m_conn;
    std::unique_ptr<Query> m_query;
    std::unique_ptr<ResultModel> m_model;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
    ResultShaper *m_shaper = nullptr;
    QStringList m_errors;
};

void TestResultShaper::init()
{
    m_conn = std::make_unique<Connection>();
    m_errors.clear();
}

void TestResultShaper::cleanup()
{
    if (m_paced)
        m_paced->allow(m_paced->total());
    m_tester.reset();
    m_model.reset();
    m_query.reset();
    m_conn.reset();
    m_paced = nullptr;
    RowStore::setDefaultMemoryBudget(256ll * 1024 * 1024);
}

void TestResultShaper::openSqlite(bool streaming)
{
    const QString path = m_dir.filePath(QStringLiteral("shape.db"));
    QFile::remove(path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    m_conn->setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
    m_conn->open();
    m_conn->execute(QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, score REAL)"));
    m_conn->execute(
        QStringLiteral("INSERT INTO t VALUES (1, 'delta', 2), (2, 'alpha', NULL), (3, 'Charlie', 7.5), "
                       "(4, 'bravo', 2), (5, 'echo', -1), (6, 'alpha', 3)"));
    m_query = std::make_unique<Query>(m_conn.get());
    m_query->setStreaming(streaming);
    m_query->setFirstRowsMs(0);
    m_model = std::make_unique<ResultModel>(m_query.get());
    m_model->editor()->setErrorHandler([this](const QString &text) { m_errors.append(text); });
    m_tester = std::make_unique<QAbstractItemModelTester>(
        m_model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    m_shaper = m_model->shaper();
    m_shaper->setCollation(QLocale::c());
}

void TestResultShaper::run(const QString &sql)
{
    m_query->setSql(sql);
    QVERIFY(m_query->run());
}

QList<qint64> TestResultShaper::ids() const
{
    QList<qint64> out;
    for (int row = 0; row < m_model->rowCount(); ++row)
        out.append(m_model->index(row, 0).data(Qt::EditRole).toLongLong());
    return out;
}

void TestResultShaper::completeResultIsSortedInTheGrid()
{
    openSqlite();
    run(QStringLiteral("SELECT * FROM t"));
    const QString statement = m_query->runningSql();
    QVERIFY(m_shaper->sortBy(1, false));
    QCOMPARE(m_shaper->site(), ResultShaper::Site::Grid);
    QCOMPARE(ids(), (QList<qint64>{3, 2, 6, 4, 1, 5})); // C collation: 'Charlie' first
    QCOMPARE(m_query->runningSql(), statement);         // nothing ran again
    QVERIFY(m_shaper->sortBy(1, false));
    QCOMPARE(m_shaper->sort(), (QList<SortColumn>{{1, true}}));
    QCOMPARE(ids(), (QList<qint64>{5, 1, 4, 2, 6, 3}));
    // Shift+click adds a column: names descending, then score ascending (NULL first on SQLite).
    QVERIFY(m_shaper->sortBy(2, true));
    QCOMPARE(ids(), (QList<qint64>{5, 1, 4, 2, 6, 3}));
    QVERIFY(m_shaper->setSort({{1, false}, {2, true}}));
    QCOMPARE(ids(), (QList<qint64>{3, 6, 2, 4, 1, 5}));
    // A click without Shift on a sorted column starts over with it alone; the third click ends the sort.
    QVERIFY(m_shaper->sortBy(2, false));
    QCOMPARE(ids(), (QList<qint64>{2, 5, 1, 4, 6, 3}));
    QVERIFY(m_shaper->sortBy(2, false));
    QVERIFY(m_shaper->sortBy(2, false));
    QCOMPARE(m_shaper->site(), ResultShaper::Site::None);
    QCOMPARE(ids(), (QList<qint64>{1, 2, 3, 4, 5, 6}));
    QVERIFY(!m_model->editor()->hasView());
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(u'\n')));
}

void TestResultShaper::largeResultIsSortedByTheDatabase()
{
    openSqlite();
    m_shaper->setLargeRows(3);
    run(QStringLiteral("SELECT id, name FROM t -- every row"));
    QVERIFY(m_shaper->sortBy(1, false));
    QCOMPARE(m_shaper->site(), ResultShaper::Site::Database);
    QVERIFY2(m_query->runningSql().startsWith(
                 QLatin1String("SELECT * FROM (\nSELECT id, name FROM t -- every row\n)")),
             qPrintable(m_query->runningSql()));
    QVERIFY(m_query->runningSql().endsWith(QLatin1String("ORDER BY name")));
    QCOMPARE(ids(), (QList<qint64>{3, 2, 6, 4, 1, 5}));
    QVERIFY(!m_model->editor()->hasView());
    QVERIFY(m_shaper->sortBy(1, false));
    QCOMPARE(ids(), (QList<qint64>{5, 1, 4, 2, 6, 3}));
    // The original order is the statement's own, run again.
    QVERIFY(m_shaper->sortBy(1, false));
    QCOMPARE(m_shaper->site(), ResultShaper::Site::None);
    QCOMPARE(m_query->runningSql(), m_query->sql());
    QCOMPARE(ids(), (QList<qint64>{1, 2, 3, 4, 5, 6}));
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(u'\n')));
}

void TestResultShaper::spilledResultGoesToTheDatabaseOrIsRefused()
{
    openSqlite();
    RowStore::setDefaultMemoryBudget(0);
    // Enough rows to fill a block, so that one goes to disk.
    m_conn->execute(
        QStringLiteral("WITH RECURSIVE c(i) AS (SELECT 7 UNION ALL SELECT i + 1 FROM c WHERE i < 3000) "
                       "INSERT INTO t SELECT i, 'name ' || i, i FROM c"));
    run(QStringLiteral("SELECT * FROM t"));
    QVERIFY(m_query->recordset()->rows().spilledBytes() > 0);
    QVERIFY(m_shaper->sortBy(0, false));
    QVERIFY(m_shaper->sortBy(0, false));
    QCOMPARE(m_shaper->site(), ResultShaper::Site::Database);
    QCOMPARE(m_model->index(0, 0).data(Qt::EditRole).toLongLong(), 3000);

    // A text of two statements cannot be run inside another: neither can sort it.
    run(QStringLiteral("SELECT 1; SELECT * FROM t"));
    QVERIFY(m_query->recordset()->rows().spilledBytes() > 0);
    QSignalSpy changed(m_shaper, &ResultShaper::shapeChanged);
    QVERIFY(!m_shaper->sortBy(1, false));
    QCOMPARE(m_shaper->site(), ResultShaper::Site::None);
    QCOMPARE(m_shaper->refusalColumn(), 1);
    QCOMPARE(m_shaper->refusal(),
             texts().cannotSort.arg(texts().reasonSpilled.arg(texts().reasonNotOneStatement)));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(m_model->index(0, 0).data(Qt::EditRole).toLongLong(), 1);
}

void TestResultShaper::arrivingRowsAreSortedByTheDatabaseOrWaitedFor()
{
    auto backend = std::make_unique<PacedBackend>(500);
    m_paced = backend.get();
    m_conn->openWith(std::move(backend));
    m_query = std::make_unique<Query>(m_conn.get());
    m_query->setStreaming(true);
    m_query->setFirstRowsMs(0);
    m_model = std::make_unique<ResultModel>(m_query.get());
    m_model->editor()->setErrorHandler([this](const QString &text) { m_errors.append(text); });
    m_tester = std::make_unique<QAbstractItemModelTester>(
        m_model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    m_shaper = m_model->shaper();

    m_paced->allow(10);
    run(QStringLiteral("SELECT id, name FROM t"));
    QVERIFY(m_query->isFetching());
    // Still arriving: the database sorts; the fetch running is cancelled for it.
    QVERIFY(m_shaper->sortBy(1, true));
    QCOMPARE(m_shaper->site(), ResultShaper::Site::Database);
    const QStringList log = m_paced->log();
    QVERIFY2(
        log.contains(QStringLiteral("open SELECT * FROM (\nSELECT id, name FROM t\n) AS q ORDER BY name")),
        qPrintable(log.join(u'\n')));

    // Not a plain read: the grid waits for the last row (in the work runner) and sorts then.
    m_paced->allow(m_paced->total());
    run(QStringLiteral("SELECT id, name FROM t; -- twice\nSELECT id, name FROM t"));
    QVERIFY(m_shaper->sortBy(0, false));
    QVERIFY(m_shaper->sortBy(0, false));
    QVERIFY(!m_query->isFetching());
    QCOMPARE(m_shaper->site(), ResultShaper::Site::Grid);
    QCOMPARE(m_model->rowCount(), 500);
    QCOMPARE(m_model->index(0, 0).data(Qt::EditRole).toLongLong(), 500);
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(u'\n')));
}

void TestResultShaper::refreshKeepsTheShapeANewStatementDropsIt()
{
    openSqlite(true);
    run(QStringLiteral("SELECT * FROM t"));
    QTRY_VERIFY(!m_query->isFetching());
    QVERIFY(m_shaper->sortBy(1, false));
    QCOMPARE(m_shaper->site(), ResultShaper::Site::Grid);
    m_conn->execute(QStringLiteral("INSERT INTO t VALUES (7, 'aardvark', 0)"));
    // Refresh: the grid sorts the new rows once they are all in; none shows unsorted meanwhile.
    QVERIFY(m_model->editor()->refresh());
    QVERIFY(m_model->rowCount() == 0 || ids().first() == 3);
    QTRY_COMPARE(ids(), (QList<qint64>{3, 7, 2, 6, 4, 1, 5}));
    QCOMPARE(m_shaper->sort(), (QList<SortColumn>{{1, false}}));

    // The database's sort is kept by running its statement again.
    m_shaper->setLargeRows(0);
    QVERIFY(m_shaper->sortBy(1, false));
    QCOMPARE(m_shaper->site(), ResultShaper::Site::Database);
    QVERIFY(m_model->editor()->refresh());
    QTRY_VERIFY(!m_query->isFetching());
    QCOMPARE(ids(), (QList<qint64>{5, 1, 4, 2, 6, 7, 3}));
    QCOMPARE(m_shaper->site(), ResultShaper::Site::Database);

    // A statement run anew comes as it is.
    run(QStringLiteral("SELECT * FROM t"));
    QTRY_VERIFY(!m_query->isFetching());
    QVERIFY(m_shaper->sort().isEmpty());
    QCOMPARE(m_shaper->site(), ResultShaper::Site::None);
    QCOMPARE(ids(), (QList<qint64>{1, 2, 3, 4, 5, 6, 7}));
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(u'\n')));
}

void TestResultShaper::filtersAndTheirCountHereAndByTheDatabase()
{
    openSqlite();
    run(QStringLiteral("SELECT * FROM t"));
    QVERIFY(m_shaper->matchText().isEmpty());
    QVERIFY(m_shaper->setFilterTexts({QString(), QStringLiteral("LIKE %a%"), QStringLiteral(">= 2")}));
    QCOMPARE(m_shaper->site(), ResultShaper::Site::Grid);
    QCOMPARE(ids(), (QList<qint64>{1, 3, 4, 6}));
    QCOMPARE(m_shaper->matchText(), texts().rowsMatch.arg(4).arg(6));
    QCOMPARE(m_shaper->filterText(2), QStringLiteral(">= 2"));
    QVERIFY(m_shaper->sortBy(2, false));
    QCOMPARE(ids(), (QList<qint64>{1, 4, 6, 3}));

    m_shaper->setLargeRows(0);
    QVERIFY(m_shaper->setFilterTexts({QString(), QStringLiteral("LIKE %a%"), QStringLiteral(">= 2")}));
    QCOMPARE(m_shaper->site(), ResultShaper::Site::Database);
    QCOMPARE(ids(), (QList<qint64>{1, 4, 6, 3}));
    QCOMPARE(m_shaper->matchText(), texts().rowsMatch.arg(4).arg(6));
    // Another filter of rows a database filter let through: the database again, from all rows.
    QVERIFY(m_shaper->setFilterTexts({QStringLiteral("<> 4")}));
    QCOMPARE(ids(), (QList<qint64>{2, 5, 1, 6, 3}));
    QCOMPARE(m_shaper->matchText(), texts().rowsMatch.arg(5).arg(6));
    QVERIFY(m_shaper->clear());
    QCOMPARE(ids(), (QList<qint64>{1, 2, 3, 4, 5, 6}));
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(u'\n')));
}

void TestResultShaper::filterThatDoesNotFitItsColumnChangesNothing()
{
    openSqlite();
    run(QStringLiteral("SELECT * FROM t"));
    QVERIFY(m_shaper->setFilterTexts({QStringLiteral("> 2")}));
    QVERIFY(!m_shaper->setFilterTexts({QStringLiteral("= two")}));
    QCOMPARE(m_shaper->refusal(), texts().cannotFilter.arg(texts().reasonNotANumber.arg(
                                      QStringLiteral("two"), QStringLiteral("id"))));
    QCOMPARE(m_shaper->refusalColumn(), 0);
    QCOMPARE(ids(), (QList<qint64>{3, 4, 5, 6}));
    QCOMPARE(m_shaper->filterText(0), QStringLiteral("> 2"));
}

void TestResultShaper::editsInASortedViewReachTheirOwnRows()
{
    openSqlite();
    run(QStringLiteral("SELECT * FROM t"));
    RowEditor *editor = m_model->editor();
    QVERIFY(editor->isEditable());
    QVERIFY(m_shaper->sortBy(1, true));
    QVERIFY(editor->setCurrentRow(0)); // id 3, 'Charlie'
    QVERIFY(m_model->setData(m_model->index(0, 2), QStringLiteral("8")));
    QVERIFY(editor->next()); // posts, moves to id 2
    QCOMPARE(editor->currentRow(), 1);
    QCOMPARE(
        m_conn->execute(QStringLiteral("SELECT score FROM t WHERE id = 3")).recordset->value(0, 0).toDouble(),
        8.0);
    QCOMPARE(m_model->index(0, 2).data(Qt::EditRole).toDouble(), 8.0);
    // Deleting a row shown in the middle: the rows after it in the result keep their place.
    QVERIFY(editor->setCurrentRow(3)); // id 4
    QVERIFY(editor->remove());
    QCOMPARE(ids(), (QList<qint64>{3, 2, 6, 1, 5}));
    QCOMPARE(m_model->index(3, 1).data().toString(), QStringLiteral("delta"));
    // A new row comes last; cancelled, it goes.
    QVERIFY(editor->insert());
    QCOMPARE(m_model->rowCount(), 6);
    QCOMPARE(editor->currentRow(), 5);
    editor->cancel();
    QCOMPARE(m_model->rowCount(), 5);
    QVERIFY(editor->insert());
    QVERIFY(editor->setValue(1, QStringLiteral("zulu")));
    QVERIFY(editor->post());
    QCOMPARE(m_model->index(5, 1).data().toString(), QStringLiteral("zulu"));
    QCOMPARE(editor->storedRow(5), 5);
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(u'\n')));
}

QTEST_MAIN(TestResultShaper)
#include "tst_resultshaper.moc"
