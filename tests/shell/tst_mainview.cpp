#include "ScriptedPrompt.h"
#include "about/AboutBox.h"
#include "common/AppError.h"
#include "editor/SqlEditor.h"
#include "query/RecordNavigator.h"
#include "query/ResultGrid.h"
#include "shell/Language.h"
#include "shell/UMainView.h"
#include "shell/WheelKeyFilter.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QWheelEvent>

namespace {
// Every text the language switch writes.
QStringList languageTexts(TMainView &v, AboutBox &about)
{
    QStringList t;
    for (QAction *a :
         {v.File1,   v.Connect1, v.Disconnect1, v.Load1,      v.Save1,    v.Exit1,     v.Edit1,
          v.View1,   v.Expand1,  v.Collapse1,   v.Refresh1,   v.Tools1,   v.mRun,      v.mStats,
          v.mReport, v.mCompact, v.Window1,     v.Structure1, v.SQL1,     v.Messages1, v.Language1,
          v.Help1,   v.About1,   v.En_US,       v.Pt_BR,      v.Pelmora1, v.mExport})
        t << a->text();
    for (QToolButton *b : {v.ToolButton1, v.ToolButton2, v.ToolButton3, v.ToolButton4, v.ToolButton5,
                           v.btLoad, v.btSave, v.btRun, v.btStats, v.btReport, v.btAbout})
        t << b->toolTip();
    for (int i = 0; i < v.PageControl1->count(); ++i)
        t << v.PageControl1->tabText(i);
    t << v.Button1->text() << v.btClearMessages->text() << v.StringGrid1->toolTip();
    for (int c = 0; c < 5; ++c)
        t << v.StringGrid1->item(0, c)->text();
    t << v.DBNavigator1->hints();
    t << about.windowTitle() << about.versionLine->text() << about.legalText->toPlainText();
    t << v.TextSaveAs << v.TextFileExists << v.TextUndefined << v.TextCompactConfirm << v.TextSendToExcel
      << v.TextFileNotFound << v.TextCannotRename << v.TextCannotDelete << v.TextReporting << v.TextWait
      << v.TextReady;
    return t;
}
} // namespace

class TestMainView : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScriptedPrompt> prompt;
    std::unique_ptr<TMainView> view;
    std::unique_ptr<AboutBox> about;

    QObject *sender(const QString &name)
    {
        TMainView &v = *view;
        const QHash<QString, QObject *> all = {{"Connect1", v.Connect1},
                                               {"ToolButton1", v.ToolButton1},
                                               {"Disconnect1", v.Disconnect1},
                                               {"ToolButton2", v.ToolButton2},
                                               {"Load1", v.Load1},
                                               {"btLoad", v.btLoad},
                                               {"Save1", v.Save1},
                                               {"btSave", v.btSave},
                                               {"Exit1", v.Exit1},
                                               {"Edit1", v.Edit1},
                                               {"Expand1", v.Expand1},
                                               {"ToolButton3", v.ToolButton3},
                                               {"Collapse1", v.Collapse1},
                                               {"ToolButton4", v.ToolButton4},
                                               {"Refresh1", v.Refresh1},
                                               {"ToolButton5", v.ToolButton5},
                                               {"mRun", v.mRun},
                                               {"btRun", v.btRun},
                                               {"mStats", v.mStats},
                                               {"btStats", v.btStats},
                                               {"mReport", v.mReport},
                                               {"btReport", v.btReport},
                                               {"mCompact", v.mCompact},
                                               {"Structure1", v.Structure1},
                                               {"SQL1", v.SQL1},
                                               {"Messages1", v.Messages1},
                                               {"En_US", v.En_US},
                                               {"Pt_BR", v.Pt_BR},
                                               {"Pelmora1", v.Pelmora1},
                                               {"About1", v.About1},
                                               {"btAbout", v.btAbout},
                                               {"mExport", v.mExport}};
        return all.value(name);
    }

    // Clicks a sender the way the user does, through its signal.
    static void press(QObject *sender)
    {
        if (auto *action = qobject_cast<QAction *>(sender)) {
            action->setEnabled(true);
            action->trigger();
        } else if (auto *button = qobject_cast<QToolButton *>(sender)) {
            button->setEnabled(true);
            button->click();
        }
    }

    void fillTree()
    {
        auto *root = new QTreeWidgetItem(view->TreeView1, QStringList{"demo.db"});
        for (const char *table : {"Customers", "Orders"}) {
            auto *node = new QTreeWidgetItem(root, QStringList{QString::fromLatin1(table)});
            new QTreeWidgetItem(node, QStringList{"Id"});
        }
    }

private slots:
    void init()
    {
        setUiLanguage(QStringLiteral("en-US"));
        prompt = std::make_unique<ScriptedPrompt>();
        view = std::make_unique<TMainView>();
        about = std::make_unique<AboutBox>(view.get());
        about->versionLine->setText(QStringLiteral("Version 2.1.3.4"));
        view->setAbout(about.get());
        view->ApplyLanguage();
        view->UpdateCommands();
    }

    void cleanup()
    {
        about.reset();
        view.reset();
        prompt.reset();
    }

    void createdWithoutConnection()
    {
        TMainView &v = *view;
        QCOMPARE(v.windowTitle(), QStringLiteral("Orvessa"));
        QVERIFY(v.AppFolder.endsWith(u'/'));
        QVERIFY(v.ProfileFileName.isEmpty());
        QCOMPARE(v.PageControl1->currentWidget(), v.TabSheet1);
        QVERIFY(!v.PageControl1->isTabVisible(v.PageControl1->indexOf(v.TabSheet4)));
        QVERIFY(!v.Button1->isEnabled());
        QVERIFY(v.reMessages->toPlainText().isEmpty());
        QCOMPARE(v.OpenDialog1.folder, v.AppFolder);
        QCOMPARE(v.SaveDialog1.defaultSuffix, QStringLiteral("ovs"));
        QVERIFY(v.OpenDialog1.filter.startsWith(QStringLiteral("Orvessa (*.ovs)")));
        QVERIFY(v.OpenDialog1.filter.contains(QStringLiteral("*.OVS")));
        QCOMPARE(v.StringGrid1->rowCount(), 2);
        QCOMPARE(v.StringGrid1->columnCount(), 5);
        QCOMPARE(v.ToolBar1->height(), 29);
        QCOMPARE(v.btRun->size(), QSize(25, 24));
        QCOMPARE(v.btClearMessages->geometry(), QRect(10, 5, 75, 25));
        QCOMPARE(v.Button1->geometry(), QRect(10, 5, 75, 25));
        // Not connected: only Connect, Load and Exit.
        QVERIFY(v.Connect1->isEnabled() && v.Load1->isEnabled() && v.Exit1->isEnabled());
        QVERIFY(!v.Disconnect1->isEnabled() && !v.Save1->isEnabled() && !v.Edit1->isEnabled());
        QVERIFY(!v.ToolButton2->isEnabled() && !v.btRun->isEnabled());
        QVERIFY(v.Structure1->isChecked() && v.En_US->isChecked() && !v.Pt_BR->isChecked());
    }

    void eachSenderRunsItsRow_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("row");
        const std::pair<const char *, int> rows[] = {
            {"Connect1", 1},    {"ToolButton1", 1}, {"Disconnect1", 2}, {"ToolButton2", 2}, {"Load1", 3},
            {"btLoad", 3},      {"Save1", 4},       {"btSave", 4},      {"Exit1", 5},       {"Edit1", 6},
            {"Expand1", 7},     {"ToolButton3", 7}, {"Collapse1", 8},   {"ToolButton4", 8}, {"Refresh1", 9},
            {"ToolButton5", 9}, {"mRun", 10},       {"btRun", 10},      {"mStats", 11},     {"btStats", 11},
            {"mReport", 12},    {"btReport", 12},   {"mCompact", 13},   {"Structure1", 14}, {"SQL1", 15},
            {"Messages1", 16},  {"En_US", 17},      {"Pt_BR", 18},      {"Pelmora1", 19},   {"About1", 20},
            {"btAbout", 20},    {"mExport", 21}};
        for (const auto &[name, row] : rows)
            QTest::newRow(name) << QString::fromLatin1(name) << row;
    }

    void eachSenderRunsItsRow()
    {
        QFETCH(QString, name);
        QFETCH(int, row);
        QList<int> ran;
        view->commandInterceptor = [&ran](int r) {
            ran.append(r);
            return true;
        };
        // UpdateCommands ends every click: it enables Load again.
        view->Load1->setEnabled(false);
        QObject *s = sender(name);
        QVERIFY(s);
        press(s);
        if (s != view->Load1)
            QVERIFY(view->Load1->isEnabled());
        QCOMPARE(ran, QList<int>{row});
    }

    void errorEndsTheCommandBeforeUpdateCommands()
    {
        view->commandInterceptor = [](int) -> bool {
            throw AppError(QStringLiteral("Cannot open the file"));
        };
        view->Load1->setEnabled(false);
        press(view->Structure1);
        QCOMPARE(prompt->errorReports, QStringList{QStringLiteral("Cannot open the file.")});
        QVERIFY(!view->Load1->isEnabled());
    }

    void treeCommandsExpandAndCollapseEveryNode()
    {
        fillTree();
        view->UpdateCommands();
        QVERIFY(view->Expand1->isEnabled() && view->ToolButton4->isEnabled());
        view->AnyClick(view->ToolButton3);
        QTreeWidgetItem *root = view->TreeView1->topLevelItem(0);
        QVERIFY(root->isExpanded() && root->child(0)->isExpanded() && root->child(1)->isExpanded());
        view->AnyClick(view->Collapse1);
        QVERIFY(!root->isExpanded() && !root->child(0)->isExpanded());
    }

    void windowItemsChangePageAndCheckMark_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("page");
        QTest::newRow("SQL") << "SQL1" << 1;
        QTest::newRow("Messages") << "Messages1" << 2;
        QTest::newRow("Structure") << "Structure1" << 0;
    }

    void windowItemsChangePageAndCheckMark()
    {
        QFETCH(QString, name);
        QFETCH(int, page);
        view->PageControl1->setCurrentIndex(2 - page);
        press(sender(name));
        QCOMPARE(view->PageControl1->currentIndex(), page);
        QCOMPARE(view->Structure1->isChecked(), page == 0);
        QCOMPARE(view->SQL1->isChecked(), page == 1);
        QCOMPARE(view->Messages1->isChecked(), page == 2);
    }

    void webSiteItemMinimisesThenOpensTheSite()
    {
        view->show();
        press(view->Pelmora1);
        QVERIFY(view->windowState() & Qt::WindowMinimized);
        QCOMPARE(prompt->openedUrls, QList<QUrl>{QUrl(QStringLiteral("https://pelmora.example/"))});
        view->bringToFront();
        QVERIFY(!(view->windowState() & Qt::WindowMinimized));
    }

    void aboutAppliesLanguageThenShowsTheBox()
    {
        setUiLanguage(QStringLiteral("pt-BR"));
        press(view->btAbout);
        QCOMPARE(prompt->modalShown, QList<QDialog *>{about.get()});
        QCOMPARE(about->windowTitle(), QStringLiteral("Sobre este software"));
        QCOMPARE(about->versionLine->text(), QStringLiteral(u"Versão 2.1.3.4"));
    }

    void exitClosesTheWindow()
    {
        view->show();
        press(view->Exit1);
        QVERIFY(!view->isVisible());
    }

    void loadPresetsTheProfileName()
    {
        view->ProfileFileName = QStringLiteral("/data/work.ovs");
        press(view->btLoad);
        QCOMPARE(prompt->openDialogs.size(), 1);
        QCOMPARE(prompt->openDialogs[0].fileName, QStringLiteral("/data/work.ovs"));
        QCOMPARE(prompt->openDialogs[0].folder, view->AppFolder);
    }

    void saveProposesTheFirstFreeName_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("proposed");
        QTest::newRow("first") << "en-US" << QStringList() << "Undefined1.ovs";
        QTest::newRow("after taken names")
            << "en-US" << QStringList{"Undefined1.ovs", "Undefined2.ovs"} << "Undefined3.ovs";
        QTest::newRow("a gap is reused") << "en-US" << QStringList{"Undefined2.ovs"} << "Undefined1.ovs";
        QTest::newRow("Portuguese") << "pt-BR" << QStringList{"Undefined1.ovs"} << "Indefinido1.ovs";
    }

    void saveProposesTheFirstFreeName()
    {
        QFETCH(QString, language);
        QFETCH(QStringList, existing);
        QFETCH(QString, proposed);
        QTemporaryDir dir;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        for (const QString &name : existing) {
            QFile f(name);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        setUiLanguage(language);
        view->ApplyLanguage();
        view->AnyClick(view->Save1);
        view->AnyClick(view->btSave);
        QDir::setCurrent(previous);
        // Cancelled: the proposal stays for the next dialogs.
        QCOMPARE(view->ProfileFileName, proposed);
        QCOMPARE(prompt->saveDialogs.size(), 2);
        QCOMPARE(prompt->saveDialogs[0].fileName, proposed);
        QCOMPARE(prompt->saveDialogs[1].fileName, proposed);
        QCOMPARE(prompt->saveDialogs[0].folder, view->AppFolder);
        view->AnyClick(view->Load1);
        QCOMPARE(prompt->openDialogs.last().fileName, proposed);
    }

    void languageSwitchThereAndBackRestoresEveryText_data()
    {
        QTest::addColumn<bool>("excelAvailable");
        QTest::newRow("with spreadsheet") << true;
        QTest::newRow("without spreadsheet") << false;
    }

    void languageSwitchThereAndBackRestoresEveryText()
    {
        QFETCH(bool, excelAvailable);
        TMainView &v = *view;
        v.ExcelAvailable = excelAvailable;
        v.ApplyLanguage();
        // A structure on show.
        v.StringGrid1->setRowCount(3);
        v.StringGrid1->setItem(1, 0, new QTableWidgetItem(QStringLiteral("PK")));
        v.StringGrid1->setItem(1, 1, new QTableWidgetItem(QStringLiteral("Id")));
        v.StringGrid1->setItem(2, 1, new QTableWidgetItem(QStringLiteral("Name")));
        v.StringGrid1->setColumnWidth(1, 123);
        const QStringList english = languageTexts(v, *about);

        press(v.Pt_BR);
        QVERIFY(v.Pt_BR->isChecked() && !v.En_US->isChecked());
        const QStringList portuguese = languageTexts(v, *about);
        QCOMPARE(v.mStats->text(), QStringLiteral(u"Estatísticas"));
        QCOMPARE(v.mExport->text(), QStringLiteral(u"Exportar dados…"));
        QCOMPARE(v.btReport->toolTip(), QStringLiteral(u"Relatório"));
        QCOMPARE(v.StringGrid1->item(0, 3)->text(), QStringLiteral("Larg"));
        QCOMPARE(v.DBNavigator1->hints().value(3), QStringLiteral(u"Último registro"));
        QCOMPARE(v.DBNavigator1->hints().value(7), QStringLiteral(u"Grava edição"));
        QCOMPARE(v.TextFileExists, QStringLiteral(u"Arquivo [%s] já existe. Sobrescrever?"));
        QCOMPARE(v.TextCompactConfirm, QStringLiteral(u"Compactar arquivo [%s]. Você tem certeza?"));
        QCOMPARE(v.TextSendToExcel, QStringLiteral(u"Enviar para o Microsoft® Excel?"));
        QCOMPARE(about->versionLine->text(), QStringLiteral(u"Versão 2.1.3.4"));
        QCOMPARE(v.StringGrid1->toolTip(),
                 excelAvailable ? QStringLiteral(u"Duplo clique para enviar para o Microsoft® Excel")
                                : QString());

        press(v.En_US);
        QVERIFY(v.En_US->isChecked() && !v.Pt_BR->isChecked());
        QCOMPARE(languageTexts(v, *about), english);
        QVERIFY(english != portuguese);
        QCOMPARE(v.StringGrid1->toolTip(),
                 excelAvailable ? QStringLiteral(u"Double click to send to Microsoft® Excel") : QString());
        QCOMPARE(about->versionLine->text(), QStringLiteral("Version 2.1.3.4"));
        // Only the header row changed.
        QCOMPARE(v.StringGrid1->rowCount(), 3);
        QCOMPARE(v.StringGrid1->item(1, 0)->text(), QStringLiteral("PK"));
        QCOMPARE(v.StringGrid1->item(2, 1)->text(), QStringLiteral("Name"));
        QCOMPARE(v.StringGrid1->columnWidth(1), 123);
    }

    void resetReturnsTheWorkAreaInTheCurrentLanguage()
    {
        TMainView &v = *view;
        fillTree();
        v.ProfileConnectionString = QStringLiteral("Provider=SQLite;Data Source=x.db");
        v.setWindowTitle(QStringLiteral("Orvessa - SQLite 3"));
        v.StringGrid1->setRowCount(6);
        v.StringGrid1->setItem(1, 1, new QTableWidgetItem(QStringLiteral("Id")));
        v.StringGrid1->show();
        v.SynEdit1->show();
        v.SynEdit1->setText(QStringLiteral("select 1"));
        v.RichEdit1->setPlainText(QStringLiteral("select"));
        v.Collapse1->setEnabled(true);
        setUiLanguage(QStringLiteral("pt-BR"));
        v.ResetStructureGrid();
        QCOMPARE(v.windowTitle(), QStringLiteral("Orvessa"));
        QVERIFY(v.ProfileConnectionString.isEmpty());
        QVERIFY(v.ADOConnection1->connectionString().isEmpty());
        QVERIFY(!v.Collapse1->isEnabled() && !v.ToolButton4->isEnabled());
        QCOMPARE(v.TreeView1->topLevelItemCount(), 0);
        QVERIFY(v.StringGrid1->isHidden() && v.SynEdit1->isHidden() && v.RichEdit1->isHidden() &&
                v.DBGrid1->isHidden());
        QCOMPARE(v.StringGrid1->rowCount(), 2);
        QVERIFY(!v.StringGrid1->item(1, 1) || v.StringGrid1->item(1, 1)->text().isEmpty());
        QCOMPARE(v.StringGrid1->columnWidth(0), 20);
        QCOMPARE(v.StringGrid1->columnWidth(1), 150);
        QCOMPARE(v.StringGrid1->columnWidth(2), 80);
        QCOMPARE(v.StringGrid1->columnWidth(3), 40);
        const QStringList header = {v.StringGrid1->item(0, 0)->text(), v.StringGrid1->item(0, 1)->text(),
                                    v.StringGrid1->item(0, 2)->text(), v.StringGrid1->item(0, 3)->text(),
                                    v.StringGrid1->item(0, 4)->text()};
        QCOMPARE(header, (QStringList{QString(), "Coluna", "Tipo", "Larg", "Atributos"}));
        QVERIFY(v.SynEdit1->text().isEmpty());
        QVERIFY(v.RichEdit1->toPlainText().isEmpty());
    }

    void notConnectedTakesTheReportPageAway()
    {
        TMainView &v = *view;
        v.PageControl1->setTabVisible(v.PageControl1->indexOf(v.TabSheet4), true);
        v.WebBrowser1->setHtml(QStringLiteral("<p>report</p>"));
        v.Button1->setEnabled(true);
        v.UpdateCommands();
        QVERIFY(!v.PageControl1->isTabVisible(v.PageControl1->indexOf(v.TabSheet4)));
        QVERIFY(v.WebBrowser1->toPlainText().isEmpty());
        QVERIFY(!v.Button1->isEnabled());
    }

    void typingEnablesOnlyTheRunButton()
    {
        TMainView &v = *view;
        v.mRun->setEnabled(false);
        v.SynEdit1->setText(QStringLiteral("select * from t"));
        QVERIFY(v.btRun->isEnabled());
        QVERIFY(!v.mRun->isEnabled());
        v.SynEdit1->setText(QStringLiteral("  \r\n  "));
        QVERIFY(!v.btRun->isEnabled());
    }

    void logLinesCarryTheTimeStamp()
    {
        TMainView &v = *view;
        v.LogMessage(QStringLiteral("first"));
        v.LogMessage(QStringLiteral(u"segunda linha ®"));
        const QStringList lines = v.reMessages->toPlainText().split(u'\n');
        QCOMPARE(lines.size(), 2);
        static const QRegularExpression stamp(
            QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d\|)"));
        QVERIFY2(stamp.match(lines[0]).hasMatch(), qPrintable(lines[0]));
        QVERIFY(lines[0].endsWith(QStringLiteral("|first")));
        QVERIFY(lines[1].endsWith(QStringLiteral(u"|segunda linha ®")));
        v.btClearMessages->click();
        QVERIFY(v.reMessages->toPlainText().isEmpty());
        v.LogMessage(QStringLiteral("again"));
        QCOMPARE(v.reMessages->document()->blockCount(), 1);
    }

    void reportedErrorBeepsShowsMessagesAndLogs()
    {
        TMainView &v = *view;
        v.reportError(QStringLiteral("no such table: x"));
        QCOMPARE(prompt->beeps, 1);
        QCOMPARE(v.PageControl1->currentWidget(), v.TabSheet3);
        QVERIFY(v.reMessages->toPlainText().endsWith(QStringLiteral("|no such table: x")));
    }

    void activationMaximisesWithinTheLimits_data()
    {
        QTest::addColumn<int>("widthLimit");
        QTest::addColumn<int>("heightLimit");
        QTest::addColumn<bool>("maximised");
        QTest::newRow("large screen") << 1280 << 793 << true;
        QTest::newRow("exactly the window") << 800 << 572 << true;
        QTest::newRow("too narrow") << 799 << 793 << false;
        QTest::newRow("too low") << 1280 << 571 << false;
    }

    void activationMaximisesWithinTheLimits()
    {
        QFETCH(int, widthLimit);
        QFETCH(int, heightLimit);
        QFETCH(bool, maximised);
        TMainView &v = *view;
        v.setScreenLimits(widthLimit, heightLimit);
        v.setWindowState(Qt::WindowNoState);
        v.resize(800, 572);
        v.FormActivate();
        QCOMPARE(bool(v.windowState() & Qt::WindowMaximized), maximised);
    }

    void wheelBecomesOneArrowKey()
    {
        TMainView &v = *view;
        fillTree();
        v.TreeView1->expandAll();
        v.show();
        QTreeWidgetItem *root = v.TreeView1->topLevelItem(0);
        v.TreeView1->setCurrentItem(root);
        QWidget *viewport = v.TreeView1->viewport();
        const QPointF at(5, 5);
        auto wheel = [&](int delta) {
            QWheelEvent event(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QVERIFY(QCoreApplication::sendEvent(viewport, &event));
        };
        wheel(-360);
        QCOMPARE(v.TreeView1->currentItem(), root->child(0));
        wheel(-120);
        QCOMPARE(v.TreeView1->currentItem(), root->child(0)->child(0));
        wheel(120);
        QCOMPARE(v.TreeView1->currentItem(), root->child(0));
    }

    void desktopDialogsKeepTheirWheel()
    {
        QFileDialog files;
        QWidget *inside = new QWidget(&files);
        QVERIFY(WheelKeyFilter::keepsWheel(inside));
        QWidget marked;
        marked.setProperty(WheelKeyFilter::kNoWheelRewrite, true);
        QVERIFY(WheelKeyFilter::keepsWheel(new QWidget(&marked)));
        QVERIFY(!WheelKeyFilter::keepsWheel(view->TreeView1->viewport()));
    }
};

QTEST_MAIN(TestMainView)
#include "tst_mainview.moc"
