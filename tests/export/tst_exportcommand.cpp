// Tools > Export data on a real main window over a SQLite database.
#include "ExportReader.h"
#include "ScriptedPrompt.h"

#include "WindowDriver.h"
#include "editor/SqlEditor.h"
#include "query/Query.h"
#include "shell/Language.h"
#include "shell/MessageDialog.h"
#include "shell/texts/UiTexts.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <sqlite3.h>

#include <atomic>
#include <csignal>
#include <thread>

#include <sys/resource.h>
#include <sys/stat.h>

namespace {

void exec(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    char *error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK)
        qWarning("%s", error);
    sqlite3_free(error);
    sqlite3_close(db);
}

unsigned modeOf(const QString &path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? unsigned(st.st_mode & 07777) : 0u;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs each piece of work on a thread of its own, as the program's runner does, and presses
// Cancel once the running count has reached rows.
WorkRunner cancellingAfter(const std::atomic<qint64> *fetched, qint64 rows)
{
    return [fetched, rows](const std::function<void()> &work, const std::function<void()> &cancel) {
        std::atomic<bool> done{false};
        std::exception_ptr error;
        std::thread worker([&] {
            try {
                work();
            } catch (...) {
                error = std::current_exception();
            }
            done = true;
        });
        while (!done && fetched->load() < rows)
            std::this_thread::yield();
        if (!done)
            cancel();
        worker.join();
        if (error)
            std::rethrow_exception(error);
    };
}

const char *const kManyRows =
    "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 2000000) "
    "SELECT i, 'row ' || i AS label FROM c";

} // namespace

class TestExportCommand : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_temp;   // TMPDIR of the program under test
    std::unique_ptr<QTemporaryDir> m_folder; // where files are exported; the current folder
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<MainWindow> m_view;
    QString m_database;
    QString m_previousFolder;

    MainWindow &view() { return *m_view; }

    QString exported(const char *name) const { return m_folder->filePath(QLatin1String(name)); }
    QStringList filesInFolder() const
    {
        return QDir(m_folder->path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
    QString log() const { return ui(*m_view).log()->toPlainText(); }

    void runQuery(const QString &sql)
    {
        ui(view()).editor()->setText(sql);
        ui(view()).press(Command::Run);
        QVERIFY(view().session().query().isOpen());
    }

    // Answers the save dialog with a file and a file type of the current language.
    void answerSave(const QString &path, QString UiTexts::*type)
    {
        m_prompt->fileAnswers.enqueue(path);
        m_prompt->filterAnswers.enqueue(uiTexts().*type);
    }

private slots:
    void init()
    {
        m_temp = std::make_unique<QTemporaryDir>();
        m_folder = std::make_unique<QTemporaryDir>();
        qputenv("TMPDIR", m_temp->path().toUtf8());
        qunsetenv("XDG_RUNTIME_DIR");
        m_previousFolder = QDir::currentPath();
        QDir::setCurrent(m_folder->path());
        m_prompt = std::make_unique<ScriptedPrompt>();
        setUiLanguage(QStringLiteral("en-US"));
        m_view = std::make_unique<MainWindow>();
        view().applyLanguage();

        m_database = m_temp->filePath(QStringLiteral("Shop.db"));
        exec(m_database,
             "CREATE TABLE Customers (Id INTEGER PRIMARY KEY, Name TEXT, Born DATE);"
             "INSERT INTO Customers VALUES (2, 'Zoë, \"Z\"', '2001-02-03'), (1, 'Ann', '1999-12-31'),"
             " (3, NULL, NULL);");
        view().session().connection().setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") +
                                                          m_database);
        view().session().connection().open();
        QVERIFY(view().session().connection().isOpen());
        view().updateCommands();
    }

    void cleanup()
    {
        m_view.reset();
        m_prompt.reset();
        QDir::setCurrent(m_previousFolder);
        qunsetenv("TMPDIR");
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    void commandSitsAfterReportAndFollowsItsState()
    {
        const QList<QAction *> tools = ui(view()).menuBarItem(3)->menu()->actions();
        QCOMPARE(tools.indexOf(ui(view()).action(Command::ExportData)),
                 tools.indexOf(ui(view()).action(Command::Report)) + 1);
        QVERIFY(ui(view()).action(Command::ExportData)->isEnabled());
        view().session().connection().close();
        QVERIFY(!ui(view()).action(Command::ExportData)->isEnabled());
        QCOMPARE(ui(view()).action(Command::ExportData)->isEnabled(),
                 ui(view()).action(Command::Report)->isEnabled());
    }

    void resultOnShowIsExportedUnderTheProposedName_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("proposed");
        QTest::newRow("English") << "en-US"
                                 << "Undefined2.csv";
        QTest::newRow("Portuguese") << "pt-BR"
                                    << "Indefinido1.csv";
    }

    void resultOnShowIsExportedUnderTheProposedName()
    {
        QFETCH(QString, language);
        QFETCH(QString, proposed);
        QVERIFY(QFile(exported("Undefined1.xlsx")).open(QIODevice::WriteOnly));
        setUiLanguage(language);
        view().applyLanguage();
        runQuery(QStringLiteral("SELECT Id, Name FROM Customers WHERE Id < 3 ORDER BY Id DESC"));

        answerSave(exported("people"), &UiTexts::exportFilterJsonLines);
        ui(view()).press(Command::ExportData);

        QCOMPARE(m_prompt->saveDialogs.size(), 1);
        const FileDialogOptions &dialog = m_prompt->saveDialogs.first();
        const UiTexts &t = textsFor(language);
        QCOMPARE(dialog.caption, t.exportCaption);
        QCOMPARE(dialog.fileName, proposed);
        QCOMPARE(QDir(dialog.folder), QDir(m_folder->path()));
        QCOMPARE(dialog.filter.split(QStringLiteral(";;")),
                 QStringList({t.exportFilterCsv, t.exportFilterCsvBom, t.exportFilterWorkbook,
                              t.exportFilterJsonLines}));

        const QJsonArray rows = exportedRows(readExport(QStringLiteral("jsonl"), exported("people.jsonl")));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(0).toObject().value(QStringLiteral("values")).toArray(),
                 QJsonArray({QJsonObject{{"n", "2"}}, QJsonObject{{"s", QStringLiteral(u"Zoë, \"Z\"")}}}));
        QVERIFY(log().contains(t.exportDone.arg(exported("people.jsonl"), QStringLiteral("2"))));
        QCOMPARE(filesInFolder(), QStringList({"Undefined1.xlsx", "people.jsonl"}));
        // A new file gets the mode of any new file of the user.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        QCOMPARE(modeOf(exported("people.jsonl")), 0666u & ~unsigned(mask));
    }

    void selectedTableIsExportedWithoutAResult()
    {
        QTreeWidgetItem *table = ui(view()).tree()->topLevelItem(0)->child(0);
        QCOMPARE(table->text(0), QStringLiteral("Customers"));
        ui(view()).tree()->setCurrentItem(table);
        QVERIFY(!view().session().query().isOpen());

        QVERIFY(QDir(m_folder->path()).mkdir(QStringLiteral("sub")));
        answerSave(exported("sub/customers.xlsx"), &UiTexts::exportFilterCsv);
        ui(view()).press(Command::ExportData);
        // The next export proposes its name in the folder of this one.
        ui(view()).press(Command::ExportData);
        QCOMPARE(m_prompt->saveDialogs.size(), 2);
        QCOMPARE(QDir(m_prompt->saveDialogs.last().folder), QDir(exported("sub")));

        const QJsonArray rows =
            exportedRows(readExport(QStringLiteral("xlsx"), exported("sub/customers.xlsx")));
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows.at(0).toArray(), QJsonArray({QJsonObject{{"s", "Id"}}, QJsonObject{{"s", "Name"}},
                                                   QJsonObject{{"s", "Born"}}}));
        QCOMPARE(rows.at(1).toArray(), QJsonArray({QJsonObject{{"n", "1"}}, QJsonObject{{"s", "Ann"}},
                                                   QJsonObject{{"d", "1999-12-31T00:00:00"}}}));
        // The table object is left to the structure grid and the tree.
        QVERIFY(!view().session().query().isOpen());
    }

    void nothingToExportSaysSo()
    {
        ui(view()).press(Command::ExportData);
        QVERIFY(m_prompt->saveDialogs.isEmpty());
        QCOMPARE(m_prompt->beeps, 1);
        QVERIFY(log().endsWith(uiTexts().exportNothing));
        QCOMPARE(ui(view()).pages()->currentWidget(), ui(view()).page(Page::Messages));
    }

    void existingFileIsReplacedOnlyAfterYes()
    {
        runQuery(QStringLiteral("SELECT Id FROM Customers ORDER BY Id"));
        const QString file = exported("ids.csv");
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        QVERIFY(::chmod(QFile::encodeName(file).constData(), 0600) == 0);

        answerSave(file, &UiTexts::exportFilterCsvBom);
        m_prompt->dialogAnswers.enqueue(mrNo);
        ui(view()).press(Command::ExportData);
        QCOMPARE(m_prompt->dialogs.size(), 1);
        QCOMPARE(m_prompt->dialogs.first().text, QStringLiteral("File [ids.csv] already exists. Overwrite?"));
        QCOMPARE(readAll(file), QByteArray("old"));

        answerSave(file, &UiTexts::exportFilterCsvBom);
        m_prompt->dialogAnswers.enqueue(mrYes);
        ui(view()).press(Command::ExportData);
        QCOMPARE(readAll(file), QByteArray("\xEF\xBB\xBFId\r\n1\r\n2\r\n3\r\n"));
        // The replaced file keeps its mode.
        QCOMPARE(modeOf(file), 0600u);
        QCOMPARE(filesInFolder(), QStringList{"ids.csv"});
    }

    void statementThatMayWriteIsRunAgainOnlyAfterYes()
    {
        runQuery(QStringLiteral("INSERT INTO Customers (Name) VALUES ('new') RETURNING Id, Name"));
        auto count = [this] {
            return view()
                .session()
                .connection()
                .execute(QStringLiteral("SELECT count(*) FROM Customers"))
                .recordset->value(0, 0)
                .toInt();
        };
        QCOMPARE(count(), 4);
        answerSave(exported("inserted.csv"), &UiTexts::exportFilterCsv);
        m_prompt->dialogAnswers.enqueue(mrNo);
        ui(view()).press(Command::ExportData);
        QCOMPARE(m_prompt->dialogs.size(), 1);
        QCOMPARE(m_prompt->dialogs.first().text, uiTexts().exportRerunQuestion);
        QVERIFY(m_prompt->saveDialogs.isEmpty());
        QCOMPARE(count(), 4);
        QVERIFY(filesInFolder().isEmpty());

        m_prompt->dialogAnswers.enqueue(mrYes);
        ui(view()).press(Command::ExportData);
        QCOMPARE(count(), 5);
        QCOMPARE(readAll(exported("inserted.csv")), QByteArray("Id,Name\r\n5,new\r\n"));
    }

    void cancelLeavesNoFileAndSaysSo()
    {
        view().session().connection().setWorkRunner(
            cancellingAfter(view().session().connection().rowsFetchedCounter(), 5000));
        runQuery(QString::fromLatin1(kManyRows));
        // The grid's own run was cancelled too, keeping its rows: the export runs the text again.
        const QString file = exported("many.csv");
        answerSave(file, &UiTexts::exportFilterCsv);
        ui(view()).press(Command::ExportData);
        QVERIFY(filesInFolder().isEmpty());
        QVERIFY(log().endsWith(uiTexts().exportCancelled.arg(file)));
        QCOMPARE(m_prompt->beeps, 0);
    }

    void failureHalfWayLeavesTheOldFileAndSaysWhy()
    {
        runQuery(QStringLiteral("SELECT Id FROM Customers"));
        // Rows come before the error.
        view().session().query().setSql(QStringLiteral(
            "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 300000) "
            "SELECT i, CASE WHEN i < 200000 THEN i ELSE abs(-9223372036854775807 - 1) END FROM c"));
        const QString file = exported("half.csv");
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        answerSave(file, &UiTexts::exportFilterCsv);
        m_prompt->dialogAnswers.enqueue(mrYes);
        ui(view()).press(Command::ExportData);
        QCOMPARE(readAll(file), QByteArray("old"));
        QCOMPARE(filesInFolder(), QStringList{"half.csv"});
        QCOMPARE(m_prompt->beeps, 1);
        QCOMPARE(ui(view()).pages()->currentWidget(), ui(view()).page(Page::Messages));
        QVERIFY2(log().endsWith(uiTexts().exportFailed.arg(file, QStringLiteral("integer overflow"))),
                 qPrintable(log()));
    }

    void targetThatCannotBeCreatedSaysWhy()
    {
        runQuery(QStringLiteral("SELECT Id FROM Customers"));
        const QString file = exported("gone/ids.csv");
        answerSave(file, &UiTexts::exportFilterCsv);
        ui(view()).press(Command::ExportData);
        QVERIFY(filesInFolder().isEmpty());
        QCOMPARE(m_prompt->beeps, 1);
        QVERIFY2(
            log().endsWith(uiTexts().exportFailed.arg(file, QStringLiteral("No such file or directory"))),
            qPrintable(log()));
    }

    void fullDiskLeavesNoFile()
    {
        runQuery(QString::fromLatin1(kManyRows));
        // Files of this process may not grow past 64 KiB: writes fail as on a full disk.
        struct rlimit previous
        {
        };
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &previous), 0);
        const auto previousSignal = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = previous;
        small.rlim_cur = 64 * 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        answerSave(exported("big.csv"), &UiTexts::exportFilterCsv);
        ui(view()).press(Command::ExportData);
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousSignal);

        QVERIFY(filesInFolder().isEmpty());
        QVERIFY2(
            log().endsWith(uiTexts().exportFailed.arg(exported("big.csv"), QStringLiteral("File too large"))),
            qPrintable(log()));
    }
};

QTEST_MAIN(TestExportCommand)
#include "tst_exportcommand.moc"
