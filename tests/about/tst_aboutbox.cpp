#include "ScriptedPrompt.h"
#include "about/AboutBox.h"
#include "about/LegalNotice.h"
#include "about/VersionInfo.h"

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
        AboutBox about;
        QCOMPARE(about.productLine->text(), QString());
        QCOMPARE(about.descriptionLine->text(), QStringLiteral("Orvessa"));
        QCOMPARE(about.versionLine->text(), QStringLiteral("Version 2.1.3.4"));
        QCOMPARE(about.copyrightLine->text(), QStringLiteral("Copyright ") + VersionInfo().LegalCopyRight());
        QVERIFY(about.copyrightLine->text().startsWith(QStringLiteral("Copyright © ")));
        QCOMPARE(about.fileVersion(), QStringLiteral("2.1.3.4"));
        QCOMPARE(about.legalText->toPlainText(), legalNotice(true));
        QVERIFY(prompt.errorReports.isEmpty());
    }

    void hasTheFormsLayout()
    {
        ScriptedPrompt prompt;
        AboutBox about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About this software"));
        QCOMPARE(about.size(), QSize(355, 235));
        QCOMPARE(about.minimumSize(), about.maximumSize());
        QCOMPARE(about.banner->pixmap().deviceIndependentSize(), QSizeF(200, 24));
        QCOMPARE(about.emblem->pixmap().deviceIndependentSize(), QSizeF(96, 96));
        QCOMPARE(about.okButton->geometry(), QRect(270, 200, 75, 25));
        QCOMPARE(about.okButton->text(), QStringLiteral("OK"));
        QVERIFY(about.legalText->isReadOnly());
    }

    void tabGoesFromOkToTheLinkAndSkipsTheNotice()
    {
        ScriptedPrompt prompt;
        AboutBox about;
        about.show();
        about.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&about));
        about.okButton->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), about.siteLink);
        QVERIFY(!(about.legalText->focusPolicy() & Qt::TabFocus));
    }

    void okClosesTheBoxAccepted()
    {
        ScriptedPrompt prompt;
        AboutBox about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QTest::mouseClick(about.okButton, Qt::LeftButton);
        QVERIFY(!about.isVisible());
        QCOMPARE(about.result(), int(QDialog::Accepted));
    }

    void theLinkOpensTheSiteAndTheBoxStaysOpen()
    {
        ScriptedPrompt prompt;
        AboutBox about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QVERIFY(about.siteLink->text().contains(QStringLiteral(">pelmora.example</a>")));
        emit about.siteLink->linkActivated(AboutBox::siteUrl());
        QCOMPARE(prompt.openedUrls, QList<QUrl>{QUrl(QStringLiteral("https://pelmora.example/"))});
        QVERIFY(about.isVisible());
    }
#else
    void aDamagedRecordIsReportedAndTheBoxStaysEmpty()
    {
        ScriptedPrompt prompt;
        AboutBox about;
        QCOMPARE(prompt.errorReports, QStringList{QStringLiteral("Cannot retrieve Version Information for ") +
                                                  VersionInfo::runningExecutable() + QLatin1Char('.')});
        for (QLabel *label :
             {about.productLine, about.descriptionLine, about.versionLine, about.copyrightLine})
            QCOMPARE(label->text(), QString());
        QCOMPARE(about.okButton->text(), QStringLiteral("OK"));
    }
#endif
};

QTEST_MAIN(TestAbout)
#include "tst_aboutbox.moc"
