// The result grid as people use it: title clicks sort, the filter row, the find bar, Copy and Copy
// as, NULL with Ctrl+0, binary values and their viewer, and column widths that follow the values.
#include "ScriptedPrompt.h"

#include "db/DataAccess.h"
#include "query/BlobViewer.h"
#include "query/GridFindBar.h"
#include "query/HexView.h"
#include "query/Query.h"
#include "query/ResultGrid.h"
#include "query/ResultHeader.h"
#include "query/ResultModel.h"
#include "query/ResultShaper.h"
#include "query/RowEditor.h"
#include "shell/Language.h"
#include "shell/texts/UiTexts.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Action = ResultGrid::Action;

// A picture as a program writes it, to store as a binary value.
QByteArray picture(const char *format)
{
    QImage image(24, 16, QImage::Format_RGB32);
    image.fill(QColor(30, 120, 200));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

} // namespace

class TestResultGrid : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void titleClicksSortAndTheTitleSaysWhoSorted();
    void aRefusedSortIsShownAtItsTitle();
    void filterRowFiltersTheRowsAndCountsThem();
    void findBarFindsNextAndPreviousAndGoesRound();
    void copyPutsTheSelectionOnTheClipboard();
    void ctrlZeroSetsNullThatThePostWrites();
    void binaryCellsShowTheirKindAndOpenInTheViewer();
    void widthsGrowWithTheValuesScrolledPast();
    void commandsSpeakTheInterfaceLanguage();

private:
    void open(const QString &sql);
    void showGrid();
    QList<qint64> ids() const;
    QPoint titleCenter(int column) const;

    QTemporaryDir m_dir;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<Connection> m_conn;
    std::unique_ptr<Query> m_query;
    std::unique_ptr<ResultModel> m_model;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
    std::unique_ptr<ResultGrid> m_grid;
    QStringList m_errors;
};

void TestResultGrid::init()
{
    m_prompt = std::make_unique<ScriptedPrompt>();
    const QString path = m_dir.filePath(QStringLiteral("grid.db"));
    QFile::remove(path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    m_conn = std::make_unique<Connection>();
    m_conn->setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
    m_conn->open();
    m_conn->execute(
        QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, score REAL, pic BLOB)"));
    m_conn->execute(
        QStringLiteral("INSERT INTO t VALUES (1, 'delta', 2, NULL), (2, 'alpha', NULL, NULL), "
                       "(3, 'Charlie', 7.5, NULL), (4, 'bravo', 2, x'00010203'), (5, '', -1, NULL)"));
    m_errors.clear();
}

void TestResultGrid::cleanup()
{
    m_grid.reset();
    m_tester.reset();
    m_model.reset();
    m_query.reset();
    m_conn.reset();
    m_prompt.reset();
    setUiLanguage(QStringLiteral("en-US"));
}

void TestResultGrid::open(const QString &sql)
{
    m_query = std::make_unique<Query>(m_conn.get());
    m_model = std::make_unique<ResultModel>(m_query.get());
    m_model->editor()->setErrorHandler([this](const QString &text) { m_errors.append(text); });
    m_model->shaper()->setCollation(QLocale::c());
    m_tester = std::make_unique<QAbstractItemModelTester>(
        m_model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    m_query->setSql(sql);
    QVERIFY(m_query->run());
    showGrid();
}

void TestResultGrid::showGrid()
{
    m_grid = std::make_unique<ResultGrid>();
    m_grid->resize(640, 360);
    m_grid->setModel(m_model.get());
    m_grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_grid.get()));
    // The grid's keys are the window's shortcuts: they need it active.
    m_grid->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_grid.get()));
}

QList<qint64> TestResultGrid::ids() const
{
    QList<qint64> out;
    for (int row = 0; row < m_model->rowCount(); ++row)
        out.append(m_model->index(row, 0).data(Qt::EditRole).toLongLong());
    return out;
}

QPoint TestResultGrid::titleCenter(int column) const
{
    const ResultHeader *header = m_grid->resultHeader();
    return QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                  QHeaderView(Qt::Horizontal).sizeHint().height() / 2 + 2);
}

void TestResultGrid::titleClicksSortAndTheTitleSaysWhoSorted()
{
    open(QStringLiteral("SELECT id, name, score FROM t"));
    QWidget *titles = m_grid->resultHeader()->viewport();
    QTest::mouseClick(titles, Qt::LeftButton, Qt::NoModifier, titleCenter(1));
    QCOMPARE(ids(), (QList<qint64>{5, 3, 2, 4, 1}));
    QCOMPARE(m_grid->resultHeader()->marks(1), QStringLiteral(u"\u25B2 grid"));
    QVERIFY(m_model->headerData(1, Qt::Horizontal, Qt::ToolTipRole)
                .toString()
                .startsWith(QStringLiteral(u"Sorted in the grid (\u25B2)")));
    QTest::mouseClick(titles, Qt::LeftButton, Qt::NoModifier, titleCenter(1));
    QCOMPARE(m_grid->resultHeader()->marks(1), QStringLiteral(u"\u25BC grid"));
    QCOMPARE(ids(), (QList<qint64>{1, 4, 2, 3, 5}));
    // Shift adds a column: the marks tell the places.
    QTest::mouseClick(titles, Qt::LeftButton, Qt::NoModifier, titleCenter(2));
    QTest::mouseClick(titles, Qt::LeftButton, Qt::ShiftModifier, titleCenter(1));
    QCOMPARE(ids(), (QList<qint64>{2, 5, 4, 1, 3}));
    QCOMPARE(m_grid->resultHeader()->marks(2), QStringLiteral(u"\u25B21 grid"));
    QCOMPARE(m_grid->resultHeader()->marks(1), QStringLiteral(u"\u25B22 grid"));
    // Ctrl selects the column instead.
    QTest::mouseClick(titles, Qt::LeftButton, Qt::ControlModifier, titleCenter(0));
    QVERIFY(m_grid->selectionModel()->isColumnSelected(0));
    QCOMPARE(m_model->shaper()->sort().size(), 2);
    // Original order from the menu.
    m_grid->action(Action::OriginalOrder)->trigger();
    QCOMPARE(ids(), (QList<qint64>{1, 2, 3, 4, 5}));
    QVERIFY(m_grid->resultHeader()->marks(1).isEmpty());

    // The database sorts a large result: the title says so.
    m_model->shaper()->setLargeRows(2);
    QTest::mouseClick(titles, Qt::LeftButton, Qt::NoModifier, titleCenter(0));
    QTest::mouseClick(titles, Qt::LeftButton, Qt::NoModifier, titleCenter(0));
    QCOMPARE(ids(), (QList<qint64>{5, 4, 3, 2, 1}));
    QCOMPARE(m_grid->resultHeader()->marks(0), QStringLiteral(u"\u25BC db"));
    QVERIFY(m_model->headerData(0, Qt::Horizontal, Qt::ToolTipRole)
                .toString()
                .startsWith(QStringLiteral(u"Sorted by the database (\u25BC)")));
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(u'\n')));
}

void TestResultGrid::aRefusedSortIsShownAtItsTitle()
{
    RowStore::setDefaultMemoryBudget(0);
    m_conn->execute(
        QStringLiteral("WITH RECURSIVE c(i) AS (SELECT 6 UNION ALL SELECT i + 1 FROM c WHERE i < 3000) "
                       "INSERT INTO t SELECT i, 'name ' || i, i, NULL FROM c"));
    open(QStringLiteral("SELECT 1; SELECT id, name FROM t"));
    RowStore::setDefaultMemoryBudget(256ll * 1024 * 1024);
    QVERIFY(m_query->recordset()->rows().spilledBytes() > 0);
    QTest::mouseClick(m_grid->resultHeader()->viewport(), Qt::LeftButton, Qt::NoModifier, titleCenter(1));
    QCOMPARE(m_prompt->beeps, 1);
    QCOMPARE(m_grid->resultHeader()->marks(1), QStringLiteral("!"));
    const GridTexts &t = uiTexts().grid;
    QVERIFY(m_model->headerData(1, Qt::Horizontal, Qt::ToolTipRole)
                .toString()
                .startsWith(t.cannotSort.arg(t.reasonSpilled.arg(t.reasonNotOneStatement))));
    QCOMPARE(ids().mid(0, 3), (QList<qint64>{1, 2, 3}));
}

void TestResultGrid::filterRowFiltersTheRowsAndCountsThem()
{
    open(QStringLiteral("SELECT id, name, score FROM t"));
    QSignalSpy shaped(m_grid.get(), &ResultGrid::shapeChanged);
    QTest::keyClick(m_grid.get(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    ResultHeader *header = m_grid->resultHeader();
    QVERIFY(header->isFilterRowVisible());
    QVERIFY(m_grid->action(Action::FilterRow)->isChecked());
    QLineEdit *score = header->filterBox(2);
    QVERIFY(score && score->isVisible());
    QCOMPARE(score->accessibleName(), QStringLiteral("Filter of column score"));
    // The boxes sit under their titles.
    QCOMPARE(score->x(), header->sectionViewportPosition(2));
    QVERIFY(score->y() >= QHeaderView(Qt::Horizontal).sizeHint().height() - 1);

    QTest::keyClicks(score, QStringLiteral(">= 2"));
    QTest::keyClick(score, Qt::Key_Return);
    QCOMPARE(ids(), (QList<qint64>{1, 3, 4}));
    QVERIFY(shaped.count() > 0);
    QCOMPARE(m_model->shaper()->matchText(), uiTexts().grid.rowsMatch.arg(3).arg(5));
    QCOMPARE(header->marks(2), QString(u'\u2261'));
    QTest::keyClicks(header->filterBox(1), QStringLiteral("a"));
    QTest::keyClick(header->filterBox(1), Qt::Key_Return);
    QCOMPARE(ids(), (QList<qint64>{1, 3, 4}));
    // Escape empties its box and applies the rest.
    QTest::keyClick(score, Qt::Key_Escape);
    QCOMPARE(ids(), (QList<qint64>{1, 2, 3, 4}));
    // A refused filter leaves the rows and says why.
    score->setText(QStringLiteral("> two"));
    QTest::keyClick(score, Qt::Key_Return);
    QCOMPARE(ids(), (QList<qint64>{1, 2, 3, 4}));
    QCOMPARE(m_prompt->beeps, 1);
    // Text typed and not applied yet stays in its box while the grid sorts.
    header->filterBox(0)->setText(QStringLiteral("> 1"));
    QVERIFY(m_model->shaper()->sortBy(2, false));
    QCOMPARE(header->filterBox(0)->text(), QStringLiteral("> 1"));
    header->filterBox(0)->clear();
    // Hiding the row ends its filters.
    m_grid->action(Action::FilterRow)->trigger();
    QVERIFY(!header->isFilterRowVisible());
    QCOMPARE(ids(), (QList<qint64>{2, 5, 1, 4, 3}));
    QVERIFY(m_model->shaper()->matchText().isEmpty());
    QVERIFY(header->filterBox(1)->text().isEmpty());
}

void TestResultGrid::findBarFindsNextAndPreviousAndGoesRound()
{
    open(QStringLiteral("SELECT id, name, score FROM t"));
    m_grid->setCurrentIndex(m_model->index(0, 0));
    QTest::keyClick(m_grid.get(), Qt::Key_F, Qt::ControlModifier);
    GridFindBar *bar = m_grid->findBar();
    QVERIFY(bar->isVisible());
    QVERIFY(bar->textBox()->hasFocus());
    // The bar takes the room under the rows, beside the vertical scroll bar.
    QVERIFY(m_grid->viewport()->geometry().bottom() < bar->geometry().top());
    QCOMPARE(bar->geometry().right(), m_grid->viewport()->geometry().right());
    QTest::keyClicks(bar->textBox(), QStringLiteral("A"));
    QTest::keyClick(bar->textBox(), Qt::Key_Return);
    QCOMPARE(m_grid->currentIndex(), m_model->index(0, 1)); // "delta"
    QTest::keyClick(bar->textBox(), Qt::Key_Return);
    QCOMPARE(m_grid->currentIndex(), m_model->index(1, 1)); // "alpha"
    QTest::keyClick(bar->textBox(), Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(m_grid->currentIndex(), m_model->index(0, 1));
    // Backwards from the first match goes round to the last.
    QTest::keyClick(bar->textBox(), Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(m_grid->currentIndex(), m_model->index(3, 1)); // "bravo"
    QCOMPARE(bar->status(), uiTexts().grid.findWrapped);
    // Match case, and numbers as they are shown.
    bar->findChild<QCheckBox *>()->setChecked(true);
    bar->textBox()->setText(QStringLiteral("C"));
    QTest::keyClick(bar->textBox(), Qt::Key_F3);
    QCOMPARE(m_grid->currentIndex(), m_model->index(2, 1)); // "Charlie", round the end
    bar->textBox()->setText(QStringLiteral("7.5"));
    QTest::keyClick(bar->textBox(), Qt::Key_Return);
    QCOMPARE(m_grid->currentIndex(), m_model->index(2, 2));
    // Nothing found: said, with a beep, and the cell stays.
    bar->textBox()->setText(QStringLiteral("zebra"));
    QTest::keyClick(bar->textBox(), Qt::Key_Return);
    QCOMPARE(m_grid->currentIndex(), m_model->index(2, 2));
    QCOMPARE(bar->status(), uiTexts().grid.findNotFound.arg(QStringLiteral("zebra")));
    QCOMPARE(m_prompt->beeps, 1);
    // In a sorted grid the search follows the rows as shown.
    QVERIFY(m_model->shaper()->sortBy(1, false));
    bar->findChild<QCheckBox *>()->setChecked(false);
    bar->textBox()->setText(QStringLiteral("a"));
    m_grid->setCurrentIndex(m_model->index(0, 0));
    QTest::keyClick(bar->textBox(), Qt::Key_Return);
    QCOMPARE(m_grid->currentIndex(), m_model->index(1, 1)); // "Charlie" after ''
    QTest::keyClick(bar->textBox(), Qt::Key_Escape);
    QVERIFY(!bar->isVisible());
}

void TestResultGrid::copyPutsTheSelectionOnTheClipboard()
{
    m_conn->execute(QStringLiteral("UPDATE t SET name = 'tab' || char(9) || 'in \"it\"' WHERE id = 2"));
    open(QStringLiteral("SELECT id, name, score FROM t"));
    QClipboard *clipboard = QGuiApplication::clipboard();
    const QItemSelection cells(m_model->index(0, 1), m_model->index(1, 2));
    m_grid->selectionModel()->select(cells, QItemSelectionModel::ClearAndSelect);
    QTest::keyClick(m_grid.get(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), QStringLiteral("delta\t2\n\"tab\tin \"\"it\"\"\"\t\n"));

    // Whole columns take their titles along.
    m_grid->selectionModel()->select(m_model->index(0, 0),
                                     QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Columns);
    m_grid->selectionModel()->select(m_model->index(0, 2),
                                     QItemSelectionModel::Select | QItemSelectionModel::Columns);
    QTest::keyClick(m_grid.get(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), QStringLiteral("id\tscore\n1\t2\n2\t\n3\t7.5\n4\t2\n5\t-1\n"));

    m_grid->selectionModel()->select(QItemSelection(m_model->index(3, 0), m_model->index(4, 1)),
                                     QItemSelectionModel::ClearAndSelect);
    m_grid->action(Action::CopyCsv)->trigger();
    QCOMPARE(clipboard->text(), QStringLiteral("id,name\r\n4,bravo\r\n5,\"\"\r\n"));
    m_grid->action(Action::CopyJson)->trigger();
    QCOMPARE(clipboard->text(),
             QStringLiteral("[\n{\"id\":4,\"name\":\"bravo\"},\n{\"id\":5,\"name\":\"\"}\n]\n"));
    m_grid->action(Action::CopyMarkdown)->trigger();
    QCOMPARE(clipboard->text(), QStringLiteral("| id | name |\n| ---: | --- |\n| 4 | bravo |\n| 5 |  |\n"));
    m_grid->action(Action::CopyInsert)->trigger();
    QCOMPARE(clipboard->text(), QStringLiteral("INSERT INTO t (id, name) VALUES (4, 'bravo');\n"
                                               "INSERT INTO t (id, name) VALUES (5, '');\n"));
    // The context menu offers them all.
    std::unique_ptr<QMenu> menu(m_grid->makeContextMenu(nullptr));
    QStringList texts;
    for (QAction *a : menu->actions()) {
        if (a->menu()) {
            for (QAction *inner : a->menu()->actions())
                texts.append(inner->text());
        }
    }
    const GridTexts &t = uiTexts().grid;
    QCOMPARE(texts, (QStringList{t.copyTsv, t.copyCsv, t.copyJson, t.copyMarkdown, t.copyInsert}));
}

void TestResultGrid::ctrlZeroSetsNullThatThePostWrites()
{
    open(QStringLiteral("SELECT id, name, score FROM t"));
    const QModelIndex name = m_model->index(0, 1);
    m_grid->setCurrentIndex(name);
    QVERIFY(m_grid->action(Action::SetNull)->isEnabled());
    QTest::keyClick(m_grid.get(), Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(m_model->editor()->state(), RowEditor::State::Edit);
    QCOMPARE(name.data().toString(), ResultModel::nullText());
    QVERIFY(name.data(Qt::FontRole).value<QFont>().italic());
    QVERIFY(m_model->editor()->post());
    const QVariant stored =
        m_conn->execute(QStringLiteral("SELECT name FROM t WHERE id = 1")).recordset->value(0, 0);
    QVERIFY(stored.isNull());
    // The empty string is another value and looks it.
    const QModelIndex empty = m_model->index(4, 1);
    QVERIFY(!empty.data(Qt::EditRole).isNull());
    QCOMPARE(empty.data().toString(), QString());
    QVERIFY(!empty.data(Qt::FontRole).isValid());
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(u'\n')));
}

void TestResultGrid::binaryCellsShowTheirKindAndOpenInTheViewer()
{
    const QByteArray png = picture("PNG");
    m_conn->executeParams(QStringLiteral("UPDATE t SET pic = ? WHERE id = 1"), {png});
    m_conn->executeParams(QStringLiteral("UPDATE t SET pic = ? WHERE id = 3"), {picture("JPEG")});
    open(QStringLiteral("SELECT id, pic FROM t"));
    QCOMPARE(m_model->index(0, 1).data().toString(), QStringLiteral("(PNG image, %1 bytes)").arg(png.size()));
    QVERIFY(m_model->index(2, 1).data().toString().startsWith(QLatin1String("(JPEG image, ")));
    QCOMPARE(m_model->index(3, 1).data().toString(), QStringLiteral("(binary, 4 bytes)"));

    // A double click opens the viewer: the picture and the bytes.
    const QRect cell = m_grid->visualRect(m_model->index(0, 1));
    QTest::mouseDClick(m_grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QCOMPARE(m_prompt->modalShown.size(), 1);
    BlobViewer *viewer = m_grid->blobViewer();
    QCOMPARE(m_prompt->modalShown.first(), viewer);
    QVERIFY(viewer->showsImage());
    QCOMPARE(viewer->imageLabel()->pixmap().size(), QSize(24, 16));
    QCOMPARE(viewer->hexView()->lineText(0).left(33), QStringLiteral("00000000  89 50 4e 47 0d 0a 1a 0a"));
    QVERIFY(viewer->hexView()->lineText(0).endsWith(QLatin1String("|.PNG........IHDR|")));

    // Saved to a file, byte for byte.
    const QString saved = m_dir.filePath(QStringLiteral("saved.png"));
    m_prompt->fileAnswers.enqueue(saved);
    QSignalSpy notices(m_grid.get(), &ResultGrid::notice);
    QVERIFY(viewer->saveToFile());
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), png);
    QCOMPARE(notices.count(), 1);

    // Loaded from one into the row being edited; the post stores it.
    m_grid->setCurrentIndex(m_model->index(3, 1));
    QVERIFY(m_grid->action(Action::LoadValue)->isEnabled());
    m_prompt->fileAnswers.enqueue(saved);
    m_grid->action(Action::LoadValue)->trigger();
    QCOMPARE(m_model->editor()->state(), RowEditor::State::Edit);
    QVERIFY(m_model->index(3, 1).data().toString().startsWith(QLatin1String("(PNG image")));
    QVERIFY(m_model->editor()->post());
    QCOMPARE(m_conn->execute(QStringLiteral("SELECT pic FROM t WHERE id = 4"))
                 .recordset->value(0, 0)
                 .toByteArray(),
             png);
    // A cell without bytes has nothing to open.
    m_grid->setCurrentIndex(m_model->index(1, 1));
    QVERIFY(!m_grid->action(Action::OpenValue)->isEnabled());
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(u'\n')));
}

void TestResultGrid::widthsGrowWithTheValuesScrolledPast()
{
    m_conn->execute(QStringLiteral("CREATE TABLE w (id INTEGER PRIMARY KEY, name TEXT, score TEXT)"));
    m_conn->execute(
        QStringLiteral("WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 400) "
                       "INSERT INTO w SELECT i, CASE WHEN i > 380 THEN printf('%.30c', 'w') ELSE 'x' END, "
                       "CASE WHEN i > 390 THEN printf('%.60c', '9') ELSE 'y' END FROM c"));
    open(QStringLiteral("SELECT id, name, score FROM w"));
    const int name = m_grid->columnWidth(1);
    const int score = m_grid->columnWidth(2);
    // The user narrows the score column by hand: it keeps that width.
    m_grid->setColumnWidth(2, score - 2);
    m_grid->scrollToBottom();
    QTRY_VERIFY(m_grid->columnWidth(1) > name);
    const int wide = qMin(m_grid->fontMetrics().horizontalAdvance(QString(30, u'w')) + 10,
                          ResultGrid::maxGrownColumnWidth);
    QCOMPARE(m_grid->columnWidth(1), wide);
    QCOMPARE(m_grid->columnWidth(2), score - 2);
    // Back at the top nothing shrinks.
    m_grid->scrollToTop();
    QTest::qWait(100);
    QCOMPARE(m_grid->columnWidth(1), wide);
    // A double click on the title's edge fits the column to the widest value seen.
    const ResultHeader *header = m_grid->resultHeader();
    QTest::mouseDClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                       QPoint(header->sectionViewportPosition(2) + header->sectionSize(2) - 1, 5));
    QCOMPARE(m_grid->columnWidth(2), m_grid->fontMetrics().horizontalAdvance(QString(60, u'9')) + 10);
    QCOMPARE(m_grid->widestSeen(2), m_grid->columnWidth(2));
    // Ctrl+Shift+W fits them all, the titles too.
    m_grid->setColumnWidth(0, 3);
    QTest::keyClick(m_grid.get(), Qt::Key_W, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(m_grid->columnWidth(0) >= QFontMetrics(header->font()).horizontalAdvance(QStringLiteral("id")));
}

void TestResultGrid::commandsSpeakTheInterfaceLanguage()
{
    open(QStringLiteral("SELECT id FROM t"));
    setUiLanguage(QStringLiteral("pt-BR"));
    std::unique_ptr<QMenu> menu(m_grid->makeContextMenu(nullptr));
    const GridTexts &t = portugueseTexts().grid;
    QCOMPARE(m_grid->action(Action::Copy)->text(), t.copy);
    QCOMPARE(m_grid->action(Action::FitAllColumns)->text(), t.fitAllColumns);
    QCOMPARE(m_grid->findBar()->textBox()->placeholderText(), t.findPlaceholder);
    for (QAction *a : m_grid->commands())
        QVERIFY2(!a->text().isEmpty() && a->text() != englishTexts().grid.copy, qPrintable(a->text()));
}

QTEST_MAIN(TestResultGrid)
#include "tst_resultgrid.moc"
