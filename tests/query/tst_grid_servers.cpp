// The result grid against the PostgreSQL and MariaDB test servers: NULL set with Ctrl+0 and
// posted, the same order whether the grid or the database sorts, and filters whose values are
// bound, never written into the statement.
#include "ScriptedPrompt.h"
#include "TestServers.h"

#include "db/DataAccess.h"
#include "query/Query.h"
#include "query/ResultGrid.h"
#include "query/ResultModel.h"
#include "query/ResultShaper.h"
#include "query/RowEditor.h"

#include <QAction>
#include <QTest>

class TestGridServers : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void nullSetInTheGridIsPosted_data();
    void nullSetInTheGridIsPosted();
    void gridAndDatabaseSortAlike_data();
    void gridAndDatabaseSortAlike();
    void filterValuesAreBound_data();
    void filterValuesAreBound();

private:
    void addServers();
    // A fresh database on the server of the row with the table people.
    void openServer(const QString &base);
    void show(const QString &sql);
    QList<qint64> ids() const;

    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<Connection> m_conn;
    std::unique_ptr<Query> m_query;
    std::unique_ptr<ResultModel> m_model;
    std::unique_ptr<ResultGrid> m_grid;
    QStringList m_errors;
};

void TestGridServers::init()
{
    m_prompt = std::make_unique<ScriptedPrompt>();
    m_errors.clear();
}

void TestGridServers::cleanup()
{
    m_grid.reset();
    m_model.reset();
    m_query.reset();
    m_conn.reset();
    m_prompt.reset();
}

void TestGridServers::addServers()
{
    QTest::addColumn<QString>("server");
    QTest::newRow("postgresql") << "pg";
    QTest::newRow("mariadb") << "mysql";
}

// In a test function of the servers' rows: the connection string of the row's server, or a skip
// (a failure in CI).
#define ORVESSA_OPEN_SERVER()                                                                                \
    do {                                                                                                     \
        QFETCH(QString, server);                                                                             \
        const QString base = server == QLatin1String("pg") ? TestServers::pgConnectionString()               \
                                                           : TestServers::mysqlConnectionString();           \
        if (base.isEmpty()) {                                                                                \
            if (TestServers::requiredByCi())                                                                 \
                QFAIL("test server not running: run scripts/start-test-servers and source its env file");    \
            QSKIP("test server not running (scripts/start-test-servers, then source the env file)");         \
        }                                                                                                    \
        openServer(base);                                                                                    \
    } while (false)

void TestGridServers::openServer(const QString &base)
{
    const bool pg = base == TestServers::pgConnectionString();
    m_conn = std::make_unique<Connection>();
    m_conn->setConnectionString(TestServers::freshDatabase(base, QStringLiteral("orvessa_grid")));
    m_conn->open();
    m_conn->execute(pg ? QStringLiteral("CREATE TABLE people (id INTEGER PRIMARY KEY, name VARCHAR(40), "
                                        "score DOUBLE PRECISION, note TEXT)")
                       : QStringLiteral("CREATE TABLE people (id INTEGER PRIMARY KEY, name VARCHAR(40), "
                                        "score DOUBLE, note TEXT)"));
    m_conn->execute(
        QStringLiteral("INSERT INTO people VALUES (1, 'ann', 2, 'x'), (2, 'bob', NULL, ''), "
                       "(3, 'cy', 7.5, NULL), (4, 'ann', -1, 'it''s; fine'), (5, 'dee', 2, 'y')"));
}

void TestGridServers::show(const QString &sql)
{
    m_query = std::make_unique<Query>(m_conn.get());
    m_model = std::make_unique<ResultModel>(m_query.get());
    m_model->editor()->setErrorHandler([this](const QString &text) { m_errors.append(text); });
    m_model->shaper()->setCollation(QLocale::c());
    m_query->setSql(sql);
    QVERIFY(m_query->run());
    m_grid = std::make_unique<ResultGrid>();
    m_grid->setModel(m_model.get());
    m_grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_grid.get()));
}

QList<qint64> TestGridServers::ids() const
{
    QList<qint64> out;
    for (int row = 0; row < m_model->rowCount(); ++row)
        out.append(m_model->index(row, 0).data(Qt::EditRole).toLongLong());
    return out;
}

void TestGridServers::nullSetInTheGridIsPosted_data()
{
    addServers();
}

void TestGridServers::nullSetInTheGridIsPosted()
{
    ORVESSA_OPEN_SERVER();
    show(QStringLiteral("SELECT id, name, score, note FROM people ORDER BY id"));
    QVERIFY2(m_model->editor()->isEditable(), qPrintable(m_model->editor()->readOnlyReason()));
    m_grid->setCurrentIndex(m_model->index(0, 3));
    m_grid->action(ResultGrid::Action::SetNull)->trigger();
    QCOMPARE(m_model->index(0, 3).data().toString(), ResultModel::nullText());
    QVERIFY(m_model->editor()->post());
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(u'\n')));
    const ExecResult notes = m_conn->execute(QStringLiteral(
        "SELECT id, CASE WHEN note IS NULL THEN 'null' ELSE 'text' END FROM people ORDER BY id"));
    QCOMPARE(notes.recordset->value(0, 1).toString(), QStringLiteral("null"));
    // The empty string of row 2 is still a value.
    QCOMPARE(notes.recordset->value(1, 1).toString(), QStringLiteral("text"));
}

void TestGridServers::gridAndDatabaseSortAlike_data()
{
    addServers();
}

void TestGridServers::gridAndDatabaseSortAlike()
{
    ORVESSA_OPEN_SERVER();
    show(QStringLiteral("SELECT id, name, score FROM people"));
    ResultShaper *shaper = m_model->shaper();
    const QList<QList<SortColumn>> sorts = {
        {{2, false}}, {{2, true}}, {{1, false}, {2, true}}, {{1, true}, {0, false}}};
    for (const QList<SortColumn> &sort : sorts) {
        shaper->setLargeRows(ResultShaper::defaultLargeRows);
        QVERIFY(shaper->setSort(sort));
        QCOMPARE(shaper->site(), ResultShaper::Site::Grid);
        const QList<qint64> here = ids();
        shaper->setLargeRows(0);
        QVERIFY(shaper->clearSort());
        QVERIFY(shaper->setSort(sort));
        QCOMPARE(shaper->site(), ResultShaper::Site::Database);
        QCOMPARE(ids(), here);
        QVERIFY(shaper->clearSort());
    }
    // NULL where each database puts it.
    QVERIFY(shaper->setSort({{2, false}}));
    QCOMPARE(
        m_model->index(QTest::currentDataTag() == QLatin1String("postgresql") ? 4 : 0, 0).data(Qt::EditRole),
        QVariant(qlonglong(2)));
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(u'\n')));
}

void TestGridServers::filterValuesAreBound_data()
{
    addServers();
}

void TestGridServers::filterValuesAreBound()
{
    ORVESSA_OPEN_SERVER();
    show(QStringLiteral("SELECT id, name, score, note FROM people"));
    ResultShaper *shaper = m_model->shaper();
    const bool mysql = QTest::currentDataTag() == QLatin1String("mariadb");
    const struct
    {
        QStringList texts;
        QList<qint64> expected;
    } cases[] = {
        {{QString(), QString(), QString(), QStringLiteral("= it's; fine")}, {4}},
        {{QString(), QString(), QString(), QStringLiteral("= x'; DROP TABLE people; --")}, {}},
        {{QString(), QStringLiteral("= ANN")}, mysql ? QList<qint64>{1, 4} : QList<qint64>{}},
        {{QString(), QStringLiteral("NN")}, mysql ? QList<qint64>{1, 4} : QList<qint64>{}},
        {{QString(), QString(), QStringLiteral("> 1.5"), QStringLiteral("NOT NULL")}, {1, 5}},
        {{QStringLiteral("LIKE 1%")}, {1}},
    };
    for (const auto &c : cases) {
        shaper->setLargeRows(ResultShaper::defaultLargeRows);
        QVERIFY(shaper->setFilterTexts(c.texts));
        QCOMPARE(shaper->site(), ResultShaper::Site::Grid);
        QList<qint64> here = ids();
        std::sort(here.begin(), here.end());
        QCOMPARE(here, c.expected);
        shaper->setLargeRows(0);
        QVERIFY(shaper->clearFilters());
        QVERIFY(shaper->setFilterTexts(c.texts));
        QCOMPARE(shaper->site(), ResultShaper::Site::Database);
        QList<qint64> there = ids();
        std::sort(there.begin(), there.end());
        QCOMPARE(there, c.expected);
        QVERIFY(shaper->clearFilters());
    }
    QCOMPARE(m_conn->execute(QStringLiteral("SELECT COUNT(*) FROM people")).recordset->value(0, 0).toInt(),
             5);
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(u'\n')));
}

QTEST_MAIN(TestGridServers)
#include "tst_grid_servers.moc"
