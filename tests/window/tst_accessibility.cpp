#include "ScriptedPrompt.h"
#include "WindowDriver.h"
#include "about/AboutBox.h"
#include "about/LegalNotice.h"
#include "editor/SqlEditor.h"
#include "query/MemoEditor.h"
#include "query/RecordNavigator.h"
#include "query/ResultGrid.h"
#include "query/ResultModel.h"
#include "query/RowEditor.h"
#include "shell/Language.h"
#include "shell/texts/UiTexts.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleTableInterface>
#include <QAccessibleTextInterface>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

// What a screen reader gets from the window through the accessibility interfaces, and what
// the keyboard alone can reach.
class TestAccessibility : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<MainWindow> m_view;
    std::unique_ptr<AboutBox> m_about;
    std::unique_ptr<MemoEditor> m_memo;

    static QAccessibleInterface *face(QObject *object)
    {
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
        if (!iface)
            qWarning("no accessible interface for %s", object->metaObject()->className());
        return iface;
    }

    static QString nameOf(QObject *object)
    {
        QAccessibleInterface *iface = face(object);
        return iface ? iface->text(QAccessible::Name) : QString();
    }

    static void press(QObject *object)
    {
        QAccessibleInterface *iface = face(object);
        QVERIFY(iface && iface->actionInterface());
        QVERIFY(iface->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
        iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    }

    void connectToShop()
    {
        const QString path = m_dir.filePath(QStringLiteral("shop.db"));
        QFile::remove(path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        {
            Connection setup;
            setup.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
            setup.open();
            setup.execute(
                QStringLiteral("CREATE TABLE items (id INTEGER PRIMARY KEY, name TEXT, notes TEXT)"));
            setup.execute(QStringLiteral("INSERT INTO items VALUES (1, 'pen', 'blue' || char(10) || 'ink'), "
                                         "(2, 'cup', NULL), (3, 'lamp', 'desk')"));
        }
        m_view->session().connection().setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") +
                                                           path);
        m_view->session().connection().open();
        m_view->updateCommands();
    }

    QTreeWidgetItem *tableNode(const QString &name)
    {
        return ui(*m_view).tree()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive).value(0);
    }

    void run(const QString &sql)
    {
        ui(*m_view).editor()->setText(sql);
        ui(*m_view).press(Command::Run);
        // A loaded machine may show the first rows before the rest have come: wait for them all.
        m_view->session().query().finishFetch(false);
    }

    void showActive()
    {
        m_view->show();
        m_view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
    }

private slots:
    void init()
    {
        setUiLanguage(QStringLiteral("en-US"));
        m_prompt = std::make_unique<ScriptedPrompt>();
        m_view = std::make_unique<MainWindow>();
        m_memo = std::make_unique<MemoEditor>(m_view.get());
        m_view->setMemoEditor(m_memo.get());
        m_about = std::make_unique<AboutBox>(m_view.get());
        m_view->setAboutBox(m_about.get());
        m_view->applyLanguage();
        m_view->updateCommands();
    }

    void cleanup()
    {
        m_about.reset();
        m_memo.reset();
        m_view.reset();
        m_prompt.reset();
    }

    void buttonsAreNamedByTheirHintInTheCurrentLanguage_data()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("English") << "en-US";
        QTest::newRow("Portuguese") << "pt-BR";
    }

    void buttonsAreNamedByTheirHintInTheCurrentLanguage()
    {
        QFETCH(QString, language);
        // Switched there from the other language, so a name left over would show.
        ui(*m_view).press(language == QLatin1String("en-US") ? Command::Portuguese : Command::English);
        ui(*m_view).press(language == QLatin1String("en-US") ? Command::English : Command::Portuguese);
        const UiTexts &t = textsFor(language);
        MainWindow &v = *m_view;
        const QList<QPair<QToolButton *, QString>> toolBar{
            {ui(v).button(Command::Connect), t.hintConnect},
            {ui(v).button(Command::Disconnect), t.hintDisconnect},
            {ui(v).button(Command::Expand), t.hintExpand},
            {ui(v).button(Command::Collapse), t.hintCollapse},
            {ui(v).button(Command::Refresh), t.hintRefresh},
            {ui(v).button(Command::Load), t.hintLoad},
            {ui(v).button(Command::Save), t.hintSave},
            {ui(v).button(Command::Run), t.hintRun},
            {ui(v).button(Command::Stats), t.hintStats},
            {ui(v).button(Command::Report), t.hintReport},
            {ui(v).button(Command::About), t.hintAbout}};
        for (const auto &[button, hint] : toolBar) {
            QVERIFY(!hint.isEmpty());
            QCOMPARE(nameOf(button), hint);
            QCOMPARE(face(button)->role(), QAccessible::Button);
        }
        QCOMPARE(t.navigatorHints.size(), int(RecordNavigator::ButtonCount));
        for (int i = 0; i < RecordNavigator::ButtonCount; ++i) {
            QCOMPARE(nameOf(ui(v).navigator()->button(i)), t.navigatorHints.at(i));
            QCOMPARE(face(ui(v).navigator()->button(i))->role(), QAccessible::Button);
        }
    }

    void buttonsArePressedThroughTheActionInterface()
    {
        QList<Command> ran;
        m_view->commands().setInterceptor([&ran](Command command) {
            ran.append(command);
            return true;
        });
        press(ui(*m_view).button(Command::Connect));
        press(ui(*m_view).button(Command::About));
        QTRY_COMPARE(ran, (QList<Command>{Command::Connect, Command::About}));

        m_view->commands().setInterceptor(nullptr);
        connectToShop();
        run(QStringLiteral("SELECT id, name FROM items ORDER BY id"));
        RowEditor *editor = ui(*m_view).resultModel()->editor();
        QCOMPARE(editor->currentRow(), 0);
        press(ui(*m_view).navigator()->button(RecordNavigator::Last));
        QTRY_COMPARE(editor->currentRow(), 2);
        press(ui(*m_view).navigator()->button(RecordNavigator::Prior));
        QTRY_COMPARE(editor->currentRow(), 1);
    }

    void statusBarTextIsReadAsALabel()
    {
        connectToShop();
        run(QStringLiteral("SELECT * FROM items"));
        QAccessibleInterface *bar = face(m_view->statusBar());
        QVERIFY(bar);
        QAccessibleInterface *label = nullptr;
        for (int i = 0; i < bar->childCount(); ++i) {
            if (bar->child(i)->role() == QAccessible::StaticText)
                label = bar->child(i);
        }
        QVERIFY2(label, "the status bar has no text child");
        QCOMPARE(label->text(QAccessible::Name), QStringLiteral(" Selected records: 3"));
        ui(*m_view).statusLabel()->setText(QLatin1Char(' ') + uiTexts().readyText);
        QCOMPARE(label->text(QAccessible::Name), QStringLiteral(" Ready!"));
    }

    void structureGridNamesItsColumnsAndKeepsItsDrawnHeaderRow()
    {
        connectToShop();
        ui(*m_view).tree()->setCurrentItem(tableNode(QStringLiteral("items")));
        ui(*m_view).press(Command::DescribeTable);
        QCOMPARE(ui(*m_view).structureGrid()->item(1, 1)->text(), QStringLiteral("id"));

        QAccessibleTableInterface *table = face(ui(*m_view).structureGrid())->tableInterface();
        QVERIFY(table);
        auto headers = [&] {
            QStringList names;
            for (int c = 0; c < 5; ++c)
                names << table->columnDescription(c);
            return names;
        };
        QCOMPARE(headers(), (QStringList{QString(), "Column", "Type", "Len", "Attributes"}));
        QAccessibleTableCellInterface *cell = table->cellAt(1, 1)->tableCellInterface();
        QVERIFY(cell);
        QCOMPARE(cell->columnHeaderCells().value(0)->text(QAccessible::Name), QStringLiteral("Column"));

        ui(*m_view).press(Command::Portuguese);
        QCOMPARE(headers(), (QStringList{QString(), "Coluna", "Tipo", "Larg", "Atributos"}));
        // What the eye sees is unchanged: the grid's own header stays hidden under row 0.
        QVERIFY(ui(*m_view).structureGrid()->horizontalHeader()->isHidden());
        QCOMPARE(ui(*m_view).structureGrid()->item(0, 1)->text(), QStringLiteral("Coluna"));
        QCOMPARE(ui(*m_view).structureGrid()->item(1, 1)->text(), QStringLiteral("id"));
    }

    void aboutBoxIsReadable()
    {
        AboutBox &about = *m_about;
        QCOMPARE(nameOf(about.descriptionLine), QStringLiteral("Orvessa"));
        QCOMPARE(nameOf(about.versionLine), QStringLiteral("Version 2.1.3.4"));
        QCOMPARE(nameOf(about.banner), QStringLiteral("Orvessa"));
        QCOMPARE(nameOf(about.siteLink), QStringLiteral("pelmora.example"));
        QAccessibleTextInterface *notice = face(about.legalText)->textInterface();
        QVERIFY(notice);
        QCOMPARE(notice->text(0, notice->characterCount()), legalNotice(true));

        ui(*m_view).press(Command::Portuguese);
        QCOMPARE(nameOf(&about), QStringLiteral("Sobre este software"));
        QCOMPARE(nameOf(about.versionLine), QStringLiteral("Versão 2.1.3.4"));
        QCOMPARE(notice->text(0, notice->characterCount()), legalNotice(false));

        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        press(about.okButton);
        QTRY_VERIFY(!about.isVisible());
        QCOMPARE(about.result(), int(QDialog::Accepted));
    }

    void memoEditorIsReadable()
    {
        connectToShop();
        run(QStringLiteral("SELECT * FROM items ORDER BY id"));
        ui(*m_view).resultGrid()->setCurrentIndex(ui(*m_view).resultModel()->index(0, 2));
        ui(*m_view).press(Command::EditMemo);
        QCOMPARE(m_prompt->modalShown.size(), 1);
        QCOMPARE(nameOf(m_memo.get()), QStringLiteral("Memo Editor (notes)"));
        QAccessibleTextInterface *text = face(m_memo->memoText)->textInterface();
        QVERIFY(text);
        QCOMPARE(text->text(0, text->characterCount()), QStringLiteral("blue\nink"));
    }

    void menusOpenFromTheKeyboard()
    {
        showActive();
        QTest::keyClick(m_view.get(), Qt::Key_F10);
        QCOMPARE(m_view->menuBar()->activeAction(), ui(*m_view).menuBarItem(0));
        QTRY_VERIFY(ui(*m_view).menuBarItem(0)->menu()->isVisible());
        QTest::keyClick(ui(*m_view).menuBarItem(0)->menu(), Qt::Key_Escape);
        // Every tool button's command is also a menu item, so the buttons need no Tab stop.
        for (QToolButton *button : ui(*m_view).toolBar()->findChildren<QToolButton *>())
            QCOMPARE(button->focusPolicy(), Qt::NoFocus);
    }

    void tabGoesThroughTheWorkAreaAndLeavesTheEditorAndGrid()
    {
        connectToShop();
        showActive();
        ui(*m_view).tree()->setCurrentItem(tableNode(QStringLiteral("items")));
        ui(*m_view).tree()->setFocus();
        // Space shows the structure, as a click does.
        QTest::keyClick(ui(*m_view).tree(), Qt::Key_Space);
        ui(*m_view).settle();
        QCOMPARE(ui(*m_view).structureGrid()->item(1, 1)->text(), QStringLiteral("id"));

        auto tab = [](Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, modifiers);
            return QApplication::focusWidget();
        };
        QCOMPARE(tab(), ui(*m_view).pages()->tabBar());
        QCOMPARE(tab(), ui(*m_view).structureGrid());
        QCOMPARE(tab(), ui(*m_view).tree());

        // Return queries the table, as a double-click does; the SQL page comes forward.
        QTest::keyClick(ui(*m_view).tree(), Qt::Key_Return);
        QTRY_COMPARE(ui(*m_view).statusText(), QStringLiteral(" Selected records: 3"));
        ui(*m_view).pages()->setCurrentWidget(ui(*m_view).page(Page::Sql));
        ui(*m_view).editor()->setFocus();
        QCOMPARE(tab(), ui(*m_view).editor());
        QCOMPARE(tab(Qt::ControlModifier), ui(*m_view).resultGrid());
        QCOMPARE(tab(Qt::ControlModifier), ui(*m_view).navigator()->button(RecordNavigator::Next));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), ui(*m_view).resultGrid());
        QTest::keyClick(ui(*m_view).resultGrid(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), ui(*m_view).editor());
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
