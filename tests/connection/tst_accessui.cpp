#include "ScriptedPrompt.h"

#include "WindowDriver.h"
#include "editor/SqlEditor.h"
#include "query/Query.h"

#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

// An Access file opened through the main window, as a user would: tree, structure, query.

class TestAccessUi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void openingFillsCaptionTreeAndFacts();
    void clickDescribesAndDoubleClickQueries();

private:
    QString m_path;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<MainWindow> m_view;
};

void TestAccessUi::initTestCase()
{
    m_path = QDir::cleanPath(QDir(qEnvironmentVariable("ORVESSA_SOURCE_DIR"))
                                 .filePath(QStringLiteral("../shared/data/access/indexTestV2003.mdb")));
    if (!QFileInfo::exists(m_path)) {
        if (qEnvironmentVariable("CI") == QLatin1StringView("true"))
            QFAIL(qPrintable(QStringLiteral("The Access sample file %1 is missing.").arg(m_path)));
        QSKIP("The Access sample files (shared/data/access beside the clone) are not here.");
    }
}

void TestAccessUi::init()
{
    m_prompt = std::make_unique<ScriptedPrompt>();
    m_view = std::make_unique<MainWindow>();
    m_view->applyLanguage();
    m_view->session().profile.connectionString =
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + m_path;
    ui(*m_view).press(Command::Connect);
}

void TestAccessUi::cleanup()
{
    m_view.reset();
    m_prompt.reset();
}

void TestAccessUi::openingFillsCaptionTreeAndFacts()
{
    QVERIFY2(m_view->session().connection().isOpen(), qPrintable(ui(*m_view).log()->toPlainText()));
    QVERIFY(m_view->session().facts.isAccess);
    QCOMPARE(m_view->windowTitle(),
             QStringLiteral("Orvessa (Microsoft.Jet.OLEDB.4.0) Microsoft Access 97-2003"));
    QCOMPARE(m_view->session().facts.databaseFileName, m_path);
    QCOMPARE(m_view->session().facts.databaseName, QStringLiteral("indexTestV2003.mdb"));
    QCOMPARE(m_prompt->beeps, 0);

    QCOMPARE(ui(*m_view).tree()->topLevelItemCount(), 1);
    const QTreeWidgetItem *root = ui(*m_view).tree()->topLevelItem(0);
    QCOMPARE(root->text(0), QStringLiteral("indexTestV2003.mdb"));
    QStringList tables;
    for (int i = 0; i < root->childCount(); ++i)
        tables.append(root->child(i)->text(0));
    QCOMPARE(tables, (QStringList{"Table1", "Table2", "Table3"}));
    QCOMPARE(root->child(0)->childCount(), 5);
}

void TestAccessUi::clickDescribesAndDoubleClickQueries()
{
    QTreeWidgetItem *table1 = ui(*m_view).tree()->topLevelItem(0)->child(0);
    ui(*m_view).tree()->setCurrentItem(table1);
    ui(*m_view).press(Command::DescribeTable);
    QTableWidget *grid = ui(*m_view).structureGrid();
    QCOMPARE(grid->rowCount(), 6);
    auto cell = [grid](int row, int column) {
        return grid->item(row, column) ? grid->item(row, column)->text() : QString();
    };
    QCOMPARE(cell(1, 0), QStringLiteral("PK"));
    QCOMPARE(cell(1, 1), QStringLiteral("id"));
    QCOMPARE(cell(1, 4), QStringLiteral("not null"));
    QCOMPARE(cell(2, 0), QStringLiteral("FK"));
    QCOMPARE(cell(3, 0), QStringLiteral("FK"));
    QCOMPARE(cell(4, 1), QStringLiteral("data"));
    QCOMPARE(cell(4, 2), QStringLiteral("WideString"));
    QCOMPARE(cell(4, 3), QStringLiteral("50"));
    QCOMPARE(cell(4, 4), QStringLiteral("null"));
    QCOMPARE(cell(5, 0), QString());

    ui(*m_view).press(Command::QueryTable);
    QCOMPARE(ui(*m_view).editor()->text(), QStringLiteral("SELECT * FROM Table1\nORDER BY id"));
    QVERIFY2(m_view->session().query().isOpen(), qPrintable(ui(*m_view).log()->toPlainText()));
    QCOMPARE(m_view->session().query().recordset()->rowCount(), qint64(4));
    QCOMPARE(m_view->session().query().recordset()->value(3, 3).toString(), QStringLiteral("baz13"));
    QCOMPARE(m_prompt->beeps, 0);
}

QTEST_MAIN(TestAccessUi)
#include "tst_accessui.moc"
