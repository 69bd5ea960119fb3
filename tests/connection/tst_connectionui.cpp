#include "OrdinaryPermissions.h"
#include "ScriptedPrompt.h"
#include "SecondUser.h"

#include "WindowDriver.h"
#include "common/AppError.h"
#include "connection/DataLinkDialog.h"
#include "connection/DemoDatabase.h"
#include "connection/ProfileFile.h"
#include "connection/SecretValueDelegate.h"
#include "shell/Guard.h"
#include "shell/Language.h"
#include "shell/MessageDialog.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
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

#include <memory>

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
    void saveThroughAnotherUsersLinkIsRefused();
    void saveWhereTheFolderCannotBeFlushedIsNoFailure();
    void savedPasswordNarrowsTheProfileAndTheLogSaysSo();
    void saveRefusedByTheFileSystemIsReported();
    void dataLinkStartsOnTheDemoDatabase();
    void aDemoDatabaseTheUserCannotWriteIsCopiedOnFirstUse();
    void dataLinkComposes_data();
    void dataLinkComposes();
    void dataLinkServerFieldsCompose();
    void dataLinkAllPageMasksPasswordsUntilShown_data();
    void dataLinkAllPageMasksPasswordsUntilShown();
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
    QTest::newRow("a link that leads nowhere yet is a taken name") << "dangling"
                                                                   << "dangling.ovs" << true << int(mrYes);
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
    QVERIFY(QFile::link(folder.filePath(QStringLiteral("a.b/later.ovs")),
                        folder.filePath(QStringLiteral("dangling.ovs"))));
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
    if (overwriteQuestion && !QFileInfo(target).isSymLink()) {
        QFile f(target);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().startsWith("[Keep]\r\nA=1\r\n"));
    }
    QCOMPARE(logLines(),
             QStringList{ui(*m_view).button(Command::Save)->toolTip() + QLatin1Char(' ') + target});
}

// A profile may hold a password: it never goes through another user's link in a shared folder.
void TestConnectionUi::saveThroughAnotherUsersLinkIsRefused()
{
    ORVESSA_REQUIRE_SECOND_USER(other);
    const QString shared = SecondUser::makeSharedFolder(m_dir.path());
    QVERIFY(!shared.isEmpty());
    const QString victim = m_dir.filePath(QStringLiteral("victim.ovs"));
    {
        QFile f(victim);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[Keep]\r\nA=1\r\n");
    }
    const QString planted = QDir(shared).filePath(QStringLiteral("p.ovs"));
    QFile::remove(planted);
    QVERIFY(other.plantLink(victim, planted));
    connectWith(sqliteString(QStringLiteral("shop.db")));
    m_prompt->dialogAnswers.enqueue(mrYes);
    m_prompt->fileAnswers.enqueue(planted);
    ui(*m_view).press(Command::Save);
    QCOMPARE(m_prompt->errorReports,
             QStringList{
                 generalErrorText(QStringLiteral("Unable to write to %1: %1 is a link that another user put "
                                                 "in the shared folder %2; it is not followed.")
                                      .arg(planted, shared))});
    QFile f(victim);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("[Keep]\r\nA=1\r\n"));
}

// Once the profile is in place the save has happened, even when its folder cannot be flushed.
void TestConnectionUi::saveWhereTheFolderCannotBeFlushedIsNoFailure()
{
    connectWith(sqliteString(QStringLiteral("shop.db")));
    ui(*m_view).log()->clear();
    const QString folder = m_dir.filePath(QStringLiteral("unreadable"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QFile::setPermissions(folder, QFile::WriteOwner | QFile::ExeOwner));
    const QString target = QDir(folder).filePath(QStringLiteral("p.ovs"));
    m_prompt->dialogAnswers.enqueue(mrYes);
    m_prompt->fileAnswers.enqueue(target);
    {
        OrdinaryPermissions ordinary;
        QVERIFY(ordinary.isValid());
        ui(*m_view).press(Command::Save);
    }
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QCOMPARE(m_prompt->errorReports, QStringList());
    QCOMPARE(ProfileFile::readString(target, QStringLiteral("DB"), QStringLiteral("ConnString")),
             m_view->session().connection().connectionString());
    QCOMPARE(logLines(),
             QStringList({ui(*m_view).button(Command::Save)->toolTip() + QLatin1Char(' ') + target,
                          uiTexts().fileNotOnDisk.arg(target, QStringLiteral("Permission denied"))}));
}

// Saving a password into a profile others could read makes it the owner's alone, and says so.
void TestConnectionUi::savedPasswordNarrowsTheProfileAndTheLogSaysSo()
{
    const QString target = m_dir.filePath(QStringLiteral("shared.ovs"));
    {
        QFile f(target);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[DB]\r\nConnString=Provider=SQLite\r\n");
    }
    QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                              QFile::ReadOther));
    const QString cs = sqliteString(QStringLiteral("shop.db")) + QStringLiteral(";Password=s3cret");
    connectWith(cs);
    m_view->session().profile.fileName = target;
    ui(*m_view).log()->clear();
    m_prompt->dialogAnswers.enqueue(mrYes); // save as
    m_prompt->dialogAnswers.enqueue(mrYes); // keep the password in it
    m_prompt->fileAnswers.enqueue(target);
    ui(*m_view).press(Command::Save);
    QCOMPARE(QFile::permissions(target),
             QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    QCOMPARE(logLines(),
             QStringList({ui(*m_view).button(Command::Save)->toolTip() + QLatin1Char(' ') + target,
                          uiTexts().profileNarrowed.arg(target, QStringLiteral("0644"))}));
    QVERIFY(!ui(*m_view).logText().contains(QLatin1String("s3cret")));
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

// An installed demo the user may not write (root's, in the program's folder) is copied into the
// user's data folder on first use, and that copy is the demo from then on.
void TestConnectionUi::aDemoDatabaseTheUserCannotWriteIsCopiedOnFirstUse()
{
    QTemporaryDir root;
    const QString installed = root.filePath(QStringLiteral("lib/orvessa"));
    QVERIFY(QDir().mkpath(installed));
    const QString demo = QDir(installed).filePath(QStringLiteral("demo.sqlite"));
    {
        Connection make;
        QFile(demo).open(QIODevice::WriteOnly);
        make.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + demo);
        make.open();
        make.execute(QStringLiteral("CREATE TABLE shop (id INTEGER PRIMARY KEY, name TEXT)"));
        make.execute(QStringLiteral("INSERT INTO shop VALUES (1, 'demo')"));
    }
    const QByteArray previousData = qgetenv("XDG_DATA_HOME");
    const QString data = root.filePath(QStringLiteral("home/.local/share"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(data));
    const QString copy = data + QStringLiteral("/orvessa/demo.sqlite");

    // Where the user may write it, the installed file is the demo.
    QCOMPARE(demoDatabaseFile(installed), demo);
    QVERIFY(!QFileInfo::exists(copy));

    QVERIFY(QFile::setPermissions(demo, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    QVERIFY(QFile::setPermissions(installed,
                                  QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    QString first;
    QString again;
    {
        OrdinaryPermissions ordinary;
        QVERIFY(ordinary.isValid());
        first = demoDatabaseFile(installed);
        Connection connection;
        connection.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + first);
        connection.open();
        QVERIFY(!connection.readOnly());
        connection.execute(QStringLiteral("UPDATE shop SET name = 'mine'"));
        again = demoDatabaseFile(installed);
    }
    QVERIFY(QFile::setPermissions(installed, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    if (previousData.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", previousData);
    QCOMPARE(first, copy);
    QCOMPARE(again, copy);
    QCOMPARE(QFileInfo(copy.left(copy.lastIndexOf(QLatin1Char('/')))).permissions() & 0x0077, 0);
    Connection check;
    check.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + copy);
    check.open();
    QCOMPARE(check.execute(QStringLiteral("SELECT name FROM shop")).recordset->value(0, 0).toString(),
             QStringLiteral("mine"));
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

void TestConnectionUi::dataLinkAllPageMasksPasswordsUntilShown_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("English") << "en-US";
    QTest::newRow("Portuguese") << "pt-BR";
}

// The All page shows a password as the password field does, to the eye and to a screen reader,
// until the user asks to see it; the string composed keeps it either way.
void TestConnectionUi::dataLinkAllPageMasksPasswordsUntilShown()
{
    QFETCH(QString, language);
    setUiLanguage(language);
    DataLinkDialog dialog(QStringLiteral("Provider=PostgreSQL;Data Source=h;User ID=u;Password=s3cret"));
    dialog.tabs()->setCurrentIndex(DataLinkDialog::AllPage);
    QTableWidget *all = dialog.allTable();
    auto rowOf = [all](const QString &name) {
        for (int r = 0; r < all->rowCount(); ++r) {
            if (all->item(r, 0)->text() == name)
                return r;
        }
        return -1;
    };
    const int password = rowOf(QStringLiteral("Password"));
    const int user = rowOf(QStringLiteral("User ID"));
    QVERIFY(password >= 0 && user >= 0);
    QAccessibleInterface *table = QAccessible::queryAccessibleInterface(all);
    QVERIFY(table && table->tableInterface());
    auto heard = [table](int row) {
        return table->tableInterface()->cellAt(row, 1)->text(QAccessible::Name);
    };
    auto editorEcho = [all](int row) {
        std::unique_ptr<QWidget> editor(all->itemDelegateForColumn(1)->createEditor(
            all->viewport(), QStyleOptionViewItem(), all->model()->index(row, 1)));
        auto *line = qobject_cast<QLineEdit *>(editor.get());
        return line ? line->echoMode() : QLineEdit::NoEcho;
    };

    QVERIFY2(!heard(password).contains(QLatin1String("s3cret")), qPrintable(heard(password)));
    QCOMPARE(heard(password).size(), 6);
    QCOMPARE(heard(user), QStringLiteral("u"));
    QCOMPARE(editorEcho(password), QLineEdit::Password);
    QCOMPARE(editorEcho(user), QLineEdit::Normal);

    QCheckBox *show = nullptr;
    for (QCheckBox *box : dialog.findChildren<QCheckBox *>()) {
        if (box->text() == textsFor(language).dataLinkShowSecrets)
            show = box;
    }
    QVERIFY(show);
    QCOMPARE(show->accessibleName(),
             QString(textsFor(language).dataLinkShowSecrets).remove(QLatin1Char('&')));
    QVERIFY(!show->isChecked());
    show->setChecked(true);
    QCOMPARE(heard(password), QStringLiteral("s3cret"));
    QCOMPARE(editorEcho(password), QLineEdit::Normal);
    show->setChecked(false);

    // A value becomes secret with its name; what is composed keeps every value.
    all->item(user, 0)->setText(QStringLiteral("Jet OLEDB:Database Password"));
    QCOMPARE(heard(user), SecretValueDelegate::masked(QStringLiteral("u")));
    QCOMPARE(
        dialog.connectionString(),
        QStringLiteral("Provider=PostgreSQL;Data Source=h;Password=s3cret;Jet OLEDB:Database Password=u"));
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
