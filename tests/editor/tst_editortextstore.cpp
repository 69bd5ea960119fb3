#include "editor/EditorTextStore.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

// The editor's text, kept for each profile between runs.
class TestEditorTextStore : public QObject
{
    Q_OBJECT

private slots:
    void eachProfileGetsItsTextBackAsItWas();
    void plantedFilesAreNotFollowed();
};

void TestEditorTextStore::eachProfileGetsItsTextBackAsItWas()
{
    QTemporaryDir dir;
    const EditorTextStore store(dir.filePath(QStringLiteral("orvessa/editor")));
    QString text, error;
    QVERIFY(store.load(QStringLiteral("/home/u/sales.ovs"), &text, &error)); // nothing kept yet
    QVERIFY(text.isEmpty());
    const QString sales = QStringLiteral(u"SELECT 1;\r\n-- ação 😀\r\nALTER USER bob PASSWORD 'x';");
    QVERIFY2(store.save(QStringLiteral("/home/u/sales.ovs"), sales, &error), qPrintable(error));
    QVERIFY(store.save(QString(), QStringLiteral("SELECT 'no profile'"), &error));
    QVERIFY(store.save(QStringLiteral("/home/u/other.ovs"), QStringLiteral("SELECT 2"), &error));
    QVERIFY(store.load(QStringLiteral("/home/u/sales.ovs"), &text, &error));
    QCOMPARE(text, sales);
    QVERIFY(store.load(QString(), &text, &error));
    QCOMPARE(text, QStringLiteral("SELECT 'no profile'"));
    // Private: the folder 0700, the files 0600.
    struct stat st
    {
    };
    QVERIFY(::stat(QFile::encodeName(store.fileFor(QStringLiteral("/home/u/sales.ovs"))).constData(), &st) ==
            0);
    QCOMPARE(st.st_mode & 07777, mode_t(0600));
    QVERIFY(::stat(QFile::encodeName(dir.filePath(QStringLiteral("orvessa/editor"))).constData(), &st) == 0);
    QCOMPARE(st.st_mode & 07777, mode_t(0700));
}

void TestEditorTextStore::plantedFilesAreNotFollowed()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("orvessa/editor"));
    const EditorTextStore store(folder);
    QString text, error;
    QVERIFY(store.save(QStringLiteral("p.ovs"), QStringLiteral("mine"), &error));
    const QString victim = dir.filePath(QStringLiteral("victim"));
    QFile file(victim);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("someone else's");
    file.close();
    const QString path = store.fileFor(QStringLiteral("p.ovs"));
    QVERIFY(QFile::remove(path));
    QVERIFY(QFile::link(victim, path));
    QVERIFY(!store.load(QStringLiteral("p.ovs"), &text, &error));
    QVERIFY(text.isEmpty());
    QVERIFY(!store.save(QStringLiteral("p.ovs"), QStringLiteral("secret"), &error));
    QVERIFY(error.contains(QStringLiteral("symbolic link")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("someone else's"));
    // A folder others may write to is not used either.
    QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0777) == 0);
    error.clear();
    QVERIFY(!store.save(QStringLiteral("q.ovs"), QStringLiteral("secret"), &error));
    QVERIFY(!error.isEmpty());
}

QTEST_GUILESS_MAIN(TestEditorTextStore)
#include "tst_editortextstore.moc"
