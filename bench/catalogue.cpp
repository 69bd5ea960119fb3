// The catalogue at the server's speed: a database of many tables is opened the way the Connect
// command opens it (connection, after-connect analysis, tree fill through the main window,
// offscreen) and timed from connecting to a filled tree, against the database's own
// command-line client listing the same (table, column) pairs. Then the structure report of a
// PostgreSQL database is timed from the Report command to the report on show.
//
//   bench_catalogue [TABLES] [COLUMNS] [REPORT_TABLES]      (2000, 10 and 500 when not given)
//
// SQLite always; PostgreSQL and MariaDB when the variables of scripts/start-test-servers are
// set (ORVESSA_TEST_PG, ORVESSA_TEST_MYSQL, with _PORT, ORVESSA_TEST_USER and _PASSWORD).
// Each database is made afresh; the servers' get databases of their own.
#include "BenchCatalogue.h"
#include "common/PrivateFolder.h"
#include "db/DataAccess.h"
#include "window/CommandTable.h"
#include "window/MainWindow.h"
#include "window/Session.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

const int runs = 7;

[[noreturn]] void fail(const QString &what)
{
    std::fprintf(stderr, "bench_catalogue: %s\n", qPrintable(what));
    std::exit(1);
}

void execute(Connection &connection, const QString &sql)
{
    try {
        connection.execute(sql);
    } catch (const DataAccessError &e) {
        fail(e.text());
    }
}

// The same connection string naming another database.
QString withDatabase(const QString &connectionString, const QString &database)
{
    QString result = connectionString;
    result.replace(QRegularExpression(QStringLiteral("Initial Catalog=[^;]*")),
                   QStringLiteral("Initial Catalog=") + database);
    return result;
}

// A database made afresh on the server of connectionString; returns its connection string.
QString freshServerDatabase(const QString &connectionString, const QString &name, bool postgres)
{
    Connection server;
    server.setConnectionString(connectionString);
    try {
        server.open();
    } catch (const DataAccessError &e) {
        fail(e.text());
    }
    execute(server, postgres ? QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name)
                             : QStringLiteral("DROP DATABASE IF EXISTS %1").arg(name));
    execute(server, QStringLiteral("CREATE DATABASE %1").arg(name));
    return withDatabase(connectionString, name);
}

void fillDatabase(const QString &connectionString, int tables, int columns, bool postgres)
{
    Connection connection;
    connection.setConnectionString(connectionString);
    connection.open();
    if (postgres)
        execute(connection, QStringLiteral("BEGIN"));
    for (const QString &batch : bench::createStatements(tables, columns, QStringLiteral("; ")))
        execute(connection, batch);
    if (postgres)
        execute(connection, QStringLiteral("COMMIT"));
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Timing
{
    double best = 0;
    double median = 0;
};

Timing timing(const std::vector<double> &seconds)
{
    return {*std::min_element(seconds.begin(), seconds.end()), median(seconds)};
}

// Runs a command of the window as a click does, and waits for it.
void runCommand(MainWindow &window, Command command)
{
    window.commands().trigger(command);
    while (!window.commands().settled())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

QString logOf(MainWindow &window)
{
    const auto *log = window.findChild<QPlainTextEdit *>(QStringLiteral("messageLog"));
    return log ? log->toPlainText() : QString();
}

// Connect to a filled tree through the main window, as the Connect command does it.
double treeOnce(const QString &connectionString, int expectedNodes)
{
    MainWindow view;
    view.show();
    QApplication::processEvents();
    view.session().profile.connectionString = connectionString;
    QElapsedTimer timer;
    timer.start();
    runCommand(view, Command::Connect);
    const double elapsed = timer.nsecsElapsed() / 1e9;
    const auto *tree = view.findChild<QTreeWidget *>(QStringLiteral("catalogueTree"));
    QTreeWidgetItem *root = tree ? tree->topLevelItem(0) : nullptr;
    if (!view.session().connection().isOpen() || !root || root->childCount() != expectedNodes)
        fail(QStringLiteral("the tree was not filled: ") + logOf(view));
    view.session().connection().close();
    return elapsed;
}

double cliOnce(const QString &program, const QStringList &arguments, const QStringList &environment)
{
    QProcess process;
    process.setEnvironment(environment);
    process.setStandardOutputFile(QStringLiteral("/dev/null"));
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    process.waitForFinished(-1);
    const double elapsed = timer.nsecsElapsed() / 1e9;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        fail(program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAllStandardError()));
    return elapsed;
}

// Ours and the client in turn, so that a machine whose speed drifts moves both alike; the
// ratio is the median of the pairs' ratios. The first pair warms up and is not counted.
void compareTree(const char *backend, int tables, int columns, const QString &connectionString,
                 const QString &program, const QStringList &arguments, const QStringList &environment)
{
    std::vector<double> ours, cli, ratios;
    for (int i = 0; i < runs + 1; ++i) {
        const double a = treeOnce(connectionString, tables);
        const double b = cliOnce(program, arguments, environment);
        if (i == 0)
            continue;
        ours.push_back(a);
        cli.push_back(b);
        ratios.push_back(a / b);
    }
    std::printf("catalogue %s: %d tables x %d columns; ours median %.3f s (best %.3f), CLI median %.3f s "
                "(best %.3f); pair ratios %.2f to %.2f\n",
                backend, tables, columns, median(ours), *std::min_element(ours.begin(), ours.end()),
                median(cli), *std::min_element(cli.begin(), cli.end()),
                *std::min_element(ratios.begin(), ratios.end()),
                *std::max_element(ratios.begin(), ratios.end()));
    std::printf("catalogue %s ratio: %.2f\n", backend, median(ratios));
    std::fflush(stdout);
}

// The Report command on a connected main window, until the report is on show.
Timing timeReport(const QString &connectionString, int tables)
{
    std::vector<double> seconds;
    for (int i = 0; i < runs + 1; ++i) {
        MainWindow view;
        view.setAppFolder(QStringLiteral(ORVESSA_APP_FOLDER "/"));
        view.show();
        view.session().profile.connectionString = connectionString;
        runCommand(view, Command::Connect);
        QApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        runCommand(view, Command::Report);
        const double elapsed = timer.nsecsElapsed() / 1e9;
        QFile file(QDir(privateTempFolder()).filePath(QStringLiteral("OVS.xml")));
        if (!file.open(QIODevice::ReadOnly) || file.readAll().count("<table ") != tables)
            fail(QStringLiteral("the report does not hold every table: ") + logOf(view));
        if (i > 0)
            seconds.push_back(elapsed);
        view.session().connection().close();
    }
    return timing(seconds);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int tables = argc >= 2 ? QByteArray(argv[1]).toInt() : 2000;
    const int columns = argc >= 3 ? QByteArray(argv[2]).toInt() : 10;
    const int reportTables = argc >= 4 ? QByteArray(argv[3]).toInt() : 500;
    const QStringList environment = QProcess::systemEnvironment();
    QTemporaryDir dir;

    // SQLite
    {
        const QString path = dir.filePath(QStringLiteral("catalogue.db"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            fail(QStringLiteral("cannot create ") + path);
        file.close();
        const QString connectionString = QStringLiteral("Provider=SQLite;Data Source=") + path;
        {
            Connection connection;
            connection.setConnectionString(connectionString);
            connection.open();
            execute(connection, QStringLiteral("BEGIN"));
            for (const QString &batch : bench::createStatements(tables, columns, QStringLiteral(";\n")))
                execute(connection, batch);
            execute(connection, QStringLiteral("COMMIT"));
        }
        compareTree("sqlite", tables, columns, connectionString, QStringLiteral("sqlite3"),
                    {path, QStringLiteral("SELECT t.name, c.name FROM pragma_table_list AS t, "
                                          "pragma_table_info(t.name) AS c WHERE t.schema = 'main' "
                                          "AND t.name NOT LIKE 'sqlite%'")},
                    environment);
    }

    const QString user = qEnvironmentVariable("ORVESSA_TEST_USER");
    const QString password = qEnvironmentVariable("ORVESSA_TEST_PASSWORD");

    const QString pg = qEnvironmentVariable("ORVESSA_TEST_PG");
    if (pg.isEmpty()) {
        std::printf("catalogue postgresql ratio: skipped (ORVESSA_TEST_PG not set)\n");
    } else {
        const QString database = QStringLiteral("orv_bench_catalogue");
        const QString connectionString = freshServerDatabase(pg, database, true);
        fillDatabase(connectionString, tables, columns, true);
        QStringList pgEnvironment = environment;
        pgEnvironment << QStringLiteral("PGPASSWORD=") + password;
        compareTree(
            "postgresql", tables, columns, connectionString, QStringLiteral("psql"),
            {QStringLiteral("-X"), QStringLiteral("-At"), QStringLiteral("-h"), QStringLiteral("127.0.0.1"),
             QStringLiteral("-p"), qEnvironmentVariable("ORVESSA_TEST_PG_PORT"), QStringLiteral("-U"), user,
             QStringLiteral("-d"), database, QStringLiteral("-c"),
             QStringLiteral(
                 "SELECT c.relname, a.attname FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid "
                 "JOIN pg_namespace n ON n.oid = c.relnamespace WHERE a.attnum > 0 AND NOT "
                 "a.attisdropped AND c.relkind IN ('r', 'p', 'v', 'm', 'f') AND n.nspname NOT IN "
                 "('pg_catalog', 'information_schema') AND n.nspname NOT LIKE 'pg\\_toast%' "
                 "ORDER BY n.nspname, c.relname, a.attnum")},
            pgEnvironment);

        // The report: tables with keys, each referring to the one before.
        const QString reportDatabase = QStringLiteral("orv_bench_report");
        const QString reportString = freshServerDatabase(pg, reportDatabase, true);
        fillDatabase(reportString, reportTables, columns, true);
        {
            Connection connection;
            connection.setConnectionString(reportString);
            connection.open();
            QStringList keys;
            for (int t = 2; t <= reportTables; ++t)
                keys.append(QStringLiteral(
                                "ALTER TABLE table_%1 ADD COLUMN parent_id INTEGER REFERENCES table_%2(id)")
                                .arg(t, 4, 10, QLatin1Char('0'))
                                .arg(t - 1, 4, 10, QLatin1Char('0')));
            execute(connection, keys.join(QStringLiteral("; ")));
        }
        const Timing report = timeReport(reportString, reportTables);
        std::printf("report postgresql %d tables s: %.3f (median %.3f)\n", reportTables, report.best,
                    report.median);
        std::fflush(stdout);
    }

    const QString mysql = qEnvironmentVariable("ORVESSA_TEST_MYSQL");
    if (mysql.isEmpty()) {
        std::printf("catalogue mariadb ratio: skipped (ORVESSA_TEST_MYSQL not set)\n");
    } else {
        const QString database = QStringLiteral("orv_bench_catalogue");
        const QString connectionString = freshServerDatabase(mysql, database, false);
        fillDatabase(connectionString, tables, columns, false);
        compareTree("mariadb", tables, columns, connectionString, QStringLiteral("mariadb"),
                    {QStringLiteral("--no-defaults"), QStringLiteral("-h"), QStringLiteral("127.0.0.1"),
                     QStringLiteral("-P"), qEnvironmentVariable("ORVESSA_TEST_MYSQL_PORT"),
                     QStringLiteral("-u"), user, QStringLiteral("-p") + password, QStringLiteral("-N"),
                     QStringLiteral("-B"), database, QStringLiteral("-e"),
                     QStringLiteral("SELECT TABLE_NAME, COLUMN_NAME FROM information_schema.COLUMNS WHERE "
                                    "TABLE_SCHEMA = DATABASE() ORDER BY TABLE_NAME, ORDINAL_POSITION")},
                    environment);
    }
    return 0;
}
