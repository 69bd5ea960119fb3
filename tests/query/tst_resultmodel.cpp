#include "ScriptedPrompt.h"

#include "db/DataAccess.h"
#include "query/CellValues.h"
#include "query/Query.h"
#include "query/RecordNavigator.h"
#include "query/ResultGrid.h"
#include "query/ResultModel.h"
#include "query/RowEditor.h"
#include "shell/Language.h"
#include "shell/MessageDialog.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QFile>
#include <QFont>
#include <QHeaderView>
#include <QLineEdit>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

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
    void flagsAndPaintingNeverAskTheDatabase();
    void cellEditorStartsFromTheStoredValue_data();
    void cellEditorStartsFromTheStoredValue();
    void navigatorCommitsTheOpenCellEditor();
    void deleteAsksInTheInterfaceLanguage_data();
    void deleteAsksInTheInterfaceLanguage();

private:
    void run(const QString &sql);

    QTemporaryDir m_dir;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<Connection> m_conn;
    std::unique_ptr<Query> m_query;
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
    m_conn->execute(QStringLiteral("CREATE TABLE u (id INTEGER PRIMARY KEY, title VARCHAR(40))"));
    m_conn->execute(QStringLiteral("INSERT INTO u VALUES (1, 'a' || char(9) || 'b'), "
                                   "(2, printf('%.1200c', 'y')), (3, 'plain')"));
    m_conn->execute(QStringLiteral("CREATE TABLE codes (code TEXT PRIMARY KEY, name TEXT)"));
    m_conn->execute(QStringLiteral("INSERT INTO codes VALUES (NULL, 'a'), ('x', 'b')"));
    m_query = std::make_unique<Query>(m_conn.get());
    m_model = std::make_unique<ResultModel>(m_query.get());
    m_model->editor()->setErrorHandler([](const QString &text) { QFAIL(qPrintable(text)); });
}

void TestResultModel::cleanup()
{
    m_model.reset();
    m_query.reset();
    m_conn.reset();
    m_prompt.reset();
    setUiLanguage(QStringLiteral("en-US"));
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
    QCOMPARE(cell(0, 1, Qt::ForegroundRole).value<QColor>(),
             ResultModel::nullTextColor(QApplication::palette()));
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

void TestResultModel::flagsAndPaintingNeverAskTheDatabase()
{
    // Counts the pieces of work started on the connection (work inside work is part of it).
    int pieces = 0;
    int depth = 0;
    m_conn->setWorkRunner([&](const std::function<void()> &work, const std::function<void()> &) {
        if (depth++ == 0)
            ++pieces;
        const auto leave = qScopeGuard([&depth] { --depth; });
        work();
    });
    run(QStringLiteral("SELECT code, name FROM codes ORDER BY name"));
    // The analysis came with the query.
    QCOMPARE(pieces, 1);
    QVERIFY(m_model->editor()->isEditable());

    ResultGrid grid;
    grid.setModel(m_model.get());
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    for (int row = 0; row < m_model->rowCount(); ++row) {
        for (int column = 0; column < m_model->columnCount(); ++column) {
            const QModelIndex index = m_model->index(row, column);
            for (int role : {Qt::DisplayRole, Qt::EditRole, Qt::BackgroundRole, Qt::FontRole})
                index.data(role);
            // A NULL key does not identify its row: none of its cells is editable.
            QCOMPARE(bool(m_model->flags(index) & Qt::ItemIsEditable), row == 1);
        }
    }
    grid.grab();
    QCOMPARE(pieces, 1);
}

void TestResultModel::cellEditorStartsFromTheStoredValue_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("shown");   // in the opened cell editor; empty: no cell editor opens
    QTest::addColumn<QString>("typed");   // then typed over it
    QTest::addColumn<QVariant>("stored"); // what the record holds then
    const QString number = QStringLiteral("SELECT id, r FROM t ORDER BY id");
    const QString title = QStringLiteral("SELECT id, title FROM u ORDER BY id");
    const QString name = QStringLiteral("SELECT id, name FROM t ORDER BY id");
    QTest::newRow("number in portuguese") << number << 0 << "pt-BR"
                                          << "0,1"
                                          << "2,5" << QVariant(2.5);
    QTest::newRow("number in english") << number << 0 << "en-US"
                                       << "0.1"
                                       << "2.5" << QVariant(2.5);
    QTest::newRow("NULL opens empty") << name << 0 << "en-US"
                                      << ""
                                      << "n" << QVariant(QStringLiteral("n"));
    QTest::newRow("short text opens whole") << title << 2 << "en-US"
                                            << "plain"
                                            << "plainer" << QVariant(QStringLiteral("plainer"));
    QTest::newRow("a tab goes to the memo editor") << title << 0 << "en-US"
                                                   << ""
                                                   << "" << QVariant();
    QTest::newRow("text longer than shown goes to the memo editor") << title << 1 << "en-US"
                                                                    << ""
                                                                    << "" << QVariant();
    QTest::newRow("lines go to the memo editor")
        << QStringLiteral("SELECT id, memo FROM t ORDER BY id") << 2 << "en-US"
        << ""
        << "" << QVariant();
}

void TestResultModel::cellEditorStartsFromTheStoredValue()
{
    QFETCH(QString, sql);
    QFETCH(int, row);
    QFETCH(QString, language);
    QFETCH(QString, shown);
    QFETCH(QString, typed);
    QFETCH(QVariant, stored);
    m_model->editor()->setLocaleProvider([language] { return CellValues::localeForLanguage(language); });
    run(sql);
    ResultGrid grid;
    grid.setModel(m_model.get());
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    const QModelIndex cell = m_model->index(row, 1);
    grid.setCurrentIndex(cell);
    if (!stored.isValid())
        QTest::ignoreMessage(QtWarningMsg, "edit: editing failed");
    grid.edit(cell);
    auto *line = qobject_cast<QLineEdit *>(grid.indexWidget(cell));
    if (!stored.isValid()) {
        QVERIFY2(!line, "a value the cell editor would cut or flatten opens no cell editor");
        QVERIFY(!(m_model->flags(cell) & Qt::ItemIsEditable));
        return;
    }
    QVERIFY(line);
    QCOMPARE(line->text(), shown);
    line->setText(typed);
    QVERIFY(grid.commitEditor());
    QVERIFY(!grid.indexWidget(cell));
    QCOMPARE(cell.data(Qt::EditRole), stored);
    QCOMPARE(m_model->editor()->state(), RowEditor::State::Edit);
}

void TestResultModel::navigatorCommitsTheOpenCellEditor()
{
    run(QStringLiteral("SELECT id, name FROM t ORDER BY id"));
    ResultGrid grid;
    grid.setModel(m_model.get());
    RecordNavigator navigator;
    navigator.setEditor(m_model->editor());
    navigator.setGrid(&grid);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    const QModelIndex cell = m_model->index(1, 1);
    auto type = [&](const QString &text) {
        grid.setCurrentIndex(cell);
        grid.edit(cell);
        auto *line = qobject_cast<QLineEdit *>(grid.indexWidget(cell));
        QVERIFY(line);
        line->setText(text);
    };
    auto stored = [this] {
        ExecResult r = m_conn->execute(QStringLiteral("SELECT name FROM t WHERE id = 2"));
        return r.recordset->value(0, 0).toString();
    };

    // Post takes what is still in the open cell editor.
    type(QStringLiteral("changed"));
    // Typed text in an open cell editor is a pending change: Post and Cancel are there for it.
    QVERIFY(navigator.button(RecordNavigator::Post)->isEnabled());
    navigator.button(RecordNavigator::Post)->click();
    QCOMPARE(stored(), QStringLiteral("changed"));
    QCOMPARE(m_model->editor()->state(), RowEditor::State::Browse);

    // Cancel drops it.
    type(QStringLiteral("dropped"));
    QVERIFY(navigator.button(RecordNavigator::Cancel)->isEnabled());
    navigator.button(RecordNavigator::Cancel)->click();
    QVERIFY(!grid.indexWidget(cell));
    QCOMPARE(cell.data().toString(), QStringLiteral("changed"));
    QCOMPARE(m_model->editor()->state(), RowEditor::State::Browse);
}

void TestResultModel::deleteAsksInTheInterfaceLanguage_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("question"); // empty: nothing is asked
    QTest::addColumn<int>("remaining");
    const QString all = QStringLiteral("SELECT id, name FROM t ORDER BY id");
    QTest::newRow("yes") << all << "en-US" << int(mrYes) << "Delete record?" << 3;
    QTest::newRow("no") << all << "en-US" << int(mrNo) << "Delete record?" << 4;
    QTest::newRow("portuguese yes") << all << "pt-BR" << int(mrYes) << "Excluir registro?" << 3;
    QTest::newRow("read-only: says why, asks nothing")
        << QStringLiteral("SELECT id, name || '!' FROM t") << "en-US" << int(mrYes) << "" << 4;
}

void TestResultModel::deleteAsksInTheInterfaceLanguage()
{
    QFETCH(QString, sql);
    QFETCH(QString, language);
    QFETCH(int, answer);
    QFETCH(QString, question);
    QFETCH(int, remaining);
    setUiLanguage(language);
    QStringList errors;
    m_model->editor()->setErrorHandler([&errors](const QString &text) { errors.append(text); });
    run(sql);
    RecordNavigator navigator;
    navigator.setEditor(m_model->editor());
    QVERIFY(m_model->editor()->setCurrentRow(1));
    m_prompt->dialogAnswers.enqueue(answer);
    navigator.click(RecordNavigator::Delete);
    if (question.isEmpty()) {
        QVERIFY(m_prompt->dialogs.isEmpty());
        QCOMPARE(errors, QStringList{m_model->editor()->readOnlyReason()});
    } else {
        QCOMPARE(m_prompt->dialogs.size(), 1);
        QCOMPARE(m_prompt->dialogs.first().text, question);
        QVERIFY(errors.isEmpty());
    }
    ExecResult r = m_conn->execute(QStringLiteral("SELECT count(*) FROM t"));
    QCOMPARE(r.recordset->value(0, 0).toInt(), remaining);
    QCOMPARE(m_model->rowCount(), remaining);
}

QTEST_MAIN(TestResultModel)
#include "tst_resultmodel.moc"
