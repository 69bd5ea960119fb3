// The row store on its own: rows of eight typical columns (the table of large_result.cpp)
// appended as a fetch appends them, then every cell read back, with the default memory
// budget, so that most of a large result goes to the spill file.
//
//   bench_rowstore [ROWS]      default 10,000,000
//
// Prints
//   rowstore append <rows> MB/s: X     cell bytes handed to the store per second
//   rowstore read <rows> MB/s: X       the same bytes read back per second
//   rowstore peak-mb <rows>: X         peak memory of the process that did both
// The measurement runs in a child process (--measure ROWS), so its peak is its own; further
// cases go into the table in main.
#include "BenchProcess.h"

#include "db/fetch/RowStore.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QList>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ctime>

namespace {

const QByteArray lorem = "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor "
                         "incididunt ut labore et dolore magna aliqua. Ut enim ad minim veniam, quis nostrud "
                         "exercitation ullamco laboris nisi ut aliquip ex ea commodo consequat.";

// The generated values cost little next to the store: dates come from a table, names are
// written in place.
struct Generator
{
    QList<QByteArray> dates;
    char name[32] = "name ";

    Generator()
    {
        for (int day = 0; day < 2000; ++day)
            dates.append(QDate(2020, 1, 1).addDays(day).toString(Qt::ISODate).toLatin1());
    }

    // id, qty, price, name, description, created, code (NULL every tenth), ratio (NULL every
    // seventh); returns the bytes of its cells (eight per number, the length of each text).
    qint64 appendRow(RowStore &store, qint64 i)
    {
        const char *nameEnd = std::to_chars(name + 5, name + sizeof name, i).ptr;
        const QByteArray &date = dates[qsizetype(i % 2000)];
        const qsizetype from = qsizetype(i % 50);
        const qsizetype length = std::min<qsizetype>(100 + i % 60, lorem.size() - from);
        store.beginRow();
        store.addInt(i);
        store.addInt(i * 7 % 100003);
        store.addDouble(double(i) / 8.0);
        store.addText(name, nameEnd - name);
        store.addText(lorem.constData() + from, length);
        store.addText(date.constData(), date.size());
        qint64 bytes = 8 * 3 + (nameEnd - name) + length + date.size();
        if (i % 10 == 0) {
            store.addNull();
        } else {
            store.addInt(i % 1000);
            bytes += 8;
        }
        if (i % 7 == 0) {
            store.addNull();
        } else {
            store.addDouble(double(i) * 0.25);
            bytes += 8;
        }
        store.endRow();
        return bytes;
    }
};

// Every cell once, as the grid and an export read them: numbers decoded, texts as bytes.
double readAll(const RowStore &store)
{
    double sum = 0;
    for (qint64 row = 0; row < store.rowCount(); ++row) {
        for (int column = 0; column < store.columnCount(); ++column) {
            switch (store.kind(row, column)) {
            case RowStore::CellKind::Text:
            case RowStore::CellKind::Blob:
                sum += double(store.payload(row, column).size());
                break;
            case RowStore::CellKind::Null:
                break;
            default:
                sum += store.value(row, column).toDouble();
                break;
            }
        }
    }
    return sum;
}

// This thread's processor time, user and system, in seconds: steadier than the wall clock
// on a busy machine.
double cpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

int measure(qint64 rows)
{
    Generator generator;
    RowStore store(8);
    qint64 bytes = 0;
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = cpuSeconds();
    for (qint64 i = 0; i < rows; ++i)
        bytes += generator.appendRow(store, i);
    const double appendSeconds = double(timer.nsecsElapsed()) / 1e9;
    const double appendCpu = cpuSeconds() - cpuStart;
    timer.restart();
    const double sum = readAll(store);
    const double readSeconds = double(timer.nsecsElapsed()) / 1e9;
    const double readCpu = cpuSeconds() - cpuStart - appendCpu;
    std::printf("%lld %.6f %.6f %lld %lld %lld %.6f %.6f %.0f\n", (long long)bytes, appendSeconds,
                readSeconds, (long long)bench::peakKilobytes(), (long long)store.memoryUsage(),
                (long long)store.spilledBytes(), appendCpu, readCpu, sum);
    return 0;
}

void storeFigures(qint64 rows)
{
    const QList<QByteArray> parts =
        bench::runChild({QStringLiteral("--measure"), QString::number(rows)}).last().split(' ');
    const double megabytes = parts.value(0).toDouble() / 1048576.0;
    const double appendSeconds = parts.value(1).toDouble();
    const double readSeconds = parts.value(2).toDouble();
    const QByteArray label = bench::rowsLabel(rows);
    std::printf("rowstore: %lld rows, %.1f MB of cells; append %.3f s (processor %.3f s), read %.3f s "
                "(processor %.3f s); in memory %.1f MB, spilled %.1f MB\n",
                (long long)rows, megabytes, appendSeconds, parts.value(6).toDouble(), readSeconds,
                parts.value(7).toDouble(), parts.value(4).toDouble() / 1048576.0,
                parts.value(5).toDouble() / 1048576.0);
    std::printf("rowstore append %s MB/s: %.0f\n", label.constData(), megabytes / appendSeconds);
    std::printf("rowstore read %s MB/s: %.0f\n", label.constData(), megabytes / readSeconds);
    std::printf("rowstore peak-mb %s: %.0f\n", label.constData(), parts.value(3).toDouble() / 1024.0);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc >= 3 && qstrcmp(argv[1], "--measure") == 0)
        return measure(QByteArray(argv[2]).toLongLong());
    const qint64 rows = argc >= 2 ? QByteArray(argv[1]).toLongLong() : 10000000;
    storeFigures(rows);
    return 0;
}
