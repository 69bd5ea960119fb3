#include "editor/QueryHistory.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

HistoryEntry entry(const QString &sql, bool failed = false)
{
    HistoryEntry e;
    e.time = QDateTime::currentDateTime();
    e.source = QStringLiteral("sales.ovs");
    e.sql = sql;
    e.elapsedMs = 12;
    e.rows = failed ? -1 : 3;
    e.failed = failed;
    return e;
}

mode_t modeOf(const QString &path)
{
    struct stat st
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestQueryHistory : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void entriesComeBackAsTheyWereTyped();
    void fileAndFolderArePrivate();
    void sizeStaysWithinItsBound();
    void entriesCanBeDeletedOrAllCleared();
    void filesPlantedBySomeoneElseAreNotUsed_data();
    void filesPlantedBySomeoneElseAreNotUsed();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path; // in a folder that does not exist yet
};

void TestQueryHistory::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = m_dir->filePath(QStringLiteral("share/orvessa/history"));
}

void TestQueryHistory::entriesComeBackAsTheyWereTyped()
{
    QString error;
    QueryHistory history(m_path);
    QVERIFY(history.load(&error)); // no file yet: an empty history
    QVERIFY(history.entries().isEmpty());
    // Line breaks, quotes, a password typed into a statement and text of any script stay as typed.
    const QList<HistoryEntry> added{entry(QStringLiteral("SELECT 1;\r\nSELECT \"a\\b\"\n")),
                                    entry(QStringLiteral("ALTER USER bob PASSWORD 's3cret'"), true),
                                    entry(QStringLiteral(u"SELECT 'ação 😀'"))};
    for (const HistoryEntry &e : added)
        QVERIFY2(history.add(e, &error), qPrintable(error));
    QueryHistory again(m_path);
    QVERIFY2(again.load(&error), qPrintable(error));
    QCOMPARE(again.entries().size(), 3);
    for (int i = 0; i < 3; ++i) {
        const HistoryEntry &e = again.entries()[i];
        QCOMPARE(e.sql, added[i].sql);
        QCOMPARE(e.source, added[i].source);
        QCOMPARE(e.failed, added[i].failed);
        QCOMPARE(e.rows, added[i].rows);
        QCOMPARE(e.elapsedMs, added[i].elapsedMs);
        QCOMPARE(e.time.toMSecsSinceEpoch(), added[i].time.toMSecsSinceEpoch());
    }
    // A line cut short by a crash is passed over; the entries around it stay.
    QFile file(m_path);
    QVERIFY(file.open(QIODevice::Append));
    file.write("{\"sql\":\"SELECT tor");
    file.close();
    QVERIFY(again.load(&error));
    QCOMPARE(again.entries().size(), 3);
    QVERIFY(again.add(entry(QStringLiteral("SELECT 4")), &error));
}

void TestQueryHistory::fileAndFolderArePrivate()
{
    const mode_t umaskBefore = ::umask(0);
    QString error;
    QueryHistory history(m_path);
    const bool added = history.add(entry(QStringLiteral("SELECT 1")), &error);
    ::umask(umaskBefore);
    QVERIFY2(added, qPrintable(error));
    QCOMPARE(modeOf(m_path), mode_t(0600));
    QCOMPARE(modeOf(QFileInfo(m_path).path()), mode_t(0700));
    // A file made readable by others is made private again.
    QVERIFY(::chmod(QFile::encodeName(m_path).constData(), 0644) == 0);
    QVERIFY(QueryHistory(m_path).load(&error));
    QCOMPARE(modeOf(m_path), mode_t(0600));
}

void TestQueryHistory::sizeStaysWithinItsBound()
{
    const qint64 bound = 8192;
    QString error;
    QueryHistory history(m_path, bound);
    for (int i = 0; i < 200; ++i)
        QVERIFY2(history.add(entry(QStringLiteral("SELECT %1 FROM numbers").arg(i)), &error),
                 qPrintable(error));
    QVERIFY(QFileInfo(m_path).size() <= bound);
    // The newest are kept, the oldest went; the list matches the file.
    QueryHistory again(m_path, bound);
    QVERIFY(again.load(&error));
    QVERIFY(again.entries().size() > 20);
    QCOMPARE(again.entries().last().sql, QStringLiteral("SELECT 199 FROM numbers"));
    QCOMPARE(again.entries().size(), history.entries().size());
    QCOMPARE(again.entries().first().sql, history.entries().first().sql);
    // A statement too large for the bound runs but is not written.
    QVERIFY(history.add(entry(QString(bound, QLatin1Char('x'))), &error));
    QVERIFY(QFileInfo(m_path).size() <= bound);
    QVERIFY(!contentOf(m_path).contains("xxxx"));
}

void TestQueryHistory::entriesCanBeDeletedOrAllCleared()
{
    QString error;
    QueryHistory history(m_path);
    for (const char *sql : {"SELECT 1", "ALTER USER bob PASSWORD 's3cret'", "SELECT 3", "SELECT 4"})
        QVERIFY(history.add(entry(QString::fromLatin1(sql)), &error));
    QVERIFY2(history.remove({3, 1, 1}, &error), qPrintable(error));
    QueryHistory again(m_path);
    QVERIFY(again.load(&error));
    QStringList texts;
    for (const HistoryEntry &e : again.entries())
        texts.append(e.sql);
    QCOMPARE(texts, (QStringList{"SELECT 1", "SELECT 3"}));
    QVERIFY(!contentOf(m_path).contains("s3cret"));
    QCOMPARE(modeOf(m_path), mode_t(0600));
    QVERIFY(again.clear(&error));
    QVERIFY(again.entries().isEmpty());
    QCOMPARE(contentOf(m_path), QByteArray());
}

void TestQueryHistory::filesPlantedBySomeoneElseAreNotUsed_data()
{
    QTest::addColumn<QString>("plant");
    QTest::newRow("history is a symlink") << "symlink";
    QTest::newRow("folder is a symlink") << "folder symlink";
    QTest::newRow("folder others can write to") << "open folder";
    QTest::newRow("history of another user") << "other owner";
}

void TestQueryHistory::filesPlantedBySomeoneElseAreNotUsed()
{
    QFETCH(QString, plant);
    const QString folder = QFileInfo(m_path).path();
    const QString victim = m_dir->filePath(QStringLiteral("victim"));
    QFile file(victim);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("{\"sql\":\"planted\"}\n");
    file.close();
    QVERIFY(QDir().mkpath(QFileInfo(folder).path()));
    if (plant == QLatin1StringView("symlink")) {
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(QFile::link(victim, m_path));
    } else if (plant == QLatin1StringView("folder symlink")) {
        const QString elsewhere = m_dir->filePath(QStringLiteral("elsewhere"));
        QVERIFY(QDir().mkdir(elsewhere));
        QVERIFY(QFile::link(elsewhere, folder));
    } else if (plant == QLatin1StringView("open folder")) {
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0777) == 0);
    } else {
        if (::geteuid() != 0)
            QSKIP("Only root can give a file to another user.");
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(QFile::copy(victim, m_path));
        QVERIFY(::chown(QFile::encodeName(m_path).constData(), 65534, 65534) == 0);
    }
    QString error;
    QueryHistory history(m_path);
    QVERIFY(!history.load(&error));
    QVERIFY(!error.isEmpty());
    QVERIFY(history.entries().isEmpty()); // nothing planted is read
    QVERIFY(!history.add(entry(QStringLiteral("SELECT secret")), &error));
    QVERIFY(!history.clear(&error));
    QCOMPARE(contentOf(victim), QByteArray("{\"sql\":\"planted\"}\n"));
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("elsewhere/history"))));
}

QTEST_GUILESS_MAIN(TestQueryHistory)
#include "tst_queryhistory.moc"
