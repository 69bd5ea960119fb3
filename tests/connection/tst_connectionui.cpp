#include "ScriptedPrompt.h"

#include "WindowDriver.h"
#include "common/AppError.h"
#include "connection/DataLinkDialog.h"
#include "connection/ProfileFile.h"
#include "shell/Guard.h"
#include "shell/Language.h"
#include "shell/MessageDialog.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

class TestConnectionUi : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void failedOpenBeepsShowsMessagesAndLogs();
    void editReconnectsOnlyOnAChangedString();
    void disconnectResetsTheWorkArea();
    void loadLogsMaskedStringAndClosesFirst();
    void loadOfMissingFileAsksForAString();
    void saveAsksOneQuestion_data();
    void saveAsksOneQuestion();
    void saveRefusedByTheFileSystemIsReported();
    void dataLinkStartsOnTheDemoDatabase();
    void dataLinkComposes_data();
    void dataLinkComposes();
    void dataLinkServerFieldsCompose();
    void dataLinkAllPageEditsFlowBack();
    void dataLinkTestConnectionReports();

private:
    QString sqliteFile(const QString &name);
    QString sqliteString(const QString &name)
    {
        return QStringLiteral("Provider=SQLite;Data Source=") + sqliteFile(name);
    }
    QStringList logLines() const;
    void connectWith(const QString &connectionString);

    QTemporaryDir m_dir;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<MainWindow> m_view;
};

void TestConnectionUi::init()
{
    m_prompt = std::make_unique<ScriptedPrompt>();
    m_view = std::make_unique<MainWindow>();
    m_view->applyLanguage();
}

void TestConnectionUi::cleanup()
{
    m_view.reset();
    m_prompt.reset();
}

QString TestConnectionUi::sqliteFile(const QString &name)
{
    const QString path = m_dir.filePath(name);
    if (!QFile::exists(path)) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.close();
        Connection setup;
        setup.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
        setup.open();
        setup.execute(QStringLiteral("CREATE TABLE t (a INTEGER)"));
    }
    return path;
}

QStringList TestConnectionUi::logLines() const
{
    QStringList lines = ui(*m_view).log()->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    // The time stamp and its bar are the log's business; the text follows the first bar.
    for (QString &line : lines)
        line = line.mid(line.indexOf(QLatin1Char('|')) + 1);
    return lines;
}

void TestConnectionUi::connectWith(const QString &connectionString)
{
    m_view->session().profile.connectionString = connectionString;
    ui(*m_view).press(Command::Connect);
}

void TestConnectionUi::failedOpenBeepsShowsMessagesAndLogs()
{
    // Cancelled data-link dialog: the empty string is opened and fails.
    ui(*m_view).press(Command::Connect);
    QCOMPARE(m_prompt->dataLinkInitials, QStringList{QString()});
    QVERIFY(!m_view->session().connection().isOpen());
    QCOMPARE(m_prompt->beeps, 1);
    QCOMPARE(ui(*m_view).pages()->currentWidget(), ui(*m_view).page(Page::Messages));
    QCOMPARE(logLines().size(), 1);
    QVERIFY(!logLines().constFirst().isEmpty());
    QVERIFY(m_prompt->errorReports.isEmpty());
    QVERIFY(m_prompt->dialogs.isEmpty());

    // A missing file: the attempted string stays in the connection for the next Edit.
    const QString missing =
        QStringLiteral("Provider=SQLite;Data Source=") + m_dir.filePath(QStringLiteral("none.db"));
    connectWith(missing);
    QCOMPARE(m_prompt->beeps, 2);
    QVERIFY(logLines().constLast().contains(QLatin1String("none.db")));
    QCOMPARE(m_view->session().connection().connectionString(), missing);
}

void TestConnectionUi::editReconnectsOnlyOnAChangedString()
{
    const QString first = sqliteString(QStringLiteral("first.db"));
    connectWith(first);
    QVERIFY(m_view->session().connection().isOpen());
    const int linesAfterConnect = int(logLines().size());
    m_view->session().profile.connectionString.clear();

    // Cancelled (the seed comes back): no reconnect, but the pending string is the current one.
    ui(*m_view).press(Command::Edit);
    QCOMPARE(m_prompt->dataLinkInitials.constLast(), first);
    QCOMPARE(m_view->session().profile.connectionString, first);
    QCOMPARE(logLines().size(), linesAfterConnect);
    QVERIFY(m_view->session().connection().isOpen());

    // A changed string reconnects once, with no second dialog.
    const QString second = sqliteString(QStringLiteral("second.db"));
    m_prompt->dataLinkAnswers.enqueue(second);
    ui(*m_view).press(Command::Edit);
    QCOMPARE(m_prompt->dataLinkInitials.size(), 2);
    QVERIFY(m_view->session().connection().isOpen());
    QCOMPARE(m_view->session().connection().connectionString(), second);
    QCOMPARE(m_view->session().profile.connectionString, second);
    QCOMPARE(m_view->session().facts.databaseName, QStringLiteral("second.db"));
}

void TestConnectionUi::disconnectResetsTheWorkArea()
{
    connectWith(sqliteString(QStringLiteral("shop.db")));
    QVERIFY(m_view->session().connection().isOpen());
    QVERIFY(ui(*m_view).tree()->topLevelItemCount() > 0);
    m_view->session().connection().close();
    QCOMPARE(ui(*m_view).tree()->topLevelItemCount(), 0);
    QCOMPARE(m_view->windowTitle(), QStringLiteral("Orvessa"));
    QVERIFY(m_view->session().profile.connectionString.isEmpty());
    QVERIFY(m_view->session().connection().connectionString().isEmpty());
    QVERIFY(!ui(*m_view).action(Command::Collapse)->isEnabled());
    QVERIFY(!ui(*m_view).button(Command::Collapse)->isEnabled());
    // The facts of the last analysis stay.
    QVERIFY(m_view->session().facts.isSqlite);
    QCOMPARE(m_view->session().facts.databaseName, QStringLiteral("shop.db"));
}

void TestConnectionUi::loadLogsMaskedStringAndClosesFirst()
{
    connectWith(sqliteString(QStringLiteral("shop.db")));
    QVERIFY(m_view->session().connection().isOpen());
    ui(*m_view).log()->clear();

    const QString profile = m_dir.filePath(QStringLiteral("remote.ovs"));
    QFile file(profile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(
        "[DB]\r\nConnString=Provider=PostgreSQL;Data Source=127.0.0.1;Port=1;User ID=u;Password=s3cret\r\n");
    file.close();

    m_prompt->fileAnswers.enqueue(profile);
    ui(*m_view).press(Command::Load);
    QCOMPARE(m_view->session().profile.fileName, profile);
    QVERIFY(!m_view->session().connection().isOpen());
    QCOMPARE(ui(*m_view).tree()->topLevelItemCount(), 0);
    QCOMPARE(m_view->windowTitle(), QStringLiteral("Orvessa"));
    const QStringList lines = logLines();
    QVERIFY(lines.size() >= 3);
    QCOMPARE(lines[0], ui(*m_view).button(Command::Load)->toolTip() + QLatin1Char(' ') + profile);
    QCOMPARE(
        lines[1],
        QStringLiteral("ConnString:Provider=PostgreSQL;Data Source=127.0.0.1;Port=1;User ID=u;Password=***"));
    QVERIFY(!ui(*m_view).log()->toPlainText().contains(QLatin1String("s3cret")));
    // The open was tried with the string as loaded, password included.
    QVERIFY(m_view->session().connection().connectionString().endsWith(QLatin1String("Password=s3cret")));
    QCOMPARE(m_prompt->beeps, 1);
}

void TestConnectionUi::loadOfMissingFileAsksForAString()
{
    const QString profile = m_dir.filePath(QStringLiteral("absent.ovs"));
    m_prompt->fileAnswers.enqueue(profile);
    ui(*m_view).press(Command::Load);
    QCOMPARE(logLines().mid(0, 2),
             QStringList({ui(*m_view).button(Command::Load)->toolTip() + QLatin1Char(' ') + profile,
                          QStringLiteral("ConnString:")}));
    QCOMPARE(m_prompt->dataLinkInitials, QStringList{QString()});
}

void TestConnectionUi::saveAsksOneQuestion_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::addColumn<bool>("overwriteQuestion");
    QTest::addColumn<int>("answer");

    QTest::newRow("new name without extension") << "prof"
                                                << "prof.ovs" << false << int(mrYes);
    QTest::newRow("other extension replaced") << "prof.txt"
                                              << "prof.ovs" << false << int(mrYes);
    QTest::newRow("dot in the folder is no extension") << "a.b/prof"
                                                       << "a.b/prof.ovs" << false << int(mrYes);
    QTest::newRow("the current profile again") << "current.ovs"
                                               << "current.ovs" << false << int(mrYes);
    QTest::newRow("another existing file") << "other.OVS"
                                           << "other.ovs" << true << int(mrYes);
    QTest::newRow("same name in another case is another file") << "CURRENT.ovs"
                                                               << "CURRENT.ovs" << true << int(mrYes);
    QTest::newRow("answered No writes nothing") << "declined"
                                                << "declined.ovs" << false << int(mrNo);
}

void TestConnectionUi::saveAsksOneQuestion()
{
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    QFETCH(bool, overwriteQuestion);
    QFETCH(int, answer);

    QTemporaryDir folder; // each row starts on its own files
    QDir(folder.path()).mkpath(QStringLiteral("a.b"));
    const QString current = folder.filePath(QStringLiteral("current.ovs"));
    for (const QString &existing : {current, folder.filePath(QStringLiteral("other.ovs")),
                                    folder.filePath(QStringLiteral("CURRENT.ovs"))}) {
        QFile f(existing);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[Keep]\r\nA=1\r\n");
    }
    const QString cs = sqliteString(QStringLiteral("shop.db"));
    connectWith(cs);
    m_view->session().profile.fileName = current;
    ui(*m_view).log()->clear();

    m_prompt->dialogAnswers.enqueue(answer);
    m_prompt->fileAnswers.enqueue(folder.filePath(chosen));
    ui(*m_view).press(Command::Save);

    const QString target = folder.filePath(written);
    const QString name = QFileInfo(target).fileName();
    QCOMPARE(m_prompt->dialogs.size(), 1);
    const QString templ = overwriteQuestion ? uiTexts().fileExistsQuestion : uiTexts().saveAsQuestion;
    QCOMPARE(m_prompt->dialogs[0].text, QString(templ).replace(QLatin1String("%s"), name));

    const QString stored =
        ProfileFile::readString(target, QStringLiteral("DB"), QStringLiteral("ConnString"));
    if (answer != mrYes) {
        QCOMPARE(m_view->session().profile.fileName, current);
        QVERIFY(!QFile::exists(target));
        QVERIFY(logLines().isEmpty());
        return;
    }
    QCOMPARE(m_view->session().profile.fileName, target);
    QCOMPARE(m_view->session().profile.connectionString, cs);
    QCOMPARE(stored, cs);
    if (overwriteQuestion) {
        QFile f(target);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().startsWith("[Keep]\r\nA=1\r\n"));
    }
    QCOMPARE(logLines(),
             QStringList{ui(*m_view).button(Command::Save)->toolTip() + QLatin1Char(' ') + target});
}

void TestConnectionUi::saveRefusedByTheFileSystemIsReported()
{
    connectWith(sqliteString(QStringLiteral("shop.db")));
    ui(*m_view).log()->clear();
    const QString target = m_dir.filePath(QStringLiteral("no/such/folder/p.ovs"));
    m_prompt->dialogAnswers.enqueue(mrYes);
    m_prompt->fileAnswers.enqueue(target);
    ui(*m_view).press(Command::Save);
    // No part of the command catches it: the general error report says it.
    QCOMPARE(m_prompt->errorReports,
             QStringList{generalErrorText(QStringLiteral("Unable to write to ") + target)});
    QCOMPARE(m_view->session().profile.fileName, target);
    QCOMPARE(m_view->session().profile.connectionString, m_view->session().connection().connectionString());
    QVERIFY(logLines().isEmpty());
}

void TestConnectionUi::dataLinkStartsOnTheDemoDatabase()
{
    DataLinkDialog dialog(QString{});
    QCOMPARE(dialog.property("orvessaNoWheelRewrite").toBool(), true);
    QCOMPARE(dialog.tabs()->currentIndex(), int(DataLinkDialog::ConnectionPage));
    QCOMPARE(dialog.providerList()->currentItem()->text(), QStringLiteral("SQLite"));
    const QString demo = QCoreApplication::applicationDirPath() + QStringLiteral("/demo.sqlite");
    QCOMPARE(dialog.fileEdit()->text(), demo);
    QCOMPARE(dialog.connectionString(), QStringLiteral("Provider=SQLite;Data Source=") + demo);
}

void TestConnectionUi::dataLinkComposes_data()
{
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QString>("provider");
    QTest::addColumn<QString>("composed");

    QTest::newRow("PostgreSQL read back unchanged")
        << "Provider=PostgreSQL;Data Source=db.local;Port=5433;Initial Catalog=shop;User ID=u;Password=p"
        << "PostgreSQL"
        << "Provider=PostgreSQL;Data Source=db.local;Port=5433;Initial Catalog=shop;User ID=u;Password=p";
    QTest::newRow("MySQL from Server and Database")
        << "Provider=MySQLProv;Server=h;Database=d;UID=u"
        << "MySQL/MariaDB"
        << "Provider=MySQL;Data Source=h;Initial Catalog=d;User ID=u";
    QTest::newRow("SQL Server port after a comma, other entries kept")
        << "Provider=SQLNCLI11;Data Source=srv,1444;Initial Catalog=Nw;User ID=sa;Password=x;Persist "
           "Security Info=True"
        << "SQL Server"
        << "Provider=SQLOLEDB.1;Data Source=srv,1444;Initial Catalog=Nw;User ID=sa;Password=x;Persist "
           "Security Info=True";
    QTest::newRow("Access .accdb gets the ACE provider")
        << "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/data/b.accdb"
        << "Access"
        << "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/data/b.accdb";
    QTest::newRow("Access .mdb through DBQ") << "Provider=Microsoft.ACE.OLEDB.12.0;DBQ=/data/a.mdb"
                                             << "Access"
                                             << "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/data/a.mdb";
    QTest::newRow("ODBC data source name") << "Provider=MSDASQL;DSN=pg;UID=u;PWD=p"
                                           << "ODBC data source"
                                           << "Provider=MSDASQL;DSN=pg;UID=u;PWD=p";
    QTest::newRow("ODBC driver string kept as typed") << "Driver={SQLite3};Database=/tmp/a.db"
                                                      << "ODBC data source"
                                                      << "Driver=SQLite3;Database=/tmp/a.db";
    QTest::newRow("unknown provider edited as pairs") << "Provider=Foo.1;Bar=baz"
                                                      << ""
                                                      << "Provider=Foo.1;Bar=baz";
    QTest::newRow("value with a semicolon quoted") << "Provider=SQLite;Data Source=\"/tmp/a;b.db\""
                                                   << "SQLite"
                                                   << "Provider=SQLite;Data Source=\"/tmp/a;b.db\"";
}

void TestConnectionUi::dataLinkComposes()
{
    QFETCH(QString, initial);
    QFETCH(QString, provider);
    DataLinkDialog dialog(initial);
    const QListWidgetItem *current = dialog.providerList()->currentItem();
    QCOMPARE(current && dialog.providerList()->currentRow() >= 0 ? current->text() : QString(), provider);
    QTEST(dialog.connectionString(), "composed");
}

void TestConnectionUi::dataLinkServerFieldsCompose()
{
    DataLinkDialog dialog(QString{});
    dialog.providerList()->setCurrentRow(1); // PostgreSQL
    dialog.hostEdit()->setText(QStringLiteral("127.0.0.1"));
    dialog.databaseEdit()->setText(QStringLiteral("shop"));
    dialog.userEdit()->setText(QStringLiteral("me"));
    dialog.passwordEdit()->setText(QStringLiteral("p;w"));
    QCOMPARE(
        dialog.connectionString(),
        QStringLiteral(
            "Provider=PostgreSQL;Data Source=127.0.0.1;Initial Catalog=shop;User ID=me;Password=\"p;w\""));
    // Switching to another server keeps what was typed.
    dialog.providerList()->setCurrentRow(2);
    QCOMPARE(dialog.hostEdit()->text(), QStringLiteral("127.0.0.1"));
    dialog.portEdit()->setText(QStringLiteral("3307"));
    QCOMPARE(dialog.connectionString(), QStringLiteral("Provider=MySQL;Data Source=127.0.0.1;Port=3307;"
                                                       "Initial Catalog=shop;User ID=me;Password=\"p;w\""));
}

void TestConnectionUi::dataLinkAllPageEditsFlowBack()
{
    DataLinkDialog dialog(QStringLiteral("Provider=SQLite;Data Source=/tmp/a.db"));
    dialog.tabs()->setCurrentIndex(DataLinkDialog::AllPage);
    QTableWidget *all = dialog.allTable();
    QCOMPARE(all->rowCount(), 2);
    QCOMPARE(all->item(1, 0)->text(), QStringLiteral("Data Source"));
    all->item(1, 1)->setText(QStringLiteral("/tmp/b.db"));
    all->insertRow(2);
    all->setItem(2, 0, new QTableWidgetItem(QStringLiteral("Mode")));
    all->setItem(2, 1, new QTableWidgetItem(QStringLiteral("ro")));
    QCOMPARE(dialog.connectionString(), QStringLiteral("Provider=SQLite;Data Source=/tmp/b.db;Mode=ro"));
    dialog.tabs()->setCurrentIndex(DataLinkDialog::ConnectionPage);
    QCOMPARE(dialog.fileEdit()->text(), QStringLiteral("/tmp/b.db"));
    QCOMPARE(dialog.connectionString(), QStringLiteral("Provider=SQLite;Data Source=/tmp/b.db;Mode=ro"));
}

void TestConnectionUi::dataLinkTestConnectionReports()
{
    DataLinkDialog dialog(sqliteString(QStringLiteral("test.db")));
    dialog.testConnection();
    QCOMPARE(m_prompt->dialogs.size(), 1);
    QCOMPARE(m_prompt->dialogs[0].text, QStringLiteral("Test connection succeeded."));

    dialog.fileEdit()->setText(m_dir.filePath(QStringLiteral("missing.db")));
    dialog.testConnection();
    QCOMPARE(m_prompt->dialogs.size(), 2);
    QVERIFY(m_prompt->dialogs[1].text.contains(QLatin1String("missing.db")));
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("missing.db"))));
}

QTEST_MAIN(TestConnectionUi)
#include "tst_connectionui.moc"
