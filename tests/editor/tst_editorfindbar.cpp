#include "editor/EditorFindBar.h"
#include "editor/SqlEditor.h"
#include "shell/texts/WorkbenchTexts.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QtTest>

// Find and replace in the SQL editor, driven from the keyboard.
class TestFindBar : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void ctrlFFindsFromTheSelectionAndWraps();
    void matchCaseAndNotFound();
    void replaceOneAndAllAsOneUndo();
    void escapeClosesTheBarAndTextsFollowTheLanguage();

private:
    std::unique_ptr<SqlEditor> m_editor;
    EditorFindBar *bar() const { return m_editor->findBar(); }
    // Where the selection starts, as an index into the text.
    qsizetype selectionStart() const { return m_editor->selectionIndexes().first; }
};

void TestFindBar::init()
{
    m_editor = std::make_unique<SqlEditor>();
    m_editor->resize(900, 200);
    m_editor->setText(QStringLiteral(u"SELECT name FROM t;\n-- ação name\nUPDATE t SET Name = 'x';"));
    m_editor->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_editor.get()));
}

void TestFindBar::cleanup()
{
    m_editor.reset();
}

void TestFindBar::ctrlFFindsFromTheSelectionAndWraps()
{
    const QString text = m_editor->text();
    m_editor->setSelection(0, 7, 0, 11); // "name"
    QTest::keyClick(m_editor.get(), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(bar()->isVisible());
    QCOMPARE(bar()->findField()->text(), QStringLiteral("name"));
    QVERIFY(bar()->findField()->hasFocus());
    // Return finds the next one (after the selected), case ignored, past accented text.
    QTest::keyClick(bar()->findField(), Qt::Key_Return);
    QCOMPARE(selectionStart(), text.indexOf(QStringLiteral("name"), 8));
    QTest::keyClick(bar()->findField(), Qt::Key_Return);
    QCOMPARE(selectionStart(), text.indexOf(QStringLiteral("Name")));
    QTest::keyClick(bar()->findField(), Qt::Key_Return); // wraps to the first
    QCOMPARE(selectionStart(), 7);
    QTest::keyClick(bar()->findField(), Qt::Key_Return, Qt::ShiftModifier); // back, wrapping
    QCOMPARE(selectionStart(), text.indexOf(QStringLiteral("Name")));
    // F3 and Shift+F3 in the editor.
    m_editor->setFocus();
    QTest::keyClick(m_editor.get(), Qt::Key_F3);
    QCOMPARE(selectionStart(), 7);
    QTest::keyClick(m_editor.get(), Qt::Key_F3, Qt::ShiftModifier);
    QCOMPARE(selectionStart(), text.indexOf(QStringLiteral("Name")));
}

void TestFindBar::matchCaseAndNotFound()
{
    bar()->open();
    bar()->findField()->setText(QStringLiteral("Name"));
    bar()->matchCaseBox()->setChecked(true);
    QVERIFY(bar()->find(true));
    QCOMPARE(selectionStart(), m_editor->text().indexOf(QStringLiteral("Name")));
    QVERIFY(bar()->find(true)); // the only one, found again
    QCOMPARE(selectionStart(), m_editor->text().indexOf(QStringLiteral("Name")));
    bar()->findField()->setText(QStringLiteral("nowhere"));
    QVERIFY(!bar()->find(true));
    QCOMPARE(bar()->status(), QStringLiteral("Not found"));
}

void TestFindBar::replaceOneAndAllAsOneUndo()
{
    const QString original = m_editor->text();
    bar()->open();
    bar()->findField()->setText(QStringLiteral("name"));
    bar()->replaceField()->setText(QStringLiteral("label"));
    // Replace with nothing selected only finds; the next press replaces that match and finds on.
    bar()->replace();
    QCOMPARE(m_editor->text(), original);
    bar()->replace();
    QVERIFY(m_editor->text().startsWith(QStringLiteral("SELECT label FROM t;")));
    QCOMPARE(m_editor->selectedText(), QStringLiteral("name"));
    m_editor->undo();
    QCOMPARE(m_editor->text(), original);
    // Every match, whatever its case, as one step to undo.
    QCOMPARE(bar()->replaceAll(), 3);
    QCOMPARE(bar()->status(), QStringLiteral("3 replaced"));
    QCOMPARE(m_editor->text(),
             QStringLiteral(u"SELECT label FROM t;\n-- ação label\nUPDATE t SET label = 'x';"));
    m_editor->undo();
    QCOMPARE(m_editor->text(), original);
    // A replacement that holds the text it replaces does not run away.
    bar()->findField()->setText(QStringLiteral("t"));
    bar()->replaceField()->setText(QStringLiteral("tt"));
    const int count = bar()->replaceAll();
    QCOMPARE(count, int(original.count(QLatin1Char('t'), Qt::CaseInsensitive)));
    QCOMPARE(m_editor->text().size(), original.size() + count);
}

void TestFindBar::escapeClosesTheBarAndTextsFollowTheLanguage()
{
    QTest::keyClick(m_editor.get(), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(bar()->isVisible());
    QCOMPARE(bar()->findField()->accessibleName(), QStringLiteral("Text to find"));
    m_editor->setTexts(portugueseWorkbenchTexts());
    QCOMPARE(bar()->findField()->placeholderText(), QStringLiteral("Localizar:"));
    QCOMPARE(bar()->replaceField()->accessibleName(), QStringLiteral(u"Texto de substituição"));
    QTest::keyClick(bar()->findField(), Qt::Key_Escape);
    QVERIFY(!bar()->isVisible());
    QVERIFY(m_editor->hasFocus());
    // The bar sits inside the editor's top right corner.
    QTest::keyClick(m_editor.get(), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(m_editor->viewport()->geometry().contains(bar()->geometry().topRight()));
}

QTEST_MAIN(TestFindBar)
#include "tst_editorfindbar.moc"
