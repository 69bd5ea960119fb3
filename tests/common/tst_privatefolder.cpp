// The program's private temporary folder: made where only its user can enter, and removed at
// the end without ever following something planted in its place.
#include "common/PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

void writeFile(const QString &path)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("keep me");
}

} // namespace

class TestPrivateFolder : public QObject
{
    Q_OBJECT

private slots:
    void madeOnlyWhereNobodyElseCanEnter()
    {
        QTemporaryDir open, runtime;
        QVERIFY(QFile::setPermissions(open.path(), QFile::permissions(open.path()) | QFile::ReadOther |
                                                       QFile::ExeOther | QFile::WriteOther));
        QVERIFY(!isPrivateFolder(open.path()));
        QVERIFY(isPrivateFolder(runtime.path()));

        // A base that is not private is still fine to hold one: the new folder itself is 0700.
        auto folder = PrivateFolder::create({QString(), open.path()});
        QVERIFY(folder);
        QCOMPARE(QFileInfo(folder->path()).dir().path(), open.path());
        struct stat st
        {
        };
        QCOMPARE(::lstat(QFile::encodeName(folder->path()).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0700u);
        QVERIFY(QFileInfo(folder->path()).fileName().startsWith(QStringLiteral("orvessa-")));

        const QString path = folder->path();
        writeFile(path + QStringLiteral("/OVS.xml"));
        folder.reset();
        QVERIFY(!QFileInfo::exists(path));
    }

    // A cleaner of old temporary files removed the folder, and someone put a symlink to the
    // user's files at its name: the end of the run must not empty them.
    void symlinkPlantedInItsPlaceIsNotFollowed()
    {
        QTemporaryDir base, victim;
        writeFile(victim.filePath(QStringLiteral("thesis.odt")));
        auto folder = PrivateFolder::create({base.path()});
        QVERIFY(folder);
        QVERIFY(QDir(folder->path()).removeRecursively());
        QVERIFY(QFile::link(victim.path(), folder->path()));

        folder.reset();
        QVERIFY(QFile::exists(victim.filePath(QStringLiteral("thesis.odt"))));
    }

    void runtimeFolderIsPreferredWhenPrivate_data()
    {
        QTest::addColumn<bool>("runtimePrivate");
        QTest::newRow("private runtime folder") << true;
        QTest::newRow("runtime folder others can enter") << false;
    }
    void runtimeFolderIsPreferredWhenPrivate()
    {
        QFETCH(bool, runtimePrivate);
        QTemporaryDir runtime, temp;
        if (!runtimePrivate)
            QVERIFY(QFile::setPermissions(runtime.path(), QFile::permissions(runtime.path()) |
                                                              QFile::ReadOther | QFile::ExeOther));
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        qputenv("TMPDIR", temp.path().toUtf8());

        // The first use makes the folder; later uses give the same one while it stands.
        const QString first = privateTempFolder();
        QCOMPARE(privateTempFolder(), first);
        QCOMPARE(QFileInfo(first).dir().path(), runtimePrivate ? runtime.path() : temp.path());
        QVERIFY(isPrivateFolder(first));

        // Gone (or replaced) while the program runs: a new one is made.
        QVERIFY(QDir(first).removeRecursively());
        const QString second = privateTempFolder();
        QVERIFY(isPrivateFolder(second));
        QVERIFY(QDir(second).removeRecursively());
        qunsetenv("XDG_RUNTIME_DIR");
        qunsetenv("TMPDIR");
    }
};

QTEST_GUILESS_MAIN(TestPrivateFolder)
#include "tst_privatefolder.moc"
