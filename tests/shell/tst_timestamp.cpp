#include "shell/Guard.h"
#include "shell/Language.h"
#include "shell/TimeStamp.h"

#include <QTest>
#include <QTimeZone>

class TestTimeStamp : public QObject
{
    Q_OBJECT

private slots:
    void timeStampNamesTheInstant_data()
    {
        QTest::addColumn<QDateTime>("at");
        QTest::addColumn<QString>("expected");
        const QDate day(2024, 3, 5);
        const QTime time(14, 7, 9);
        QTest::newRow("three hours behind UTC")
            << QDateTime(day, time, QTimeZone(-3 * 3600)) << "2024-03-05T14:07:09-03:00";
        QTest::newRow("UTC") << QDateTime(day, time, QTimeZone::utc()) << "2024-03-05T14:07:09+00:00";
        QTest::newRow("half an hour behind UTC")
            << QDateTime(day, time, QTimeZone(-30 * 60)) << "2024-03-05T14:07:09-00:30";
        QTest::newRow("five and a half hours ahead")
            << QDateTime(day, time, QTimeZone(5 * 3600 + 30 * 60)) << "2024-03-05T14:07:09+05:30";
        QTest::newRow("early morning, single digits")
            << QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5), QTimeZone(3600)) << "2024-01-02T03:04:05+01:00";
        const QTimeZone berlin("Europe/Berlin");
        if (berlin.isValid()) {
            QTest::newRow("summer time counts")
                << QDateTime(QDate(2024, 7, 1), QTime(12, 0), berlin) << "2024-07-01T12:00:00+02:00";
            QTest::newRow("winter time")
                << QDateTime(QDate(2024, 1, 15), QTime(23, 59, 59), berlin) << "2024-01-15T23:59:59+01:00";
        }
        const QTimeZone saoPaulo("America/Sao_Paulo");
        if (saoPaulo.isValid()) {
            QTest::newRow("Brazil") << QDateTime(day, time, saoPaulo) << "2024-03-05T14:07:09-03:00";
        }
    }

    void timeStampNamesTheInstant()
    {
        QFETCH(QDateTime, at);
        QFETCH(QString, expected);
        QCOMPARE(dateTimeToIso8601(at), expected);
    }

    void offsetFromBias_data()
    {
        QTest::addColumn<int>("bias");
        QTest::addColumn<QString>("expected");
        QTest::newRow("180") << 180 << "-03:00";
        QTest::newRow("-60") << -60 << "+01:00";
        QTest::newRow("-330") << -330 << "+05:30";
        QTest::newRow("210") << 210 << "-03:30";
        QTest::newRow("30") << 30 << "-00:30";
        QTest::newRow("0 is plus") << 0 << "+00:00";
        QTest::newRow("-765") << -765 << "+12:45";
    }

    void offsetFromBias()
    {
        QFETCH(int, bias);
        QFETCH(QString, expected);
        QCOMPARE(timeZoneOffsetTextForBias(bias), expected);
    }

    void generalErrorGetsAFullStop_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty stays empty") << QString() << QString();
        QTest::newRow("plain sentence") << "Table not found"
                                        << "Table not found.";
        QTest::newRow("full stop already") << "Done."
                                           << "Done.";
        QTest::newRow("exclamation") << "Stop!"
                                     << "Stop!";
        QTest::newRow("closing parenthesis") << "failed (code 5)"
                                             << "failed (code 5)";
        QTest::newRow("hyphen") << "a -"
                                << "a -";
        QTest::newRow("comma") << "x,"
                               << "x,";
        QTest::newRow("quote") << "name \"x\""
                               << "name \"x\"";
        QTest::newRow("trailing blank") << "text "
                                        << "text ";
        QTest::newRow("line break") << "text\n"
                                    << "text\n";
        QTest::newRow("tab") << "text\t"
                             << "text\t";
        QTest::newRow("slash is past the full stop") << "path/"
                                                     << "path/.";
        QTest::newRow("question mark is past the full stop") << "Why?"
                                                             << "Why?.";
        QTest::newRow("colon") << "error:"
                               << "error:.";
        QTest::newRow("accented letter") << QStringLiteral(u"Conexão") << QStringLiteral(u"Conexão.");
    }

    void generalErrorGetsAFullStop()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(generalErrorText(text), expected);
    }

    void startLanguageFromLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("language");
        QTest::newRow("Brazil") << "pt_BR"
                                << "pt-BR";
        QTest::newRow("Portugal starts in English") << "pt_PT"
                                                    << "en-US";
        QTest::newRow("USA") << "en_US"
                             << "en-US";
        QTest::newRow("Germany") << "de_DE"
                                 << "en-US";
        QTest::newRow("C") << "C"
                           << "en-US";
    }

    void startLanguageFromLocale()
    {
        QFETCH(QString, locale);
        QFETCH(QString, language);
        QCOMPARE(languageForLocale(QLocale(locale)), language);
    }
};

QTEST_APPLESS_MAIN(TestTimeStamp)
#include "tst_timestamp.moc"
