#include "ScriptedPrompt.h"
#include "about/AboutBox.h"
#include "about/LegalNotice.h"
#include "editor/SqlEditor.h"
#include "query/MemoEditor.h"
#include "query/RecordNavigator.h"
#include "query/ResultGrid.h"
#include "query/ResultModel.h"
#include "query/RowEditor.h"
#include "shell/Language.h"
#include "shell/UMainView.h"
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
    std::unique_ptr<TMainView> m_view;
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
        m_view->ADOConnection1->setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
        m_view->ADOConnection1->open();
        m_view->UpdateCommands();
    }

    QTreeWidgetItem *tableNode(const QString &name)
    {
        return m_view->TreeView1->findItems(name, Qt::MatchExactly | Qt::MatchRecursive).value(0);
    }

    void run(const QString &sql)
    {
        m_view->SynEdit1->setText(sql);
        m_view->AnyClick(m_view->mRun);
        // A loaded machine may show the first rows before the rest have come: wait for them all.
        m_view->ADOQuery1->finishFetch(false);
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
        m_view = std::make_unique<TMainView>();
        m_memo = std::make_unique<MemoEditor>(m_view.get());
        m_view->setMemoEditor(m_memo.get());
        m_about = std::make_unique<AboutBox>(m_view.get());
        m_view->setAbout(m_about.get());
        m_view->ApplyLanguage();
        m_view->UpdateCommands();
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
        m_view->AnyClick(language == QLatin1String("en-US") ? m_view->Pt_BR : m_view->En_US);
        m_view->AnyClick(language == QLatin1String("en-US") ? m_view->En_US : m_view->Pt_BR);
        const UiTexts &t = textsFor(language);
        TMainView &v = *m_view;
        const QList<QPair<QToolButton *, QString>> toolBar{{v.ToolButton1, t.hintToolButton1},
                                                           {v.ToolButton2, t.hintToolButton2},
                                                           {v.ToolButton3, t.hintToolButton3},
                                                           {v.ToolButton4, t.hintToolButton4},
                                                           {v.ToolButton5, t.hintToolButton5},
                                                           {v.btLoad, t.hintLoad},
                                                           {v.btSave, t.hintSave},
                                                           {v.btRun, t.hintRun},
                                                           {v.btStats, t.hintStats},
                                                           {v.btReport, t.hintReport},
                                                           {v.btAbout, t.hintAbout}};
        for (const auto &[button, hint] : toolBar) {
            QVERIFY(!hint.isEmpty());
            QCOMPARE(nameOf(button), hint);
            QCOMPARE(face(button)->role(), QAccessible::Button);
        }
        QCOMPARE(t.navigatorHints.size(), int(RecordNavigator::ButtonCount));
        for (int i = 0; i < RecordNavigator::ButtonCount; ++i) {
            QCOMPARE(nameOf(v.DBNavigator1->button(i)), t.navigatorHints.at(i));
            QCOMPARE(face(v.DBNavigator1->button(i))->role(), QAccessible::Button);
        }
    }

    void buttonsArePressedThroughTheActionInterface()
    {
        QList<int> rows;
        m_view->commandInterceptor = [&rows](int row) {
            rows.append(row);
            return true;
        };
        press(m_view->ToolButton1);
        press(m_view->btAbout);
        QCOMPARE(rows, (QList<int>{1, 20}));

        m_view->commandInterceptor = nullptr;
        connectToShop();
        run(QStringLiteral("SELECT id, name FROM items ORDER BY id"));
        RowEditor *editor = m_view->DataSource1->editor();
        QCOMPARE(editor->currentRow(), 0);
        press(m_view->DBNavigator1->button(RecordNavigator::Last));
        QCOMPARE(editor->currentRow(), 2);
        press(m_view->DBNavigator1->button(RecordNavigator::Prior));
        QCOMPARE(editor->currentRow(), 1);
    }

    void statusBarTextIsReadAsALabel()
    {
        connectToShop();
        run(QStringLiteral("SELECT * FROM items"));
        QAccessibleInterface *bar = face(m_view->StatusBar1);
        QVERIFY(bar);
        QAccessibleInterface *label = nullptr;
        for (int i = 0; i < bar->childCount(); ++i) {
            if (bar->child(i)->role() == QAccessible::StaticText)
                label = bar->child(i);
        }
        QVERIFY2(label, "the status bar has no text child");
        QCOMPARE(label->text(QAccessible::Name), QStringLiteral(" Selected records: 3"));
        m_view->setStatusText(QLatin1Char(' ') + m_view->TextReady);
        QCOMPARE(label->text(QAccessible::Name), QStringLiteral(" Ready!"));
    }

    void structureGridNamesItsColumnsAndKeepsItsDrawnHeaderRow()
    {
        connectToShop();
        m_view->TreeView1->setCurrentItem(tableNode(QStringLiteral("items")));
        m_view->TreeView1Click();
        QCOMPARE(m_view->StringGrid1->item(1, 1)->text(), QStringLiteral("id"));

        QAccessibleTableInterface *table = face(m_view->StringGrid1)->tableInterface();
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

        m_view->AnyClick(m_view->Pt_BR);
        QCOMPARE(headers(), (QStringList{QString(), "Coluna", "Tipo", "Larg", "Atributos"}));
        // What the eye sees is unchanged: the grid's own header stays hidden under row 0.
        QVERIFY(m_view->StringGrid1->horizontalHeader()->isHidden());
        QCOMPARE(m_view->StringGrid1->item(0, 1)->text(), QStringLiteral("Coluna"));
        QCOMPARE(m_view->StringGrid1->item(1, 1)->text(), QStringLiteral("id"));
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

        m_view->AnyClick(m_view->Pt_BR);
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
        m_view->DBGrid1->setCurrentIndex(m_view->DataSource1->index(0, 2));
        m_view->DBGrid1DblClick();
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
        QCOMPARE(m_view->menuBar()->activeAction(), m_view->File1);
        QTRY_VERIFY(m_view->File1->menu()->isVisible());
        QTest::keyClick(m_view->File1->menu(), Qt::Key_Escape);
        // Every tool button's command is also a menu item, so the buttons need no Tab stop.
        for (QToolButton *button : m_view->ToolBar1->findChildren<QToolButton *>())
            QCOMPARE(button->focusPolicy(), Qt::NoFocus);
    }

    void tabGoesThroughTheWorkAreaAndLeavesTheEditorAndGrid()
    {
        connectToShop();
        showActive();
        m_view->TreeView1->setCurrentItem(tableNode(QStringLiteral("items")));
        m_view->TreeView1->setFocus();
        // Space shows the structure, as a click does.
        QTest::keyClick(m_view->TreeView1, Qt::Key_Space);
        QCOMPARE(m_view->StringGrid1->item(1, 1)->text(), QStringLiteral("id"));

        auto tab = [](Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, modifiers);
            return QApplication::focusWidget();
        };
        QCOMPARE(tab(), m_view->PageControl1->tabBar());
        QCOMPARE(tab(), m_view->StringGrid1);
        QCOMPARE(tab(), m_view->TreeView1);

        // Return queries the table, as a double-click does; the SQL page comes forward.
        QTest::keyClick(m_view->TreeView1, Qt::Key_Return);
        QTRY_COMPARE(m_view->statusTextValue(), QStringLiteral(" Selected records: 3"));
        m_view->PageControl1->setCurrentWidget(m_view->TabSheet2);
        m_view->SynEdit1->setFocus();
        QCOMPARE(tab(), m_view->SynEdit1);
        QCOMPARE(tab(Qt::ControlModifier), m_view->DBGrid1);
        QCOMPARE(tab(Qt::ControlModifier), m_view->DBNavigator1->button(RecordNavigator::Next));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), m_view->DBGrid1);
        QTest::keyClick(m_view->DBGrid1, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), m_view->SynEdit1);
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
