// Reads the biggest table of the Access sample files through the SQL runner's path (SELECT * on
// the Access provider, rows into a recordset) and compares the rate with mdb-export writing the
// same table to /dev/null.
//
//   bench_access [FOLDER] [REPEATS]    FOLDER defaults to ../shared/data/access beside the
//                                      source tree; the sample tables are tiny, so each side
//                                      reads the table REPEATS times (default 200).
#include "db/DataAccess.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>

#include <cstdio>

namespace {

struct Candidate
{
    QString file;
    QString provider;
    QString table;
    qint64 rows = 0;
    qint64 rowBytes = 0;
};

qint64 estimatedRowBytes(const QList<ColumnInfo> &columns)
{
    qint64 bytes = 0;
    for (const ColumnInfo &c : columns)
        bytes += c.definedSize > 0 ? c.definedSize : 8;
    return bytes;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString folder =
        args.size() > 1
            ? args[1]
            : QDir(QStringLiteral(ORVESSA_SOURCE_DIR)).filePath(QStringLiteral("../shared/data/access"));
    const int repeats = args.size() > 2 ? args[2].toInt() : 200;

    Candidate best;
    const QStringList files =
        QDir(folder).entryList({QStringLiteral("*.mdb"), QStringLiteral("*.accdb")}, QDir::Files, QDir::Name);
    for (const QString &name : files) {
        const QString path = QDir(folder).filePath(name);
        const QString provider = name.endsWith(QLatin1StringView(".accdb"))
                                     ? QStringLiteral("Microsoft.ACE.OLEDB.12.0")
                                     : QStringLiteral("Microsoft.Jet.OLEDB.4.0");
        try {
            auto backend = Backend::create(QStringLiteral("Provider=%1;Data Source=%2").arg(provider, path));
            backend->connect();
            for (const TableInfo &t : backend->tables()) {
                if (t.type != QLatin1StringView("TABLE"))
                    continue;
                const ExecResult count = backend->execute(
                    QStringLiteral("SELECT count(*) FROM %1").arg(backend->quoteIdentifier(t.name)));
                const qint64 rows = count.recordset->value(0, 0).toLongLong();
                const qint64 rowBytes = estimatedRowBytes(backend->columns(QString(), t.name));
                if (rows * rowBytes > best.rows * best.rowBytes)
                    best = {path, provider, t.name, rows, rowBytes};
            }
        } catch (const DataAccessError &e) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(path), e.what());
        }
    }
    if (best.rows == 0) {
        std::fprintf(stderr, "No Access table with rows in %s\n", qPrintable(folder));
        return 1;
    }
    std::printf("Table %s of %s: %lld rows, about %lld bytes a row; each side reads it %d times "
                "(the sample files are tiny)\n",
                qPrintable(best.table), qPrintable(QFileInfo(best.file).fileName()), best.rows, best.rowBytes,
                repeats);

    auto backend =
        Backend::create(QStringLiteral("Provider=%1;Data Source=%2").arg(best.provider, best.file));
    backend->connect();
    const QString sql = QStringLiteral("SELECT * FROM %1").arg(backend->quoteIdentifier(best.table));
    QElapsedTimer timer;
    timer.start();
    qint64 read = 0;
    for (int i = 0; i < repeats; ++i)
        read += backend->execute(sql).recordset->rowCount();
    const double ours = timer.nsecsElapsed() / 1e9;

    timer.restart();
    for (int i = 0; i < repeats; ++i) {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(QStringLiteral("mdb-export"), {best.file, best.table});
        if (!process.waitForFinished(60000) || process.exitCode() != 0) {
            std::fprintf(stderr, "mdb-export failed: %s\n", qPrintable(process.errorString()));
            return 1;
        }
    }
    const double theirs = timer.nsecsElapsed() / 1e9;

    const double rows = double(best.rows) * repeats;
    std::printf("ours (SELECT * into a recordset): %.3f s, %.0f rows/s\n", ours, rows / ours);
    std::printf("mdb-export > /dev/null:           %.3f s, %.0f rows/s (a process per read)\n", theirs,
                rows / theirs);
    std::printf("ratio (mdb-export time / ours):   %.2f\n", theirs / ours);
    return read > 0 ? 0 : 1;
}
