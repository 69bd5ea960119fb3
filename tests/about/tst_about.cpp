#include "ScriptedPrompt.h"
#include "about/LegalNotice.h"
#include "about/UAbout.h"
#include "about/VersInfo.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

class TestAbout : public QObject
{
    Q_OBJECT

private slots:
#ifndef ORVESSA_BAD_VERSION_RECORD
    void showsTheVersionRecord()
    {
        ScriptedPrompt prompt;
        TAbout about;
        QCOMPARE(about.Label1->text(), QString());
        QCOMPARE(about.Label2->text(), QStringLiteral("Orvessa"));
        QCOMPARE(about.Label3->text(), QStringLiteral("Version 2.1.3.4"));
        QCOMPARE(about.Label4->text(), QStringLiteral("Copyright ") + TVersionInfo().LegalCopyRight());
        QVERIFY(about.Label4->text().startsWith(QStringLiteral("Copyright © ")));
        QCOMPARE(about.fileVersion(), QStringLiteral("2.1.3.4"));
        QCOMPARE(about.Memo1->toPlainText(), legalNotice(true));
        QVERIFY(prompt.errorReports.isEmpty());
    }

    void hasTheFormsLayout()
    {
        ScriptedPrompt prompt;
        TAbout about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About this software"));
        QCOMPARE(about.size(), QSize(355, 235));
        QCOMPARE(about.minimumSize(), about.maximumSize());
        QCOMPARE(about.Image1->pixmap().deviceIndependentSize(), QSizeF(200, 24));
        QCOMPARE(about.Image2->pixmap().deviceIndependentSize(), QSizeF(96, 96));
        QCOMPARE(about.Button1->geometry(), QRect(270, 200, 75, 25));
        QCOMPARE(about.Button1->text(), QStringLiteral("OK"));
        QVERIFY(about.Memo1->isReadOnly());
    }

    void tabGoesFromOkToTheLinkAndSkipsTheNotice()
    {
        ScriptedPrompt prompt;
        TAbout about;
        about.show();
        about.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&about));
        about.Button1->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), about.LinkLabel1);
        QVERIFY(!(about.Memo1->focusPolicy() & Qt::TabFocus));
    }

    void okClosesTheBoxAccepted()
    {
        ScriptedPrompt prompt;
        TAbout about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QTest::mouseClick(about.Button1, Qt::LeftButton);
        QVERIFY(!about.isVisible());
        QCOMPARE(about.result(), int(QDialog::Accepted));
    }

    void theLinkOpensTheSiteAndTheBoxStaysOpen()
    {
        ScriptedPrompt prompt;
        TAbout about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QVERIFY(about.LinkLabel1->text().contains(QStringLiteral(">pelmora.example</a>")));
        emit about.LinkLabel1->linkActivated(TAbout::siteUrl());
        QCOMPARE(prompt.openedUrls, QList<QUrl>{QUrl(QStringLiteral("https://pelmora.example/"))});
        QVERIFY(about.isVisible());
    }
#else
    void aDamagedRecordIsReportedAndTheBoxStaysEmpty()
    {
        ScriptedPrompt prompt;
        TAbout about;
        QCOMPARE(prompt.errorReports, QStringList{QStringLiteral("Cannot retrieve Version Information for ") +
                                                  TVersionInfo::runningExecutable() + QLatin1Char('.')});
        for (QLabel *label : {about.Label1, about.Label2, about.Label3, about.Label4})
            QCOMPARE(label->text(), QString());
        QCOMPARE(about.Button1->text(), QStringLiteral("OK"));
    }
#endif
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
