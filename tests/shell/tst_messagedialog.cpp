#include "ScriptedPrompt.h"
#include "shell/Language.h"
#include "shell/MessageDialog.h"
#include "shell/QtPrompt.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

namespace {
QStringList labels(const DialogDescription &d)
{
    QStringList result;
    for (const DialogButtonInfo &b : d.buttons)
        result.append(b.label);
    return result;
}

QList<int> results(const DialogDescription &d)
{
    QList<int> result;
    for (const DialogButtonInfo &b : d.buttons)
        result.append(b.result);
    return result;
}
} // namespace

class TestMessageDialog : public QObject
{
    Q_OBJECT

private slots:
    void dialogFollowsLanguage_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("systemPortuguese");
        QTest::addColumn<int>("kind");
        QTest::addColumn<uint>("buttons");
        QTest::addColumn<int>("helpContext");
        QTest::addColumn<bool>("platformBox");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QList<int>>("results");
        QTest::addColumn<int>("defaultResult");
        QTest::addColumn<int>("escapeResult");

        const int none = int(DialogIcon::None), warning = int(DialogIcon::Warning),
                  error = int(DialogIcon::Error), information = int(DialogIcon::Information),
                  question = int(DialogIcon::Question);

        QTest::newRow("English confirmation")
            << "en-US" << false << int(mtConfirmation) << uint(mbYes | mbNo) << 0 << false << "Confirm"
            << question << QStringList{"&Yes", "&No"} << QList<int>{6, 7} << 6 << 7;
        QTest::newRow("Portuguese confirmation is the system box")
            << "pt-BR" << true << int(mtConfirmation) << uint(mbYes | mbNo) << 0 << true
            << QStringLiteral(u"Confirmação") << question << QStringList{"Sim", QStringLiteral(u"Não")}
            << QList<int>{6, 7} << 6 << 7;
        QTest::newRow("system box speaks the system's English")
            << "pt-BR" << false << int(mtConfirmation) << uint(mbYes | mbNo) << 0 << true
            << QStringLiteral(u"Confirmação") << question << QStringList{"Yes", "No"} << QList<int>{6, 7} << 6
            << 7;
        QTest::newRow("Portuguese without a system style is relabelled")
            << "pt-BR" << true << int(mtInformation) << uint(mbYes | mbNo | mbAll) << 0 << false
            << QStringLiteral(u"Informação") << information
            << QStringList{"Sim", QStringLiteral(u"Não"), "Todos"} << QList<int>{6, 7, 8} << 6 << 7;
        QTest::newRow("Portuguese Custom is a system box with the warning icon")
            << "pt-BR" << true << int(mtCustom) << uint(mbOK) << 0 << true << "Orvessa" << warning
            << QStringList{"OK"} << QList<int>{1} << 1 << 1;
        QTest::newRow("English Custom has no icon")
            << "en-US" << false << int(mtCustom) << uint(mbOK) << 0 << false << "Orvessa" << none
            << QStringList{"OK"} << QList<int>{1} << 1 << 1;
        QTest::newRow("English error") << "en-US" << false << int(mtError) << uint(mbOK) << 0 << false
                                       << "Error" << error << QStringList{"OK"} << QList<int>{1} << 1 << 1;
        QTest::newRow("English warning with Yes, No, Cancel")
            << "en-US" << false << int(mtWarning) << uint(mbYes | mbNo | mbCancel) << 0 << false << "Warning"
            << warning << QStringList{"&Yes", "&No", "Cancel"} << QList<int>{6, 7, 2} << 6 << 2;
        QTest::newRow("Abort, Retry, Ignore defaults to Retry and has no Escape")
            << "en-US" << false << int(mtWarning) << uint(mbAbort | mbRetry | mbIgnore) << 0 << false
            << "Warning" << warning << QStringList{"&Abort", "&Retry", "&Ignore"} << QList<int>{3, 4, 5} << 4
            << 0;
        QTest::newRow("Portuguese system box defaults to its first button")
            << "pt-BR" << true << int(mtWarning) << uint(mbAbort | mbRetry | mbIgnore) << 0 << true
            << QStringLiteral(u"Atenção") << warning << QStringList{"Abortar", "Repetir", "Ignorar"}
            << QList<int>{3, 4, 5} << 3 << 0;
        QTest::newRow("system Help box has OK and Help")
            << "pt-BR" << true << int(mtInformation) << uint(mbHelp) << 0 << true
            << QStringLiteral(u"Informação") << information << QStringList{"OK", "Ajuda"} << QList<int>{1, 0}
            << 1 << 1;
        QTest::newRow("every button in table order")
            << "en-US" << false << int(mtInformation) << uint(0xFFF) << 0 << false << "Information"
            << information << QStringList{"&Yes",    "&No",  "OK",         "Cancel",      "&Abort", "&Retry",
                                          "&Ignore", "&All", "N&o to All", "Yes to &All", "&Help",  "&Close"}
            << QList<int>{6, 7, 1, 2, 3, 4, 5, 8, 9, 10, 0, 11} << 1 << 2;
        QTest::newRow("Portuguese keeps Help and Close in English")
            << "pt-BR" << true << int(mtWarning) << uint(mbNoToAll | mbYesToAll | mbHelp | mbClose) << 0
            << false << QStringLiteral(u"Atenção") << warning
            << QStringList{QStringLiteral(u"Não para todos"), "Sim para todos", "&Help", "&Close"}
            << QList<int>{9, 10, 0, 11} << 0 << 0;
        QTest::newRow("help context forces English")
            << "pt-BR" << true << int(mtConfirmation) << uint(mbYes | mbNo) << 5 << false << "Confirm"
            << question << QStringList{"&Yes", "&No"} << QList<int>{6, 7} << 6 << 7;
        QTest::newRow("any language but pt-BR is English")
            << "pt-PT" << true << int(mtConfirmation) << uint(mbYes | mbNo) << 0 << false << "Confirm"
            << question << QStringList{"&Yes", "&No"} << QList<int>{6, 7} << 6 << 7;
    }

    void dialogFollowsLanguage()
    {
        QFETCH(QString, language);
        QFETCH(bool, systemPortuguese);
        QFETCH(int, kind);
        QFETCH(uint, buttons);
        QFETCH(int, helpContext);
        const DialogDescription d = describeMessageDialog(QStringLiteral("Question?"), DialogKind(kind),
                                                          buttons, helpContext, language, systemPortuguese);
        QCOMPARE(d.text, QStringLiteral("Question?"));
        QTEST(d.platformBox, "platformBox");
        QTEST(d.caption, "caption");
        QTEST(int(d.icon), "icon");
        QTEST(labels(d), "labels");
        QTEST(results(d), "results");
        QTEST(d.defaultResult, "defaultResult");
        QTEST(d.escapeResult, "escapeResult");
    }

    void longPortugueseButtonsAreWider()
    {
        const DialogDescription d =
            describeMessageDialog(QStringLiteral("?"), mtConfirmation, mbYes | mbNoToAll | mbYesToAll, 0,
                                  QStringLiteral("pt-BR"), true);
        QCOMPARE(d.buttons.size(), 3);
        QCOMPARE(d.buttons[0].minWidth, 0);
        QCOMPARE(d.buttons[1].minWidth, 100);
        QCOMPARE(d.buttons[2].minWidth, 100);
    }

    void systemStyle_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<uint>("buttons");
        QTest::addColumn<uint>("style");
        QTest::newRow("OK warning") << int(mtWarning) << uint(mbOK) << 0x2030u;
        QTest::newRow("OK, Cancel error") << int(mtError) << uint(mbOK | mbCancel) << 0x2011u;
        QTest::newRow("Abort, Retry, Ignore")
            << int(mtInformation) << uint(mbAbort | mbRetry | mbIgnore) << 0x2042u;
        QTest::newRow("Yes, No, Cancel") << int(mtConfirmation) << uint(mbYes | mbNo | mbCancel) << 0x2023u;
        QTest::newRow("Yes, No") << int(mtConfirmation) << uint(mbYes | mbNo) << 0x2024u;
        QTest::newRow("Retry, Cancel") << int(mtConfirmation) << uint(mbRetry | mbCancel) << 0x2025u;
        QTest::newRow("Help") << int(mtCustom) << uint(mbHelp) << 0x6030u;
        QTest::newRow("Yes, No, All has none") << int(mtConfirmation) << uint(mbYes | mbNo | mbAll) << 0u;
        QTest::newRow("OK and Help has none") << int(mtWarning) << uint(mbOK | mbHelp) << 0u;
        QTest::newRow("no buttons has none") << int(mtWarning) << 0u << 0u;
    }

    void systemStyle()
    {
        QFETCH(int, kind);
        QFETCH(uint, buttons);
        QTEST(messageBoxStyle(DialogKind(kind), buttons), "style");
    }

    void showReturnsTheChosenResult()
    {
        ScriptedPrompt scripted;
        const QString saved = uiLanguage();
        setUiLanguage(QStringLiteral("pt-BR"));
        scripted.dialogAnswers.enqueue(mrYes);
        QCOMPARE(showMessageDialog(QStringLiteral("Salvar?"), mtConfirmation, mbYes | mbNo), int(mrYes));
        QCOMPARE(scripted.dialogs.size(), 1);
        QCOMPARE(scripted.dialogs[0].caption, QStringLiteral(u"Confirmação"));
        setUiLanguage(QStringLiteral("en-US"));
        QCOMPARE(showMessageDialog(QStringLiteral("Save?"), mtConfirmation, mbYes | mbNo), int(mrNo));
        QCOMPARE(scripted.dialogs[1].caption, QStringLiteral("Confirm"));
        setUiLanguage(saved);
    }

    void messageBoxRendersTheDescription()
    {
        const DialogDescription d =
            describeMessageDialog(QStringLiteral("Overwrite?"), mtConfirmation,
                                  mbYes | mbNo | mbCancel | mbHelp, 0, "en-US", false);
        QHash<QAbstractButton *, int> results;
        std::unique_ptr<QMessageBox> box = QtPrompt::buildMessageBox(nullptr, d, results);
        QCOMPARE(box->windowTitle(), QStringLiteral("Confirm"));
        QCOMPARE(box->icon(), QMessageBox::Question);
        const QList<QAbstractButton *> buttons = box->buttons();
        QStringList texts;
        QList<int> order;
        for (QAbstractButton *b : buttons) {
            texts.append(b->text());
            order.append(results.value(b, -1));
        }
        QCOMPARE(texts, (QStringList{"&Yes", "&No", "Cancel", "&Help"}));
        QCOMPARE(order, (QList<int>{6, 7, 2, 0}));
        QCOMPARE(results.value(box->defaultButton()), 6);
        QCOMPARE(results.value(box->escapeButton()), 2);
        // Equal widths, at least the minimum.
        for (QAbstractButton *b : buttons) {
            QCOMPARE(b->width(), buttons[0]->width());
            QVERIFY(b->width() >= 75);
        }

        box->show();
        QAbstractButton *help = buttons[3];
        help->click();
        QVERIFY2(box->isVisible(), "Help must leave the dialog open");
        buttons[1]->click();
        QVERIFY(!box->isVisible());
        QCOMPARE(results.value(box->clickedButton()), 7);
    }
};

QTEST_MAIN(TestMessageDialog)
#include "tst_messagedialog.moc"
