#include "ScriptedPrompt.h"
#include "WindowDriver.h"
#include "about/AboutBox.h"
#include "common/AppError.h"
#include "editor/SqlEditor.h"
#include "query/RecordNavigator.h"
#include "query/ResultGrid.h"
#include "shell/Language.h"
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

#include <tuple>

namespace {
// Every text the language switch writes.
QStringList languageTexts(MainWindow &v, AboutBox &about)
{
    QStringList t;
    for (QAction *a : {ui(v).menuBarItem(0),
                       ui(v).action(Command::Connect),
                       ui(v).action(Command::Disconnect),
                       ui(v).action(Command::Load),
                       ui(v).action(Command::Save),
                       ui(v).action(Command::Exit),
                       ui(v).action(Command::Edit),
                       ui(v).menuBarItem(2),
                       ui(v).action(Command::Expand),
                       ui(v).action(Command::Collapse),
                       ui(v).action(Command::Refresh),
                       ui(v).menuBarItem(3),
                       ui(v).action(Command::Run),
                       ui(v).action(Command::Stats),
                       ui(v).action(Command::Report),
                       ui(v).action(Command::Compact),
                       ui(v).menuBarItem(4),
                       ui(v).action(Command::ShowStructure),
                       ui(v).action(Command::ShowSql),
                       ui(v).action(Command::ShowMessages),
                       ui(v).menuBarItem(5),
                       ui(v).menuBarItem(6),
                       ui(v).action(Command::About),
                       ui(v).action(Command::English),
                       ui(v).action(Command::Portuguese),
                       ui(v).action(Command::WebSite),
                       ui(v).action(Command::ExportData),
                       ui(v).action(Command::RunStatement),
                       ui(v).action(Command::RunScript),
                       ui(v).action(Command::ContinueScriptOnError),
                       ui(v).action(Command::Find),
                       ui(v).action(Command::OpenSqlFile),
                       ui(v).action(Command::SaveSqlFile),
                       ui(v).action(Command::SaveSqlFileAs),
                       ui(v).action(Command::ShowHistory)})
        t << a->text();
    for (QToolButton *b :
         {ui(v).button(Command::Connect), ui(v).button(Command::Disconnect), ui(v).button(Command::Expand),
          ui(v).button(Command::Collapse), ui(v).button(Command::Refresh), ui(v).button(Command::Load),
          ui(v).button(Command::Save), ui(v).button(Command::Run), ui(v).button(Command::Stats),
          ui(v).button(Command::Report), ui(v).button(Command::About)})
        t << b->toolTip();
    for (int i = 0; i < ui(v).pages()->count(); ++i)
        t << ui(v).pages()->tabText(i);
    t << ui(v).printButton()->text() << ui(v).clearLogButton()->text() << ui(v).structureGrid()->toolTip();
    for (int c = 0; c < 5; ++c)
        t << ui(v).structureGrid()->item(0, c)->text();
    t << ui(v).navigator()->hints();
    t << about.windowTitle() << about.versionLine->text() << about.legalText->toPlainText();
    t << uiTexts().saveAsQuestion << uiTexts().fileExistsQuestion << uiTexts().undefinedName
      << uiTexts().compactQuestion << uiTexts().sendToSpreadsheetQuestion << uiTexts().fileNotFoundText
      << uiTexts().cannotRenameText << uiTexts().cannotDeleteText << uiTexts().reportingText
      << uiTexts().waitText << uiTexts().readyText;
    return t;
}
} // namespace

Q_DECLARE_METATYPE(Command)

class TestMainWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScriptedPrompt> prompt;
    std::unique_ptr<MainWindow> view;
    std::unique_ptr<AboutBox> about;

    // Every menu item and tool button that starts a command, by the name the user sees.
    static QList<std::tuple<const char *, Command, bool>> senders()
    {
        return {{"File > Connect", Command::Connect, false},
                {"Connect button", Command::Connect, true},
                {"File > Disconnect", Command::Disconnect, false},
                {"Disconnect button", Command::Disconnect, true},
                {"File > Load", Command::Load, false},
                {"Load button", Command::Load, true},
                {"File > Save", Command::Save, false},
                {"Save button", Command::Save, true},
                {"File > Exit", Command::Exit, false},
                {"Edit", Command::Edit, false},
                {"View > Expand", Command::Expand, false},
                {"Expand button", Command::Expand, true},
                {"View > Collapse", Command::Collapse, false},
                {"Collapse button", Command::Collapse, true},
                {"View > Refresh", Command::Refresh, false},
                {"Refresh button", Command::Refresh, true},
                {"Tools > Run", Command::Run, false},
                {"Run button", Command::Run, true},
                {"Tools > Stats", Command::Stats, false},
                {"Stats button", Command::Stats, true},
                {"Tools > Report", Command::Report, false},
                {"Report button", Command::Report, true},
                {"Tools > Compact", Command::Compact, false},
                {"Window > Structure", Command::ShowStructure, false},
                {"Window > SQL", Command::ShowSql, false},
                {"Window > Messages", Command::ShowMessages, false},
                {"Language > English", Command::English, false},
                {"Language > Portuguese", Command::Portuguese, false},
                {"Help > web site", Command::WebSite, false},
                {"Help > About", Command::About, false},
                {"About button", Command::About, true},
                {"Tools > Export data", Command::ExportData, false},
                {"Tools > Run statement", Command::RunStatement, false},
                {"Tools > Run script", Command::RunScript, false},
                {"Tools > Continue script after errors", Command::ContinueScriptOnError, false},
                {"Tools > Find", Command::Find, false},
                {"Tools > Open SQL file", Command::OpenSqlFile, false},
                {"Tools > Save SQL file", Command::SaveSqlFile, false},
                {"Tools > Save SQL file as", Command::SaveSqlFileAs, false},
                {"Tools > History", Command::ShowHistory, false}};
    }

    // Clicks a sender the way the user does, through its signal, and waits for its command.
    void press(QObject *sender)
    {
        if (auto *action = qobject_cast<QAction *>(sender)) {
            action->setEnabled(true);
            action->trigger();
        } else if (auto *button = qobject_cast<QToolButton *>(sender)) {
            button->setEnabled(true);
            button->click();
        }
        ui(*view).settle();
    }

    void fillTree()
    {
        auto *root = new QTreeWidgetItem(ui(*view).tree(), QStringList{"demo.db"});
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
        view = std::make_unique<MainWindow>();
        about = std::make_unique<AboutBox>(view.get());
        about->versionLine->setText(QStringLiteral("Version 2.1.3.4"));
        view->setAboutBox(about.get());
        view->applyLanguage();
        view->updateCommands();
    }

    void cleanup()
    {
        about.reset();
        view.reset();
        prompt.reset();
    }

    void createdWithoutConnection()
    {
        MainWindow &v = *view;
        QCOMPARE(v.windowTitle(), QStringLiteral("Orvessa"));
        QVERIFY(v.session().profile.fileName.isEmpty());
        QCOMPARE(ui(v).pages()->currentWidget(), ui(v).page(Page::Structure));
        QVERIFY(!ui(v).pages()->isTabVisible(ui(v).pages()->indexOf(ui(v).page(Page::Report))));
        QVERIFY(!ui(v).printButton()->isEnabled());
        QVERIFY(ui(v).log()->toPlainText().isEmpty());
        QCOMPARE(ui(v).structureGrid()->rowCount(), 2);
        QCOMPARE(ui(v).structureGrid()->columnCount(), 5);
        QCOMPARE(ui(v).toolBar()->height(), 29);
        QCOMPARE(ui(v).button(Command::Run)->size(), QSize(25, 24));
        QCOMPARE(ui(v).clearLogButton()->geometry(), QRect(10, 5, 75, 25));
        QCOMPARE(ui(v).printButton()->geometry(), QRect(10, 5, 75, 25));
        // Not connected: only Connect, Load and Exit.
        QVERIFY(ui(v).action(Command::Connect)->isEnabled() && ui(v).action(Command::Load)->isEnabled() &&
                ui(v).action(Command::Exit)->isEnabled());
        QVERIFY(!ui(v).action(Command::Disconnect)->isEnabled() &&
                !ui(v).action(Command::Save)->isEnabled() && !ui(v).action(Command::Edit)->isEnabled());
        QVERIFY(!ui(v).button(Command::Disconnect)->isEnabled() && !ui(v).button(Command::Run)->isEnabled());
        for (Command workbench :
             {Command::RunStatement, Command::RunScript, Command::OpenSqlFile, Command::ShowHistory})
            QVERIFY(!ui(v).action(workbench)->isEnabled());
        QVERIFY(ui(v).action(Command::ShowStructure)->isChecked() &&
                ui(v).action(Command::English)->isChecked() &&
                !ui(v).action(Command::Portuguese)->isChecked());
    }

    void eachSenderRunsItsCommand_data()
    {
        QTest::addColumn<Command>("command");
        QTest::addColumn<bool>("toolButton");
        for (const auto &[name, command, toolButton] : senders())
            QTest::newRow(name) << command << toolButton;
    }

    void eachSenderRunsItsCommand()
    {
        QFETCH(Command, command);
        QFETCH(bool, toolButton);
        QList<Command> ran;
        view->commands().setInterceptor([&ran](Command c) {
            ran.append(c);
            return true;
        });
        // The command-state update ends every command of the menus: it enables Load again.
        ui(*view).action(Command::Load)->setEnabled(false);
        QObject *s = toolButton ? static_cast<QObject *>(ui(*view).button(command))
                                : static_cast<QObject *>(ui(*view).action(command));
        QVERIFY(s);
        press(s);
        if (command != Command::Load)
            QVERIFY(ui(*view).action(Command::Load)->isEnabled());
        QCOMPARE(ran, QList<Command>{command});
    }

    void errorEndsTheCommandBeforeUpdateCommands()
    {
        view->commands().setInterceptor(
            [](Command) -> bool { throw AppError(QStringLiteral("Cannot open the file")); });
        ui(*view).action(Command::Load)->setEnabled(false);
        ui(*view).press(Command::ShowStructure);
        QCOMPARE(prompt->errorReports, QStringList{QStringLiteral("Cannot open the file.")});
        QVERIFY(!ui(*view).action(Command::Load)->isEnabled());
    }

    void treeCommandsExpandAndCollapseEveryNode()
    {
        fillTree();
        view->updateCommands();
        QVERIFY(ui(*view).action(Command::Expand)->isEnabled() &&
                ui(*view).button(Command::Collapse)->isEnabled());
        ui(*view).pressButton(Command::Expand);
        QTreeWidgetItem *root = ui(*view).tree()->topLevelItem(0);
        QVERIFY(root->isExpanded() && root->child(0)->isExpanded() && root->child(1)->isExpanded());
        ui(*view).press(Command::Collapse);
        QVERIFY(!root->isExpanded() && !root->child(0)->isExpanded());
    }

    void windowItemsChangePageAndCheckMark_data()
    {
        QTest::addColumn<Command>("command");
        QTest::addColumn<int>("page");
        QTest::newRow("SQL") << Command::ShowSql << 1;
        QTest::newRow("Messages") << Command::ShowMessages << 2;
        QTest::newRow("Structure") << Command::ShowStructure << 0;
    }

    void windowItemsChangePageAndCheckMark()
    {
        QFETCH(Command, command);
        QFETCH(int, page);
        ui(*view).pages()->setCurrentIndex(2 - page);
        ui(*view).press(command);
        QCOMPARE(ui(*view).pages()->currentIndex(), page);
        QCOMPARE(ui(*view).action(Command::ShowStructure)->isChecked(), page == 0);
        QCOMPARE(ui(*view).action(Command::ShowSql)->isChecked(), page == 1);
        QCOMPARE(ui(*view).action(Command::ShowMessages)->isChecked(), page == 2);
    }

    void webSiteItemMinimisesThenOpensTheSite()
    {
        view->show();
        ui(*view).press(Command::WebSite);
        QVERIFY(view->windowState() & Qt::WindowMinimized);
        QCOMPARE(prompt->openedUrls, QList<QUrl>{QUrl(QStringLiteral("https://pelmora.example/"))});
        view->bringToFront();
        QVERIFY(!(view->windowState() & Qt::WindowMinimized));
    }

    void aboutAppliesLanguageThenShowsTheBox()
    {
        setUiLanguage(QStringLiteral("pt-BR"));
        ui(*view).pressButton(Command::About);
        QCOMPARE(prompt->modalShown, QList<QDialog *>{about.get()});
        QCOMPARE(about->windowTitle(), QStringLiteral("Sobre este software"));
        QCOMPARE(about->versionLine->text(), QStringLiteral(u"Versão 2.1.3.4"));
    }

    void exitClosesTheWindow()
    {
        view->show();
        ui(*view).press(Command::Exit);
        QVERIFY(!view->isVisible());
    }

    void loadPresetsTheProfileName()
    {
        view->session().profile.fileName = QStringLiteral("/data/work.ovs");
        ui(*view).pressButton(Command::Load);
        QCOMPARE(prompt->openDialogs.size(), 1);
        QCOMPARE(prompt->openDialogs[0].fileName, QStringLiteral("/data/work.ovs"));
        // The profile dialogs start in the program's folder, on .ovs files.
        QCOMPARE(prompt->openDialogs[0].folder, QCoreApplication::applicationDirPath() + u'/');
        QCOMPARE(prompt->openDialogs[0].defaultSuffix, QStringLiteral("ovs"));
        QVERIFY(prompt->openDialogs[0].filter.startsWith(QStringLiteral("Orvessa (*.ovs)")));
        QVERIFY(prompt->openDialogs[0].filter.contains(QStringLiteral("*.OVS")));
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
        view->applyLanguage();
        ui(*view).press(Command::Save);
        ui(*view).pressButton(Command::Save);
        QDir::setCurrent(previous);
        // Cancelled: the proposal stays for the next dialogs.
        QCOMPARE(view->session().profile.fileName, proposed);
        QCOMPARE(prompt->saveDialogs.size(), 2);
        QCOMPARE(prompt->saveDialogs[0].fileName, proposed);
        QCOMPARE(prompt->saveDialogs[1].fileName, proposed);
        QCOMPARE(prompt->saveDialogs[0].folder, QCoreApplication::applicationDirPath() + u'/');
        ui(*view).press(Command::Load);
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
        MainWindow &v = *view;
        v.setSpreadsheetAvailable(excelAvailable);
        v.applyLanguage();
        // A structure on show.
        ui(v).structureGrid()->setRowCount(3);
        ui(v).structureGrid()->setItem(1, 0, new QTableWidgetItem(QStringLiteral("PK")));
        ui(v).structureGrid()->setItem(1, 1, new QTableWidgetItem(QStringLiteral("Id")));
        ui(v).structureGrid()->setItem(2, 1, new QTableWidgetItem(QStringLiteral("Name")));
        ui(v).structureGrid()->setColumnWidth(1, 123);
        const QStringList english = languageTexts(v, *about);

        ui(v).press(Command::Portuguese);
        QVERIFY(ui(v).action(Command::Portuguese)->isChecked() &&
                !ui(v).action(Command::English)->isChecked());
        const QStringList portuguese = languageTexts(v, *about);
        QCOMPARE(ui(v).action(Command::Stats)->text(), QStringLiteral(u"Estatísticas"));
        QCOMPARE(ui(v).action(Command::ExportData)->text(), QStringLiteral(u"Exportar dados…"));
        QCOMPARE(ui(v).action(Command::RunScript)->text(), QStringLiteral("Executar script"));
        QCOMPARE(ui(v).action(Command::ShowHistory)->text(), QStringLiteral(u"Histórico…"));
        QCOMPARE(ui(v).button(Command::Report)->toolTip(), QStringLiteral(u"Relatório"));
        QCOMPARE(ui(v).structureGrid()->item(0, 3)->text(), QStringLiteral("Larg"));
        QCOMPARE(ui(v).navigator()->hints().value(3), QStringLiteral(u"Último registro"));
        QCOMPARE(ui(v).navigator()->hints().value(7), QStringLiteral(u"Grava edição"));
        QCOMPARE(uiTexts().fileExistsQuestion, QStringLiteral(u"Arquivo [%s] já existe. Sobrescrever?"));
        QCOMPARE(uiTexts().compactQuestion, QStringLiteral(u"Compactar arquivo [%s]. Você tem certeza?"));
        QCOMPARE(uiTexts().sendToSpreadsheetQuestion, QStringLiteral(u"Enviar para o Microsoft® Excel?"));
        QCOMPARE(about->versionLine->text(), QStringLiteral(u"Versão 2.1.3.4"));
        QCOMPARE(ui(v).structureGrid()->toolTip(),
                 excelAvailable ? QStringLiteral(u"Duplo clique para enviar para o Microsoft® Excel")
                                : QString());

        ui(v).press(Command::English);
        QVERIFY(ui(v).action(Command::English)->isChecked() &&
                !ui(v).action(Command::Portuguese)->isChecked());
        QCOMPARE(languageTexts(v, *about), english);
        QVERIFY(english != portuguese);
        QCOMPARE(ui(v).structureGrid()->toolTip(),
                 excelAvailable ? QStringLiteral(u"Double click to send to Microsoft® Excel") : QString());
        QCOMPARE(about->versionLine->text(), QStringLiteral("Version 2.1.3.4"));
        // Only the header row changed.
        QCOMPARE(ui(v).structureGrid()->rowCount(), 3);
        QCOMPARE(ui(v).structureGrid()->item(1, 0)->text(), QStringLiteral("PK"));
        QCOMPARE(ui(v).structureGrid()->item(2, 1)->text(), QStringLiteral("Name"));
        QCOMPARE(ui(v).structureGrid()->columnWidth(1), 123);
    }

    void disconnectReturnsTheWorkAreaInTheCurrentLanguage()
    {
        MainWindow &v = *view;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("x.db"));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const QString cs = QStringLiteral("Provider=SQLite;Data Source=") + path;
        v.session().profile.connectionString = cs;
        ui(v).press(Command::Connect);
        QVERIFY(v.session().connection().isOpen());
        QCOMPARE(ui(v).tree()->topLevelItemCount(), 1);
        ui(v).structureGrid()->setRowCount(6);
        ui(v).structureGrid()->setItem(1, 1, new QTableWidgetItem(QStringLiteral("Id")));
        ui(v).structureGrid()->show();
        ui(v).editor()->show();
        ui(v).editor()->setText(QStringLiteral("select 1"));
        ui(v).scratch()->setPlainText(QStringLiteral("select"));
        ui(v).action(Command::Collapse)->setEnabled(true);
        setUiLanguage(QStringLiteral("pt-BR"));
        ui(v).press(Command::Disconnect);
        QCOMPARE(v.windowTitle(), QStringLiteral("Orvessa"));
        QVERIFY(v.session().profile.connectionString.isEmpty());
        QVERIFY(v.session().connection().connectionString().isEmpty());
        QVERIFY(!ui(v).action(Command::Collapse)->isEnabled() &&
                !ui(v).button(Command::Collapse)->isEnabled());
        QCOMPARE(ui(v).tree()->topLevelItemCount(), 0);
        QVERIFY(ui(v).structureGrid()->isHidden() && ui(v).editor()->isHidden() &&
                ui(v).scratch()->isHidden() && ui(v).resultGrid()->isHidden());
        QCOMPARE(ui(v).structureGrid()->rowCount(), 2);
        QVERIFY(!ui(v).structureGrid()->item(1, 1) || ui(v).structureGrid()->item(1, 1)->text().isEmpty());
        QCOMPARE(ui(v).structureGrid()->columnWidth(0), 20);
        QCOMPARE(ui(v).structureGrid()->columnWidth(1), 150);
        QCOMPARE(ui(v).structureGrid()->columnWidth(2), 80);
        QCOMPARE(ui(v).structureGrid()->columnWidth(3), 40);
        const QStringList header = {
            ui(v).structureGrid()->item(0, 0)->text(), ui(v).structureGrid()->item(0, 1)->text(),
            ui(v).structureGrid()->item(0, 2)->text(), ui(v).structureGrid()->item(0, 3)->text(),
            ui(v).structureGrid()->item(0, 4)->text()};
        QCOMPARE(header, (QStringList{QString(), "Coluna", "Tipo", "Larg", "Atributos"}));
        QVERIFY(ui(v).editor()->text().isEmpty());
        QVERIFY(ui(v).scratch()->toPlainText().isEmpty());
    }

    void notConnectedTakesTheReportPageAway()
    {
        MainWindow &v = *view;
        ui(v).pages()->setTabVisible(ui(v).pages()->indexOf(ui(v).page(Page::Report)), true);
        ui(v).reportView()->setHtml(QStringLiteral("<p>report</p>"));
        ui(v).printButton()->setEnabled(true);
        v.updateCommands();
        QVERIFY(!ui(v).pages()->isTabVisible(ui(v).pages()->indexOf(ui(v).page(Page::Report))));
        QVERIFY(ui(v).reportView()->toPlainText().isEmpty());
        QVERIFY(!ui(v).printButton()->isEnabled());
    }

    void typingEnablesOnlyTheRunButton()
    {
        MainWindow &v = *view;
        ui(v).action(Command::Run)->setEnabled(false);
        ui(v).editor()->setText(QStringLiteral("select * from t"));
        QVERIFY(ui(v).button(Command::Run)->isEnabled());
        QVERIFY(!ui(v).action(Command::Run)->isEnabled());
        ui(v).editor()->setText(QStringLiteral("  \r\n  "));
        QVERIFY(!ui(v).button(Command::Run)->isEnabled());
    }

    void logLinesCarryTheTimeStamp()
    {
        MainWindow &v = *view;
        ui(v).messagesPage()->log(QStringLiteral("first"));
        ui(v).messagesPage()->log(QStringLiteral(u"segunda linha ®"));
        const QStringList lines = ui(v).log()->toPlainText().split(u'\n');
        QCOMPARE(lines.size(), 2);
        static const QRegularExpression stamp(
            QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d\|)"));
        QVERIFY2(stamp.match(lines[0]).hasMatch(), qPrintable(lines[0]));
        QVERIFY(lines[0].endsWith(QStringLiteral("|first")));
        QVERIFY(lines[1].endsWith(QStringLiteral(u"|segunda linha ®")));
        ui(v).clearLogButton()->click();
        ui(v).settle();
        QVERIFY(ui(v).log()->toPlainText().isEmpty());
        ui(v).messagesPage()->log(QStringLiteral("again"));
        QCOMPARE(ui(v).log()->document()->blockCount(), 1);
    }

    void reportedErrorBeepsShowsMessagesAndLogs()
    {
        MainWindow &v = *view;
        // Run without a connection fails as the database would.
        ui(v).editor()->setText(QStringLiteral("select x"));
        ui(v).press(Command::Run);
        QCOMPARE(prompt->beeps, 1);
        QCOMPARE(ui(v).pages()->currentWidget(), ui(v).page(Page::Messages));
        QVERIFY(ui(v).log()->toPlainText().endsWith(QStringLiteral("|The connection is not open.")));
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
        MainWindow &v = *view;
        v.setScreenLimits(widthLimit, heightLimit);
        v.setWindowState(Qt::WindowNoState);
        v.resize(800, 572);
        v.show();
        QVERIFY(QTest::qWaitForWindowActive(&v));
        QTRY_COMPARE(bool(v.windowState() & Qt::WindowMaximized), maximised);
    }

    void wheelBecomesOneArrowKey()
    {
        MainWindow &v = *view;
        fillTree();
        ui(v).tree()->expandAll();
        v.show();
        QTreeWidgetItem *root = ui(v).tree()->topLevelItem(0);
        ui(v).tree()->setCurrentItem(root);
        QWidget *viewport = ui(v).tree()->viewport();
        const QPointF at(5, 5);
        auto wheel = [&](int delta) {
            QWheelEvent event(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QVERIFY(QCoreApplication::sendEvent(viewport, &event));
        };
        wheel(-360);
        QCOMPARE(ui(v).tree()->currentItem(), root->child(0));
        wheel(-120);
        QCOMPARE(ui(v).tree()->currentItem(), root->child(0)->child(0));
        wheel(120);
        QCOMPARE(ui(v).tree()->currentItem(), root->child(0));
    }

    void desktopDialogsKeepTheirWheel()
    {
        QFileDialog files;
        QWidget *inside = new QWidget(&files);
        QVERIFY(WheelKeyFilter::keepsWheel(inside));
        QWidget marked;
        marked.setProperty(WheelKeyFilter::kNoWheelRewrite, true);
        QVERIFY(WheelKeyFilter::keepsWheel(new QWidget(&marked)));
        QVERIFY(!WheelKeyFilter::keepsWheel(ui(*view).tree()->viewport()));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
