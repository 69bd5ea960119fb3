#include "window/CommandState.h"

#include <QSet>
#include <QTest>

namespace {
const QString kSqlite = QStringLiteral("Provider=SQLite;Data Source=demo.db");

QSet<QString> enabledOf(const CommandState &s)
{
    QSet<QString> names;
    const std::pair<bool, const char *> all[] = {{s.connect, "connect"}, {s.disconnect, "disconnect"},
                                                 {s.load, "load"},       {s.save, "save"},
                                                 {s.exit, "exit"},       {s.edit, "edit"},
                                                 {s.expand, "expand"},   {s.collapse, "collapse"},
                                                 {s.refresh, "refresh"}, {s.run, "run"},
                                                 {s.stats, "stats"},     {s.report, "report"},
                                                 {s.compact, "compact"}, {s.exportData, "export"}};
    for (const auto &[on, name] : all) {
        if (on)
            names.insert(QString::fromLatin1(name));
    }
    return names;
}

QSet<QString> checkedOf(const CommandState &s)
{
    QSet<QString> names;
    const std::pair<bool, const char *> all[] = {{s.structureChecked, "structure"},
                                                 {s.sqlChecked, "sql"},
                                                 {s.messagesChecked, "messages"},
                                                 {s.englishChecked, "en"},
                                                 {s.portugueseChecked, "pt"}};
    for (const auto &[on, name] : all) {
        if (on)
            names.insert(QString::fromLatin1(name));
    }
    return names;
}

QSet<QString> words(const char *text)
{
    const QStringList list = QString::fromLatin1(text).split(u' ', Qt::SkipEmptyParts);
    return QSet<QString>(list.begin(), list.end());
}
} // namespace

class TestCommandState : public QObject
{
    Q_OBJECT

private slots:
    void commandsFollowTheState_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QString>("connectionString");
        QTest::addColumn<QString>("profileString");
        QTest::addColumn<bool>("treeHasNodes");
        QTest::addColumn<QString>("editorText");
        QTest::addColumn<bool>("isAccess");
        QTest::addColumn<bool>("isSqlite");
        QTest::addColumn<QString>("enabled");

        QTest::newRow("fresh start") << false << QString() << QString() << false << QString() << false
                                     << false << "connect load exit";
        QTest::newRow("profile loaded, not connected") << false << QString() << kSqlite << false << QString()
                                                       << false << false << "connect load save exit edit";
        QTest::newRow("connected to SQLite with a statement")
            << true << kSqlite << kSqlite << true << "select 1" << false << true
            << "disconnect load exit edit expand collapse refresh run stats report export compact";
        QTest::newRow("connected to Access")
            << true << kSqlite << kSqlite << true << "x" << true << false
            << "disconnect load exit edit expand collapse refresh run report export compact";
        QTest::newRow("connected to a server database")
            << true << kSqlite << kSqlite << true << "x" << false << false
            << "disconnect load exit edit expand collapse refresh run stats report export";
        QTest::newRow("connected, empty editor, empty tree")
            << true << kSqlite << kSqlite << false << QString() << false << false
            << "disconnect load exit edit refresh stats report export";
        QTest::newRow("editor holding only blanks still runs")
            << true << kSqlite << kSqlite << false << " \r\n"
            << false << false << "disconnect load exit edit refresh run stats report export";
        QTest::newRow("strings differing in case enable Save")
            << true << kSqlite << kSqlite.toLower() << false << QString() << false << false
            << "disconnect load save exit edit refresh stats report export";
        QTest::newRow("edited string not yet applied")
            << true << kSqlite << QString() << false << QString() << false << false
            << "disconnect load save exit edit refresh stats report export";
    }

    void commandsFollowTheState()
    {
        CommandInputs in;
        QFETCH(bool, connected);
        QFETCH(QString, connectionString);
        QFETCH(QString, profileString);
        QFETCH(bool, treeHasNodes);
        QFETCH(QString, editorText);
        QFETCH(bool, isAccess);
        QFETCH(bool, isSqlite);
        QFETCH(QString, enabled);
        in.connected = connected;
        in.connectionString = connectionString;
        in.profileConnectionString = profileString;
        in.treeHasNodes = treeHasNodes;
        in.editorText = editorText;
        in.isAccess = isAccess;
        in.isSqlite = isSqlite;
        in.currentLanguage = QStringLiteral("en-US");
        const CommandState s = CommandState::compute(in);
        QCOMPARE(enabledOf(s), words(enabled.toLatin1().constData()));
        QCOMPARE(s.resetReportPage, !connected);
    }

    // A session lost under the program can be refreshed, which opens it again; a closed one
    // (never opened, or ended by Disconnect) can only be connected.
    void refreshReconnectsOnlyALostSession_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<bool>("sessionLost");
        QTest::addColumn<QString>("enabled");
        QTest::newRow("open") << true << false << "disconnect load exit edit refresh report export stats";
        QTest::newRow("lost, its string pending") << false << true << "connect load save exit edit refresh";
        QTest::newRow("closed, not lost") << false << false << "connect load save exit edit";
    }

    void refreshReconnectsOnlyALostSession()
    {
        QFETCH(bool, connected);
        QFETCH(bool, sessionLost);
        QFETCH(QString, enabled);
        CommandInputs in;
        in.connected = connected;
        in.sessionLost = sessionLost;
        in.connectionString = connected ? kSqlite : QString();
        in.profileConnectionString = kSqlite;
        const CommandState s = CommandState::compute(in);
        QCOMPARE(enabledOf(s), words(enabled.toLatin1().constData()));
        // The report page goes with the session, lost or closed.
        QCOMPARE(s.resetReportPage, !connected);
    }

    void checkMarksFollowPageAndLanguage_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("checked");
        QTest::newRow("structure, English") << 0 << "en-US"
                                            << "structure en";
        QTest::newRow("SQL, Portuguese") << 1 << "pt-BR"
                                         << "sql pt";
        QTest::newRow("messages") << 2 << "en-US"
                                  << "messages en";
        QTest::newRow("report page has no item") << 3 << "en-US"
                                                 << "en";
        QTest::newRow("unknown language marks neither") << 0 << "pt-PT"
                                                        << "structure";
    }

    void checkMarksFollowPageAndLanguage()
    {
        QFETCH(int, page);
        QFETCH(QString, language);
        QFETCH(QString, checked);
        CommandInputs in;
        in.activePage = page;
        in.currentLanguage = language;
        QCOMPARE(checkedOf(CommandState::compute(in)), words(checked.toLatin1().constData()));
    }

    void runButtonWhileTyping_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("blanks and line breaks") << " \t\r\n  " << false;
        QTest::newRow("control characters") << QStringLiteral("\x01\x1f ") << false;
        QTest::newRow("statement") << "select 1" << true;
        QTest::newRow("statement between blanks") << "\n  x  \n" << true;
        QTest::newRow("no-break space is above 32") << QStringLiteral(u"\u00a0") << true;
    }

    void runButtonWhileTyping()
    {
        QFETCH(QString, text);
        QFETCH(bool, enabled);
        QCOMPARE(CommandState::runButtonWhileTyping(text), enabled);
    }
};

QTEST_APPLESS_MAIN(TestCommandState)
#include "tst_commandstate.moc"
