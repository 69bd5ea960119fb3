#include "ScriptedPrompt.h"

#include "editor/SqlEditor.h"
#include "query/Query.h"
#include "shell/UMainView.h"

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
    std::unique_ptr<TMainView> m_view;
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
    m_view = std::make_unique<TMainView>();
    m_view->ApplyLanguage();
    m_view->ProfileConnectionString =
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + m_path;
    m_view->OpenConnection();
}

void TestAccessUi::cleanup()
{
    m_view.reset();
    m_prompt.reset();
}

void TestAccessUi::openingFillsCaptionTreeAndFacts()
{
    QVERIFY2(m_view->ADOConnection1->isOpen(), qPrintable(m_view->reMessages->toPlainText()));
    QVERIFY(m_view->IsAccess);
    QCOMPARE(m_view->windowTitle(),
             QStringLiteral("Orvessa (Microsoft.Jet.OLEDB.4.0) Microsoft Access 97-2003"));
    QCOMPARE(m_view->DatabaseFileName, m_path);
    QCOMPARE(m_view->DatabaseName, QStringLiteral("indexTestV2003.mdb"));
    QCOMPARE(m_prompt->beeps, 0);

    QCOMPARE(m_view->TreeView1->topLevelItemCount(), 1);
    const QTreeWidgetItem *root = m_view->TreeView1->topLevelItem(0);
    QCOMPARE(root->text(0), QStringLiteral("indexTestV2003.mdb"));
    QStringList tables;
    for (int i = 0; i < root->childCount(); ++i)
        tables.append(root->child(i)->text(0));
    QCOMPARE(tables, (QStringList{"Table1", "Table2", "Table3"}));
    QCOMPARE(root->child(0)->childCount(), 5);
}

void TestAccessUi::clickDescribesAndDoubleClickQueries()
{
    QTreeWidgetItem *table1 = m_view->TreeView1->topLevelItem(0)->child(0);
    m_view->TreeView1->setCurrentItem(table1);
    m_view->TreeView1Click();
    QTableWidget *grid = m_view->StringGrid1;
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

    m_view->TreeView1DblClick();
    QCOMPARE(m_view->SynEdit1->text(), QStringLiteral("SELECT * FROM Table1\nORDER BY id"));
    QVERIFY2(m_view->ADOQuery1->isOpen(), qPrintable(m_view->reMessages->toPlainText()));
    QCOMPARE(m_view->ADOQuery1->recordset()->rowCount(), qint64(4));
    QCOMPARE(m_view->ADOQuery1->recordset()->value(3, 3).toString(), QStringLiteral("baz13"));
    QCOMPARE(m_prompt->beeps, 0);
}

QTEST_MAIN(TestAccessUi)
#include "tst_accessui.moc"
