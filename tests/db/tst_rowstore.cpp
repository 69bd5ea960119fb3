#include "db/fetch/RowStore.h"

#include "db/DataAccess.h"
#include "db/fetch/SpillFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <csignal>
#include <cstring>
#include <limits>
#include <optional>
#include <thread>

#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Row i of the larger results below: every kind of cell, texts of many lengths, and now and
// then a text or a blob larger than a block.
constexpr int generatedColumns = 6;

QByteArray generatedText(int i)
{
    const int length = i % 20000 == 19999 ? 1536 * 1024 + i % 7 : (i * 37) % 300;
    QByteArray text(length, char('a' + i % 26));
    if (length)
        text[0] = char('A' + i % 26);
    return text;
}

QByteArray generatedBlob(int i)
{
    const int length = i % 30000 == 3 ? 2560 * 1024 : i % 17;
    QByteArray blob(length, char(i));
    if (length)
        blob[length - 1] = '\0';
    return blob;
}

void appendGenerated(RowStore &store, int i)
{
    const QByteArray text = generatedText(i);
    const QByteArray blob = generatedBlob(i);
    store.beginRow();
    store.addInt(qint64(i) * (i % 2 ? -1000003 : 1000003));
    store.addDouble(i / 3.0);
    if (i % 5 == 0)
        store.addNull();
    else
        store.addBool(i % 3 == 0);
    store.addText(text.constData(), text.size());
    store.addBlob(blob.constData(), blob.size());
    store.addNull();
    store.endRow();
}

// Empty when row holds generated row i, else what differs.
QString differenceFromGenerated(const RowStore &store, qint64 row, int i)
{
    using Kind = RowStore::CellKind;
    if (store.kind(row, 0) != Kind::Int ||
        store.value(row, 0).toLongLong() != qint64(i) * (i % 2 ? -1000003 : 1000003))
        return QStringLiteral("integer of row %1").arg(row);
    if (store.kind(row, 1) != Kind::Double || store.value(row, 1).toDouble() != i / 3.0)
        return QStringLiteral("double of row %1").arg(row);
    if (i % 5 == 0 ? store.kind(row, 2) != Kind::Null
                   : store.kind(row, 2) != Kind::Bool || store.value(row, 2).toBool() != (i % 3 == 0))
        return QStringLiteral("boolean of row %1").arg(row);
    if (store.kind(row, 3) != Kind::Text || store.payload(row, 3) != generatedText(i))
        return QStringLiteral("text of row %1").arg(row);
    if (store.kind(row, 4) != Kind::Blob || store.payload(row, 4) != generatedBlob(i))
        return QStringLiteral("blob of row %1").arg(row);
    if (store.kind(row, 5) != Kind::Null)
        return QStringLiteral("null of row %1").arg(row);
    return QString();
}

// The spill folder of this test, for as long as it lives.
class SpillFolder
{
public:
    SpillFolder() { SpillFile::setSpillFolder(m_dir.path()); }
    ~SpillFolder() { SpillFile::setSpillFolder(QString()); }
    QString path() const { return m_dir.path(); }
    bool isEmpty() const
    {
        return QDir(path())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)
            .isEmpty();
    }

private:
    QTemporaryDir m_dir;
};

// The descriptor this process holds on an unlinked file in folder, if any.
std::optional<int> unlinkedFileIn(const QString &folder)
{
    const QByteArray prefix = QFile::encodeName(folder) + '/';
    const QStringList fds = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System);
    for (const QString &name : fds) {
        char target[4096];
        const ssize_t n = ::readlink(QFile::encodeName(QStringLiteral("/proc/self/fd/") + name).constData(),
                                     target, sizeof target - 1);
        if (n <= 0)
            continue;
        const QByteArray link(target, qsizetype(n));
        if (link.startsWith(prefix) && link.endsWith(" (deleted)"))
            return name.toInt();
    }
    return std::nullopt;
}

} // namespace

class TestRowStore : public QObject
{
    Q_OBJECT

private slots:
    void everyKindRoundTrips();
    void emptyTextIsNotNull();
    void invalidUtf8IsKeptAndDecodedWithReplacement();
    void largeTextRoundTrips();
    void rowsOfMixedSizesStayWhole();
    void editsReplaceAppendAndRemoveRows();
    void variantsOfEveryTypeAreStored_data();
    void variantsOfEveryTypeAreStored();
    void shortRowsArePaddedWithNulls();
    void outOfRangeCellsReadAsNull();
    void memoryStaysCloseToThePayload();
    void readersSeeWholeRowsWhileTheWriterAppends();
    void spillFileIsPrivateUnlinkedAndGoneWithTheStore();
    void resultBeyondTheBudgetReadsBackCellForCell();
    void editsAfterTheFetchWorkOnASpilledStore();
    void aFullDiskEndsTheFetchWithAnErrorAndKeepsTheRows();
    void spillGoesToTheUsersPrivateCacheFolder_data();
    void spillGoesToTheUsersPrivateCacheFolder();
    void aCacheFolderOthersCanEnterIsRefused_data();
    void aCacheFolderOthersCanEnterIsRefused();
    void aFullDiskIsNamedAsSuch();
};

void TestRowStore::everyKindRoundTrips()
{
    RowStore store(7);
    const QByteArray blob("\x00\x01\xff", 3);
    store.beginRow();
    store.addNull();
    store.addInt(std::numeric_limits<qint64>::min());
    store.addDouble(-2.5e300);
    store.addBool(true);
    store.addText("h\xc3\xa9llo", 6);
    store.addBlob(blob.constData(), blob.size());
    store.addInt(-1);
    store.endRow();
    store.beginRow();
    store.addInt(std::numeric_limits<qint64>::max());
    store.addInt(0);
    store.addDouble(0.1);
    store.addBool(false);
    store.addText("", 0);
    store.addBlob("", 0);
    store.addNull();
    store.endRow();

    QCOMPARE(store.rowCount(), 2);
    QCOMPARE(store.kind(0, 0), RowStore::CellKind::Null);
    QVERIFY(!store.value(0, 0).isValid());
    QCOMPARE(store.value(0, 1).toLongLong(), std::numeric_limits<qint64>::min());
    QCOMPARE(store.value(0, 1).typeId(), QMetaType::LongLong);
    QCOMPARE(store.value(0, 2).toDouble(), -2.5e300);
    QCOMPARE(store.value(0, 3).typeId(), QMetaType::Bool);
    QCOMPARE(store.value(0, 3).toBool(), true);
    QCOMPARE(store.value(0, 4).toString(), QStringLiteral("héllo"));
    QCOMPARE(store.payloadSize(0, 4), 6);
    QCOMPARE(store.value(0, 5).toByteArray(), blob);
    QCOMPARE(store.kind(0, 5), RowStore::CellKind::Blob);
    QCOMPARE(store.value(0, 6).toLongLong(), -1);
    QCOMPARE(store.value(1, 0).toLongLong(), std::numeric_limits<qint64>::max());
    QCOMPARE(store.value(1, 1).toLongLong(), 0);
    QCOMPARE(store.value(1, 2).toDouble(), 0.1);
    QCOMPARE(store.value(1, 3).toBool(), false);
    QCOMPARE(store.kind(1, 3), RowStore::CellKind::Bool);
    QCOMPARE(store.payloadSize(1, 1), 0);
    QVERIFY(!store.value(1, 6).isValid());
}

void TestRowStore::emptyTextIsNotNull()
{
    RowStore store(3);
    store.beginRow();
    store.addText("", 0);
    store.addNull();
    store.addBlob("", 0);
    store.endRow();
    const QVariant empty = store.value(0, 0);
    QCOMPARE(empty.typeId(), QMetaType::QString);
    QVERIFY(!empty.isNull());
    QVERIFY(!empty.toString().isNull());
    QCOMPARE(store.kind(0, 0), RowStore::CellKind::Text);
    QVERIFY(store.value(0, 1).isNull());
    QCOMPARE(store.kind(0, 1), RowStore::CellKind::Null);
    QCOMPARE(store.value(0, 2).typeId(), QMetaType::QByteArray);
    QVERIFY(!store.value(0, 2).isNull());
}

void TestRowStore::invalidUtf8IsKeptAndDecodedWithReplacement()
{
    RowStore store(1);
    const QByteArray bad("ab\xff\xfe"
                         "c",
                         5);
    store.beginRow();
    store.addText(bad.constData(), bad.size());
    store.endRow();
    QCOMPARE(store.payload(0, 0).toByteArray(), bad);
    const QString text = store.value(0, 0).toString();
    QVERIFY(text.startsWith(QStringLiteral("ab")));
    QVERIFY(text.endsWith(u'c'));
    QVERIFY(text.contains(QChar(QChar::ReplacementCharacter)));
}

void TestRowStore::largeTextRoundTrips()
{
    RowStore store(2);
    QByteArray big(1024 * 1024, 'x');
    big[0] = 'a';
    big[big.size() - 1] = 'z';
    store.beginRow();
    store.addText(big.constData(), big.size());
    store.addInt(7);
    store.endRow();
    QCOMPARE(store.payloadSize(0, 0), big.size());
    QCOMPARE(store.value(0, 0).toString().toUtf8(), big);
    // The cell after a long varint length is still found.
    QCOMPARE(store.value(0, 1).toLongLong(), 7);
}

void TestRowStore::rowsOfMixedSizesStayWhole()
{
    // Rows of every length, some larger than the storage's blocks, interleaved with edits.
    RowStore store(3);
    const auto textOf = [](int i) {
        const int length = i % 300 == 299 ? 1536 * 1024 + i : (i * 37) % 5000;
        return QByteArray(length, char('a' + i % 26));
    };
    const int rows = 2000;
    for (int i = 0; i < rows; ++i) {
        const QByteArray text = textOf(i);
        store.beginRow();
        store.addInt(i);
        store.addText(text.constData(), text.size());
        store.addBlob(text.constData(), i % 7);
        store.endRow();
        if (i % 500 == 250)
            store.setRow(i / 2, {-i, QStringLiteral("edited"), QVariant()});
    }
    QCOMPARE(store.rowCount(), rows);
    for (int i = 0; i < rows; ++i) {
        const bool edited = i * 2 < rows && (i * 2) % 500 == 250; // rows 125, 375, 625, 875
        if (edited) {
            QCOMPARE(store.value(i, 0).toLongLong(), -2 * i);
            QCOMPARE(store.value(i, 1).toString(), QStringLiteral("edited"));
            continue;
        }
        QCOMPARE(store.value(i, 0).toLongLong(), i);
        QCOMPARE(store.payload(i, 1).size(), textOf(i).size());
        QCOMPARE(store.payload(i, 1).toByteArray(), textOf(i));
        QCOMPARE(store.payloadSize(i, 2), i % 7);
    }

    // Rows without columns take no bytes, only their place in the blocks' row index.
    RowStore empty(0);
    empty.beginRow();
    empty.endRow();
    empty.appendRow({});
    for (int i = 0; i < 5000; ++i) {
        empty.beginRow();
        empty.endRow();
    }
    QCOMPARE(empty.rowCount(), 5002);
    QVERIFY(empty.value(0, 0).isNull());
    QCOMPARE(empty.rowValues(5001), QList<QVariant>());
}

void TestRowStore::editsReplaceAppendAndRemoveRows()
{
    RowStore store(2);
    for (int i = 0; i < 4; ++i)
        store.appendRow({i, QStringLiteral("row %1").arg(i)});
    QCOMPARE(store.rowCount(), 4);

    store.setRow(1, {QVariant(), QStringLiteral("a much longer replacement text than before")});
    QVERIFY(store.value(1, 0).isNull());
    QCOMPARE(store.value(1, 1).toString(), QStringLiteral("a much longer replacement text than before"));
    // Neighbours are untouched by a replacement that changed the row's length.
    QCOMPARE(store.value(0, 1).toString(), QStringLiteral("row 0"));
    QCOMPARE(store.value(2, 1).toString(), QStringLiteral("row 2"));

    store.setRow(1, {11, QStringLiteral("again")});
    QCOMPARE(store.rowValues(1), (QList<QVariant>{qlonglong(11), QStringLiteral("again")}));

    store.removeRow(0);
    QCOMPARE(store.rowCount(), 3);
    QCOMPARE(store.value(0, 1).toString(), QStringLiteral("again"));
    QCOMPARE(store.value(2, 1).toString(), QStringLiteral("row 3"));

    store.appendRow({99, QStringLiteral("new")});
    QCOMPARE(store.rowCount(), 4);
    QCOMPARE(store.value(3, 0).toLongLong(), 99);
    store.removeRow(3);
    store.removeRow(0);
    QCOMPARE(store.rowCount(), 2);
    QCOMPARE(store.value(0, 1).toString(), QStringLiteral("row 2"));
}

void TestRowStore::variantsOfEveryTypeAreStored_data()
{
    QTest::addColumn<QVariant>("in");
    QTest::addColumn<QVariant>("out");
    QTest::newRow("invalid") << QVariant() << QVariant();
    QTest::newRow("typed null") << QVariant(QMetaType::fromType<QString>()) << QVariant();
    QTest::newRow("int") << QVariant(42) << QVariant(qlonglong(42));
    QTest::newRow("uint64 max") << QVariant(std::numeric_limits<qulonglong>::max())
                                << QVariant(double(std::numeric_limits<qulonglong>::max()));
    QTest::newRow("bool") << QVariant(true) << QVariant(true);
    QTest::newRow("double") << QVariant(1.25) << QVariant(1.25);
    QTest::newRow("text") << QVariant(QStringLiteral("ü")) << QVariant(QStringLiteral("ü"));
    QTest::newRow("bytes") << QVariant(QByteArray("\0a", 2)) << QVariant(QByteArray("\0a", 2));
    QTest::newRow("date") << QVariant(QDate(2024, 2, 29)) << QVariant(QStringLiteral("2024-02-29"));
    QTest::newRow("date time") << QVariant(QDateTime(QDate(2024, 2, 29), QTime(13, 5, 7)))
                               << QVariant(QStringLiteral("2024-02-29 13:05:07.000"));
}

void TestRowStore::variantsOfEveryTypeAreStored()
{
    QFETCH(QVariant, in);
    QFETCH(QVariant, out);
    RowStore store(1);
    store.appendRow({in});
    const QVariant value = store.value(0, 0);
    QCOMPARE(value.isValid(), out.isValid());
    if (out.isValid()) {
        QCOMPARE(value.typeId(), out.typeId());
        QCOMPARE(value, out);
    }
}

void TestRowStore::shortRowsArePaddedWithNulls()
{
    RowStore store(3);
    store.beginRow();
    store.addInt(1);
    store.endRow();
    store.appendRow({1, 2, 3, 4});
    store.beginRow();
    store.addInt(5);
    store.addInt(6);
    store.addInt(7);
    store.addInt(8); // one too many
    store.endRow();
    QCOMPARE(store.rowCount(), 3);
    QVERIFY(store.value(0, 2).isNull());
    QCOMPARE(store.value(1, 2).toInt(), 3);
    QCOMPARE(store.value(2, 2).toInt(), 7);
}

void TestRowStore::outOfRangeCellsReadAsNull()
{
    RowStore store(1);
    store.appendRow({1});
    QVERIFY(store.value(1, 0).isNull());
    QVERIFY(store.value(-1, 0).isNull());
    QVERIFY(store.value(0, 1).isNull());
    QCOMPARE(store.kind(5, 5), RowStore::CellKind::Null);
    store.removeRow(7);
    store.setRow(7, {1});
    QCOMPARE(store.rowCount(), 1);
}

void TestRowStore::memoryStaysCloseToThePayload()
{
    RowStore store(4);
    const QByteArray text(20, 't');
    for (int i = 0; i < 100000; ++i) {
        store.beginRow();
        store.addInt(i);
        store.addText(text.constData(), text.size());
        store.addNull();
        store.addDouble(i * 0.5);
        store.endRow();
    }
    // About 40 bytes of cells and 4 of offset per row; allow for the buffers' growth.
    QVERIFY2(store.memoryUsage() < 100000 * 48 * 2, qPrintable(QString::number(store.memoryUsage())));
    QCOMPARE(store.value(99999, 0).toLongLong(), 99999);
    QCOMPARE(store.value(99999, 3).toDouble(), 99999 * 0.5);
}

void TestRowStore::readersSeeWholeRowsWhileTheWriterAppends()
{
    // A small budget, so that blocks are spilled under the reader's feet as well.
    SpillFolder folder;
    RowStore store(generatedColumns);
    store.setMemoryBudget(1 << 20);
    const int rows = 300000;
    std::atomic<bool> done{false};
    store.beginFetch();
    std::thread writer([&] {
        for (int i = 0; i < rows; ++i)
            appendGenerated(store, i);
        store.endFetch();
        done.store(true);
    });

    qint64 checks = 0;
    qint64 seen = 0;
    QString difference;
    while (!done.load() && difference.isEmpty()) {
        const qint64 count = store.rowCount();
        QVERIFY(count >= seen);
        seen = count;
        if (count == 0)
            continue;
        // The newest row (in the block being filled), one in the middle, the first one.
        for (const qint64 row : {count - 1, count / 2, qint64(0)}) {
            difference = differenceFromGenerated(store, row, int(row));
            if (!difference.isEmpty())
                break;
        }
        ++checks;
    }
    writer.join();
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    QVERIFY(checks > 0);
    QVERIFY(store.spilledBytes() > 0);
    QCOMPARE(store.rowCount(), rows);
    for (int i = 0; i < rows; ++i)
        QVERIFY2((difference = differenceFromGenerated(store, i, i)).isEmpty(), qPrintable(difference));
}

void TestRowStore::spillFileIsPrivateUnlinkedAndGoneWithTheStore()
{
    SpillFolder folder;
    QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    {
        RowStore small(generatedColumns);
        for (int i = 0; i < 1000; ++i)
            appendGenerated(small, i);
        QVERIFY2(!unlinkedFileIn(folder.path()), "a result within its budget made a file");
    }
    int fd = -1;
    {
        RowStore store(generatedColumns);
        store.setMemoryBudget(0);
        for (int i = 0; i < 20000; ++i)
            appendGenerated(store, i);
        QVERIFY(store.spilledBytes() > 1000000);
        const std::optional<int> spill = unlinkedFileIn(folder.path());
        QVERIFY2(spill, "no open spill file in the folder");
        fd = *spill;
        struct stat st
        {
        };
        QCOMPARE(::fstat(fd, &st), 0);
        QVERIFY(S_ISREG(st.st_mode));
        QCOMPARE(st.st_mode & 07777, mode_t(0600));
        QCOMPARE(st.st_nlink, nlink_t(0));
        QCOMPARE(st.st_uid, ::geteuid());
        QVERIFY2(folder.isEmpty(), "the spill file has a name in the folder");
        QVERIFY(differenceFromGenerated(store, 19999, 19999).isEmpty());
    }
    QVERIFY2(!unlinkedFileIn(folder.path()), "the spill file outlived its store");
    QVERIFY(folder.isEmpty());
}

void TestRowStore::resultBeyondTheBudgetReadsBackCellForCell()
{
    SpillFolder folder;
    RowStore store(generatedColumns);
    store.setMemoryBudget(1 << 20);
    const int rows = 200000;
    for (int i = 0; i < rows; ++i)
        appendGenerated(store, i);
    QVERIFY2(store.spilledBytes() > 50 << 20, qPrintable(QString::number(store.spilledBytes())));
    // The budget, the block being filled (here one of the large rows at most) and change.
    QVERIFY2(store.memoryUsage() < 6 << 20, qPrintable(QString::number(store.memoryUsage())));
    QCOMPARE(store.rowCount(), rows);
    QString difference;
    for (int i = 0; i < rows; ++i)
        QVERIFY2((difference = differenceFromGenerated(store, i, i)).isEmpty(), qPrintable(difference));
    // Backwards too, so that spilled blocks are read again after their pages were let go.
    for (int i = rows - 1; i >= 0; i -= 7)
        QVERIFY2((difference = differenceFromGenerated(store, i, i)).isEmpty(), qPrintable(difference));
}

void TestRowStore::editsAfterTheFetchWorkOnASpilledStore()
{
    SpillFolder folder;
    RowStore store(2);
    store.setMemoryBudget(0);
    store.beginFetch();
    QList<QList<QVariant>> expected;
    for (int i = 0; i < 50000; ++i) {
        const QString text = QStringLiteral("row %1 ").arg(i).repeated(1 + i % 9);
        store.beginRow();
        store.addInt(i);
        const QByteArray utf8 = text.toUtf8();
        store.addText(utf8.constData(), utf8.size());
        store.endRow();
        expected.append({qlonglong(i), text});
    }
    QVERIFY_THROWS_EXCEPTION(DataAccessError, store.setRow(0, {1, QStringLiteral("too early")}));
    store.endFetch();
    QVERIFY(store.spilledBytes() > 0);

    const auto replace = [&](int row, const QList<QVariant> &values) {
        store.setRow(row, values);
        expected[row] = values;
    };
    const auto remove = [&](int row) {
        store.removeRow(row);
        expected.removeAt(row);
    };
    const auto append = [&](const QList<QVariant> &values) {
        store.appendRow(values);
        expected.append(values);
    };
    replace(0, {qlonglong(-1), QStringLiteral("first, edited")});
    replace(25000, {QVariant(), QString(200000, u'x')}); // larger than its block
    remove(0);
    remove(12345);
    remove(12345);
    remove(expected.size() - 1);
    replace(12345, {qlonglong(7), QStringLiteral("edited after removals")});
    for (int i = 0; i < 30000; ++i)
        append({qlonglong(100000 + i), QStringLiteral("appended %1").arg(i)});
    remove(expected.size() - 10);
    replace(expected.size() - 1, {qlonglong(1), QStringLiteral("last, edited")});
    replace(0, {qlonglong(2), QStringLiteral("first again")});

    QCOMPARE(store.rowCount(), expected.size());
    for (int row = 0; row < expected.size(); ++row)
        QCOMPARE(store.rowValues(row), expected[row]);
}

void TestRowStore::aFullDiskEndsTheFetchWithAnErrorAndKeepsTheRows()
{
    // A file size limit fails the spill file's writes as a full disk would.
    SpillFolder folder;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit limited = old;
    limited.rlim_cur = 2 << 20;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);

    RowStore store(generatedColumns);
    store.setMemoryBudget(0);
    int appended = 0;
    QString error;
    try {
        for (; appended < 100000; ++appended)
            appendGenerated(store, appended);
    } catch (const DataAccessError &e) {
        error = e.text();
    }
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &old), 0);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY2(error.contains(QDir::toNativeSeparators(folder.path())), qPrintable(error));
    QVERIFY(appended > 0 && appended < 100000);
    QCOMPARE(store.rowCount(), appended); // the row being appended is dropped, the others stay
    QString difference;
    for (int i = 0; i < appended; ++i)
        QVERIFY2((difference = differenceFromGenerated(store, i, i)).isEmpty(), qPrintable(difference));
    // With room again, the store goes on.
    for (int i = appended; i < appended + 20000; ++i)
        appendGenerated(store, i);
    for (int i = 0; i < appended + 20000; i += 3)
        QVERIFY2((difference = differenceFromGenerated(store, i, i)).isEmpty(), qPrintable(difference));
}

namespace {

// XDG_CACHE_HOME for as long as it lives; the spill folder is the default one meanwhile.
class CacheHome
{
public:
    explicit CacheHome(const QString &path) : m_previous(qgetenv("XDG_CACHE_HOME"))
    {
        qputenv("XDG_CACHE_HOME", QFile::encodeName(path));
        SpillFile::setSpillFolder(QString());
    }
    ~CacheHome()
    {
        if (m_previous.isNull())
            qunsetenv("XDG_CACHE_HOME");
        else
            qputenv("XDG_CACHE_HOME", m_previous);
    }
    CacheHome(const CacheHome &) = delete;
    CacheHome &operator=(const CacheHome &) = delete;

private:
    QByteArray m_previous;
};

// Appends rows past a budget of nothing, so that they go to the spill file; the error's text
// when that fails.
QString spillRows(RowStore &store, int rows)
{
    store.setMemoryBudget(0);
    try {
        for (int i = 0; i < rows; ++i)
            appendGenerated(store, i);
    } catch (const DataAccessError &e) {
        return e.text();
    }
    return QString();
}

mode_t modeOf(const QString &path)
{
    struct stat st
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

} // namespace

void TestRowStore::spillGoesToTheUsersPrivateCacheFolder_data()
{
    QTest::addColumn<bool>("exists");
    QTest::newRow("made on first use") << false;
    QTest::newRow("the one made before") << true;
}

// Rows that do not fit in memory go to a disk, not to the runtime folder's tmpfs: into the
// user's cache folder, in a folder of the program's that only the user may enter.
void TestRowStore::spillGoesToTheUsersPrivateCacheFolder()
{
    QFETCH(bool, exists);
    QTemporaryDir home;
    const QString cache = home.filePath(QStringLiteral("cache"));
    const QString folder = cache + QStringLiteral("/orvessa");
    if (exists) {
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0700) == 0);
    }
    CacheHome cacheHome(cache);
    RowStore store(generatedColumns);
    QCOMPARE(spillRows(store, 20000), QString());
    QVERIFY(store.spilledBytes() > 1000000);
    QVERIFY2(unlinkedFileIn(folder), "no open spill file in the cache folder");
    QCOMPARE(modeOf(folder), mode_t(0700));
    QVERIFY(QDir(folder)
                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)
                .isEmpty());
    QVERIFY(differenceFromGenerated(store, 19999, 19999).isEmpty());
}

void TestRowStore::aCacheFolderOthersCanEnterIsRefused_data()
{
    QTest::addColumn<QString>("kind"); // "open", "link"
    QTest::newRow("readable by others") << "open";
    QTest::newRow("a symlink to a private folder") << "link";
}

void TestRowStore::aCacheFolderOthersCanEnterIsRefused()
{
    QFETCH(QString, kind);
    QTemporaryDir home;
    const QString cache = home.filePath(QStringLiteral("cache"));
    const QString folder = cache + QStringLiteral("/orvessa");
    if (kind == QLatin1String("open")) {
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
    } else {
        QVERIFY(QDir().mkpath(cache));
        const QString elsewhere = home.filePath(QStringLiteral("elsewhere"));
        QVERIFY(QDir().mkpath(elsewhere));
        QVERIFY(::chmod(QFile::encodeName(elsewhere).constData(), 0700) == 0);
        QVERIFY(QFile::link(elsewhere, folder));
    }
    CacheHome cacheHome(cache);
    RowStore store(generatedColumns);
    const QString error = spillRows(store, 20000);
    QCOMPARE(error,
             QStringLiteral("The rows of the result cannot be kept in the cache folder %1: it must be a "
                            "folder of yours that nobody else may enter.")
                 .arg(folder));
    QVERIFY(store.rowCount() > 0);
    QCOMPARE(modeOf(folder), kind == QLatin1String("open") ? mode_t(0755) : mode_t(0777));
}

// A disk that fills up says so, and where; a small file system of its own stands for one.
void TestRowStore::aFullDiskIsNamedAsSuch()
{
    QTemporaryDir home;
    const QString cache = home.filePath(QStringLiteral("cache"));
    QVERIFY(QDir().mkpath(cache));
    // This thread alone gets a mount namespace of its own, and in it a file system of 4 MiB.
    if (::unshare(CLONE_NEWNS) != 0 || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", QFile::encodeName(cache).constData(), "tmpfs", 0, "size=4m,mode=0700") != 0) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        if (qEnvironmentVariable("CI") == QLatin1String("true"))
            QFAIL(qPrintable(QStringLiteral("cannot mount a small file system: ") + why));
        QSKIP(qPrintable(QStringLiteral("cannot mount a small file system: ") + why));
    }
    QString error;
    {
        CacheHome cacheHome(cache);
        RowStore store(generatedColumns);
        error = spillRows(store, 100000);
        QVERIFY(store.rowCount() > 0);
    }
    ::umount(QFile::encodeName(cache).constData());
    QCOMPARE(error,
             QStringLiteral("The disk that holds the folder %1 is full: the rows of the result cannot be "
                            "kept there.")
                 .arg(cache + QStringLiteral("/orvessa")));
}

QTEST_GUILESS_MAIN(TestRowStore)
#include "tst_rowstore.moc"
