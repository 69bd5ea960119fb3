// The SQL page's two figures:
//  - split ms: a 5 MB dump split into statements (the Chinook scripts of the shared data, repeated
//    to 5 MB; a made-up dump of the same kind when they are absent), per dialect;
//  - completion ms: from a keystroke in the SQL editor to the completion list on show, with the
//    catalogue benchmark's database (2,000 tables of 10 columns, read as the tree reads it) behind
//    the list. Several kinds of keystroke; the figure is the slowest kind's median.
//
//   bench_workbench [DATA_FOLDER]      (the Chinook folder; ../shared/data/chinook by default)
#include "BenchCatalogue.h"
#include "connection/CatalogueReader.h"
#include "db/DataAccess.h"
#include "editor/CompletionSource.h"
#include "editor/SqlEditor.h"
#include "editor/StatementSplitter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

const qsizetype DumpSize = 5 * 1024 * 1024;

[[noreturn]] void fail(const QString &what)
{
    std::fprintf(stderr, "bench_workbench: %s\n", qPrintable(what));
    std::exit(1);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Rows with quotes, semicolons and comments, as a dump has them.
QString madeUpDump(SqlDialect dialect)
{
    QString text =
        QStringLiteral("-- made-up dump\nCREATE TABLE track (id INTEGER PRIMARY KEY, name VARCHAR(200));\n");
    if (dialect == SqlDialect::PostgreSql)
        text += QStringLiteral(
            "CREATE FUNCTION f() RETURNS trigger AS $$ BEGIN RETURN NEW; END; $$ LANGUAGE plpgsql;\n");
    const QString quote = dialect == SqlDialect::MySql ? QStringLiteral("\\'") : QStringLiteral("''");
    for (int i = 0; text.size() < DumpSize; ++i)
        text += QStringLiteral("INSERT INTO track VALUES (%1, 'It%2s a song; number %1'); /* row %1 */\n")
                    .arg(i)
                    .arg(quote);
    return text;
}

QString chinookDump(const QString &folder, const QString &file)
{
    QFile source(QDir(folder).filePath(file));
    if (!source.open(QIODevice::ReadOnly))
        return QString();
    const QString once = QString::fromUtf8(source.readAll());
    QString text;
    while (text.size() < DumpSize)
        text += once;
    return text;
}

double splitMs(SqlDialect dialect, const QString &dump, qsizetype *statements)
{
    const StatementSplitter splitter(dialect);
    std::vector<double> times;
    for (int run = 0; run < 7; ++run) {
        QElapsedTimer timer;
        timer.start();
        *statements = splitter.split(dump).size();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    return median(times);
}

// The tables and columns as the tree reads them.
QList<CompletionTable> readCatalogue(const QString &connectionString, int tables, int columns)
{
    Connection connection;
    connection.setConnectionString(connectionString);
    connection.open();
    connection.execute(QStringLiteral("BEGIN"));
    for (const QString &batch : bench::createStatements(tables, columns, QStringLiteral(";\n")))
        connection.execute(batch);
    connection.execute(QStringLiteral("COMMIT"));
    const Catalogue catalogue = CatalogueReader(connection).read(CatalogueReader::Detail::Columns);
    QList<CompletionTable> result;
    for (const CatalogueObject &object : catalogue.objects) {
        QStringList names;
        for (const ColumnInfo &column : object.columns)
            names.append(column.name);
        result.append({object.table.schema, object.table.name, names});
    }
    return result;
}

void press(SqlEditor &editor, int key, Qt::KeyboardModifiers modifiers, const QString &text)
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(&editor, &event);
}

struct Keystroke
{
    const char *name;
    QString before; // typed before the caret
    QString after;  // the rest of the statement, after the caret
    QString typed;  // the keystroke measured (empty: Ctrl+Space)
    qsizetype minimumItems;
};

// Keystroke to list, median over the runs.
double keystrokeMs(SqlEditor &editor, const QString &script, const Keystroke &k)
{
    std::vector<double> times;
    for (int run = 0; run < 21; ++run) {
        editor.setText(script + k.before + k.after);
        editor.SendScintilla(QsciScintilla::SCI_GOTOPOS,
                             static_cast<unsigned long>((script + k.before).toUtf8().size()));
        QElapsedTimer timer;
        timer.start();
        if (k.typed.isEmpty())
            press(editor, Qt::Key_Space, Qt::ControlModifier, QString());
        else
            press(editor, k.typed.at(0).unicode(), Qt::NoModifier, k.typed);
        const double ms = timer.nsecsElapsed() / 1e6;
        if (!editor.completionShown() || editor.completionLabels().size() < k.minimumItems)
            fail(QStringLiteral("no list after %1").arg(QLatin1StringView(k.name)));
        if (run > 0)
            times.push_back(ms);
        if (run < 20)
            editor.cancelList();
    }
    return median(times);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString folder =
        argc >= 2
            ? QString::fromLocal8Bit(argv[1])
            : QDir(QStringLiteral(ORVESSA_SOURCE_DIR)).filePath(QStringLiteral("../shared/data/chinook"));

    // Splitting
    const struct
    {
        const char *name;
        SqlDialect dialect;
        const char *file;
    } dumps[] = {{"postgresql", SqlDialect::PostgreSql, "Chinook_PostgreSql.sql"},
                 {"mysql", SqlDialect::MySql, "Chinook_MySql.sql"},
                 {"sqlite", SqlDialect::Sqlite, nullptr}};
    double slowest = 0;
    for (const auto &d : dumps) {
        QString dump = d.file ? chinookDump(folder, QString::fromLatin1(d.file)) : QString();
        const bool madeUp = dump.isEmpty();
        if (madeUp)
            dump = madeUpDump(d.dialect);
        qsizetype statements = 0;
        const double ms = splitMs(d.dialect, dump, &statements);
        slowest = std::max(slowest, ms);
        std::printf("split %s: %.1f MB %s, %lld statements, %.1f ms\n", d.name,
                    dump.toUtf8().size() / 1048576.0, madeUp ? "made-up dump" : "Chinook script repeated",
                    static_cast<long long>(statements), ms);
    }
    std::printf("split ms: %.1f\n", slowest);
    std::fflush(stdout);

    // Completion
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("catalogue.db"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            fail(QStringLiteral("cannot create ") + path);
    }
    const QList<CompletionTable> tables =
        readCatalogue(QStringLiteral("Provider=SQLite;Data Source=") + path, 2000, 10);
    qsizetype columns = 0;
    for (const CompletionTable &table : tables)
        columns += table.columns ? table.columns->size() : 0;
    CompletionSource source(SqlDialect::Sqlite);
    source.setCatalogue(tables, QString());
    SqlEditor editor;
    editor.resize(900, 300);
    editor.setCompletionSource(&source);
    editor.show();
    QApplication::processEvents();
    // A page of statements above the one being typed.
    QString script;
    for (int i = 1; i <= 200; ++i)
        script += QStringLiteral("SELECT t.column_2, t.column_3 FROM table_%1 t WHERE t.id = %2;\n")
                      .arg(i, 4, 10, QLatin1Char('0'))
                      .arg(i);
    const Keystroke keystrokes[] = {
        {"second letter of a table", QStringLiteral("SELECT * FROM t"), QString(), QStringLiteral("a"), 2000},
        {"dot after an alias", QStringLiteral("SELECT t"), QStringLiteral(" FROM table_1234 t"),
         QStringLiteral("."), 10},
        {"letter after the dot", QStringLiteral("SELECT t.column_1"), QStringLiteral(" FROM table_1234 t"),
         QStringLiteral("0"), 1},
        {"Ctrl+Space, nothing typed", QStringLiteral("SELECT * FROM "), QString(), QString(), 2000},
    };
    double worst = 0;
    for (const Keystroke &k : keystrokes) {
        const double ms = keystrokeMs(editor, script, k);
        worst = std::max(worst, ms);
        std::printf("completion %s: %.2f ms (%lld items)\n", k.name, ms,
                    static_cast<long long>(editor.completionLabels().size()));
        editor.cancelList();
    }
    std::printf("completion catalogue: %lld tables, %lld columns\n", static_cast<long long>(tables.size()),
                static_cast<long long>(columns));
    std::printf("completion ms: %.2f\n", worst);
    return 0;
}
