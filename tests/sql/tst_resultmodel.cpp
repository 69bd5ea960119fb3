#include "ScriptedPrompt.h"

#include "connection/dataaccess/DataAccess.h"
#include "shell/UTools.h"
#include "sql/AdoQuery.h"
#include "sql/ResultGrid.h"
#include "sql/ResultModel.h"
#include "sql/RowEditor.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QFile>
#include <QFont>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTest>

class TestResultModel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void cellsShowNullEmptyBlobAndLongText();
    void evenRecordsAreShadedAndSelectionIsHighlighted();
    void indicatorMarksTheCurrentRecordAndItsState();
    void modelStaysConsistentThroughEditsAndRuns();

private:
    void run(const QString &sql);

    QTemporaryDir m_dir;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<Connection> m_conn;
    std::unique_ptr<AdoQuery> m_query;
    std::unique_ptr<ResultModel> m_model;
};

void TestResultModel::init()
{
    m_prompt = std::make_unique<ScriptedPrompt>();
    const QString path = m_dir.filePath(QStringLiteral("model.db"));
    QFile::remove(path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    m_conn = std::make_unique<Connection>();
    m_conn->setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
    m_conn->open();
    m_conn->execute(
        QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, memo TEXT, pic BLOB, r REAL)"));
    m_conn->execute(
        QStringLiteral("INSERT INTO t VALUES (1, NULL, '', zeroblob(22970), 0.1),"
                       " (2, 'b', printf('%.3000c', 'x') || char(10) || 'end', NULL, 2.5),"
                       " (3, 'c', 'line1' || char(10) || 'line2', NULL, NULL), (4, 'd', 'x', NULL, 4)"));
    m_query = std::make_unique<AdoQuery>(m_conn.get());
    m_model = std::make_unique<ResultModel>(m_query.get());
    m_model->editor()->setErrorHandler([](const QString &text) { QFAIL(qPrintable(text)); });
}

void TestResultModel::cleanup()
{
    m_model.reset();
    m_query.reset();
    m_conn.reset();
    m_prompt.reset();
}

void TestResultModel::run(const QString &sql)
{
    m_query->setSql(sql);
    QVERIFY(m_query->run());
}

void TestResultModel::cellsShowNullEmptyBlobAndLongText()
{
    run(QStringLiteral("SELECT * FROM t ORDER BY id"));
    QCOMPARE(m_model->rowCount(), 4);
    QCOMPARE(m_model->columnCount(), 5);
    QCOMPARE(m_model->headerData(2, Qt::Horizontal).toString(), QStringLiteral("memo"));
    auto cell = [this](int row, int column, int role = Qt::DisplayRole) {
        return m_model->index(row, column).data(role);
    };

    // NULL and the empty string look different and are different.
    QCOMPARE(cell(0, 1).toString(), QStringLiteral("(null)"));
    QVERIFY(cell(0, 1, Qt::EditRole).isNull());
    QCOMPARE(cell(0, 1, Qt::ForegroundRole).value<QColor>(), QColor(Qt::gray));
    QVERIFY(cell(0, 1, Qt::FontRole).value<QFont>().italic());
    QCOMPARE(cell(0, 2).toString(), QString());
    QVERIFY(!cell(0, 2, Qt::EditRole).isNull());
    QVERIFY(!cell(0, 2, Qt::ForegroundRole).isValid());

    QCOMPARE(cell(0, 3).toString(), QStringLiteral("(BLOB, 22970 bytes)"));
    QCOMPARE(cell(0, 3, Qt::EditRole).toByteArray().size(), 22970);
    QCOMPARE(cell(0, 4).toString(), QStringLiteral("0.1"));

    // Long text is cut to one line for display only.
    const QString shown = cell(1, 2).toString();
    QCOMPARE(shown.size(), ResultModel::displayLength);
    QVERIFY(!shown.contains(u'\n'));
    const QString whole = cell(1, 2, Qt::EditRole).toString();
    QCOMPARE(whole.size(), 3004);
    QVERIFY(whole.endsWith(QLatin1String("x\nend")));
    QCOMPARE(cell(2, 2).toString(), QStringLiteral("line1 line2"));
    QCOMPARE(cell(2, 2, Qt::EditRole).toString(), QStringLiteral("line1\nline2"));
}

void TestResultModel::evenRecordsAreShadedAndSelectionIsHighlighted()
{
    run(QStringLiteral("SELECT id, name FROM t ORDER BY id"));
    for (int row = 0; row < 4; ++row) {
        const QVariant background = m_model->index(row, 0).data(Qt::BackgroundRole);
        if (row % 2 == 0)
            QVERIFY2(!background.isValid(), "odd records keep the grid's background");
        else
            QCOMPARE(background.value<QColor>(), QColor(245, 245, 245));
    }

    ResultGrid grid;
    grid.setModel(m_model.get());
    grid.resize(400, 300);
    grid.setColumnWidth(0, 120);
    grid.setColumnWidth(1, 120);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    grid.setCurrentIndex(m_model->index(1, 1));
    const QImage image = grid.grab().toImage();
    // Sampled at the right end of the left-aligned text column, away from the text.
    auto pixel = [&](int row) {
        const QRect r = grid.visualRect(m_model->index(row, 1));
        const QPoint p = grid.viewport()->mapTo(&grid, QPoint(r.right() - 4, r.center().y()));
        return QColor(image.pixel(p * image.devicePixelRatio()));
    };
    QCOMPARE(pixel(0), grid.palette().color(QPalette::Base));
    QCOMPARE(pixel(2), grid.palette().color(QPalette::Base));
    QCOMPARE(pixel(3), QColor(245, 245, 245));
    // The style may shade the highlight by a step; the row's grey must not show through.
    auto near = [](const QColor &a, const QColor &b) {
        return qAbs(a.red() - b.red()) <= 3 && qAbs(a.green() - b.green()) <= 3 &&
               qAbs(a.blue() - b.blue()) <= 3;
    };
    const QColor selected = pixel(1);
    QVERIFY2(near(selected, grid.palette().color(QPalette::Active, QPalette::Highlight)) ||
                 near(selected, grid.palette().color(QPalette::Inactive, QPalette::Highlight)),
             qPrintable(selected.name()));
    QCOMPARE(grid.verticalHeader()->width(), ResultGrid::indicatorWidth);
}

void TestResultModel::indicatorMarksTheCurrentRecordAndItsState()
{
    run(QStringLiteral("SELECT id, name FROM t ORDER BY id"));
    RowEditor *editor = m_model->editor();
    auto marker = [this](int row) { return m_model->headerData(row, Qt::Vertical).toString(); };
    QCOMPARE(marker(0), ResultModel::currentMarker());
    QCOMPARE(marker(1), QString());
    QVERIFY(editor->setCurrentRow(2));
    QCOMPARE(marker(0), QString());
    QCOMPARE(marker(2), ResultModel::currentMarker());
    QVERIFY(m_model->setData(m_model->index(2, 1), QStringLiteral("changed")));
    QCOMPARE(marker(2), ResultModel::editMarker());
    QCOMPARE(m_model->index(2, 1).data().toString(), QStringLiteral("changed"));
    editor->cancel();
    QVERIFY(editor->insert());
    QCOMPARE(m_model->rowCount(), 5);
    QCOMPARE(marker(4), ResultModel::insertMarker());
    QCOMPARE(m_model->index(4, 1).data().toString(), QStringLiteral("(null)"));
}

void TestResultModel::modelStaysConsistentThroughEditsAndRuns()
{
    QAbstractItemModelTester tester(m_model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    run(QStringLiteral("SELECT * FROM t ORDER BY id"));
    RowEditor *editor = m_model->editor();
    QVERIFY(m_model->flags(m_model->index(0, 1)) & Qt::ItemIsEditable);
    QVERIFY(!(m_model->flags(m_model->index(0, 3)) & Qt::ItemIsEditable));
    // Text of several lines is edited in the memo editor, not in the one-line cell editor.
    QVERIFY(m_model->flags(m_model->index(0, 2)) & Qt::ItemIsEditable);
    QVERIFY(!(m_model->flags(m_model->index(2, 2)) & Qt::ItemIsEditable));
    QVERIFY(editor->insert());
    QVERIFY(m_model->setData(m_model->index(4, 1), QStringLiteral("e")));
    QVERIFY(editor->post());
    QCOMPARE(m_model->rowCount(), 5);
    QCOMPARE(m_model->index(4, 0).data().toString(), QStringLiteral("5"));
    QVERIFY(editor->insert());
    editor->cancel();
    QVERIFY(editor->setCurrentRow(0));
    m_prompt->dialogAnswers.enqueue(mrYes);
    QVERIFY(editor->remove());
    QCOMPARE(m_model->rowCount(), 4);
    QVERIFY(editor->refresh());
    run(QStringLiteral("SELECT id FROM t WHERE id > 100"));
    QCOMPARE(m_model->rowCount(), 0);
    QVERIFY(editor->insert());
    m_query->close();
    QCOMPARE(m_model->rowCount(), 0);
    QCOMPARE(m_model->columnCount(), 0);
}

QTEST_MAIN(TestResultModel)
#include "tst_resultmodel.moc"
