// Files replaced on a machine that other users share: a link planted by someone else in a
// shared folder never leads a write to one of this user's files.
#include "OrdinaryPermissions.h"
#include "SecondUser.h"

#include "common/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

} // namespace

class TestSafeFile : public QObject
{
    Q_OBJECT

private slots:
    void linksInASharedFolder_data()
    {
        QTest::addColumn<QString>("linkOwner");   // "other", "me"
        QTest::addColumn<QString>("folderOwner"); // "root", "other"
        QTest::addColumn<bool>("sticky");
        QTest::addColumn<bool>("followed");
        QTest::newRow("another user's link in /tmp is refused") << "other"
                                                                << "root" << true << false;
        QTest::newRow("my own link there is followed") << "me"
                                                       << "root" << true << true;
        QTest::newRow("the folder owner's link is followed") << "other"
                                                             << "other" << true << true;
        QTest::newRow("outside a sticky folder the kernel follows any link") << "other"
                                                                             << "root" << false << true;
    }

    void linksInASharedFolder()
    {
        QFETCH(QString, linkOwner);
        QFETCH(QString, folderOwner);
        QFETCH(bool, sticky);
        QFETCH(bool, followed);
        ORVESSA_REQUIRE_SECOND_USER(other);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // The victim is a file of mine, outside the shared folder.
        const QString victim = dir.filePath(QStringLiteral("victim"));
        writeFile(victim, "precious");
        const QString shared = SecondUser::makeSharedFolder(dir.path());
        QVERIFY(!shared.isEmpty());
        const QByteArray sharedPath = QFile::encodeName(shared);
        QVERIFY(::chmod(sharedPath.constData(), sticky ? 01777 : 0755) == 0);
        if (folderOwner == QLatin1String("other"))
            QVERIFY(::chown(sharedPath.constData(), other.uid(), other.gid()) == 0);
        const QString link = QDir(shared).filePath(QStringLiteral("out.csv"));
        if (linkOwner == QLatin1String("other"))
            QVERIFY(other.plantLink(victim, link));
        else
            QVERIFY(QFile::link(victim, link));

        // Both ways in: the whole content at once (profiles, reports) and as a stream (exports).
        QString error;
        const bool written = replaceFileAtomically(link, "new one", 0600, &error);
        ReplacementFile stream;
        QString streamError;
        const bool opened = stream.open(link, 0600, &streamError);
        stream.discard();

        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(
            QDir(shared).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
            QStringList{QStringLiteral("out.csv")});
        if (followed) {
            QVERIFY2(written && opened, qPrintable(error + streamError));
            QCOMPARE(readAll(victim), QByteArray("new one"));
            QCOMPARE(linkRefusal(link), QString());
            return;
        }
        QVERIFY(!written);
        QVERIFY(!opened);
        const QString expected =
            QStringLiteral("%1 is a link that another user put in the shared folder %2; it is not followed.")
                .arg(link, shared);
        QCOMPARE(error, expected);
        QCOMPARE(streamError, expected);
        QCOMPARE(linkRefusal(link), expected);
        QCOMPARE(readAll(victim), QByteArray("precious"));
    }

    // Once the new file is renamed into place the write has happened: a folder that cannot be
    // flushed afterwards is reported as such, not as a failure.
    void folderThatCannotBeFlushedStillHoldsTheNewFile()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("unreadable"));
        QVERIFY(QDir().mkpath(folder));
        const QString file = QDir(folder).filePath(QStringLiteral("f"));
        writeFile(file, "old");
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0300) == 0);
        bool written = false;
        QString error;
        QString notOnDisk;
        {
            OrdinaryPermissions ordinary;
            QVERIFY(ordinary.isValid());
            written = replaceFileAtomically(file, "new", 0600, &error, &notOnDisk);
        }
        ::chmod(QFile::encodeName(folder).constData(), 0700);
        QVERIFY2(written, qPrintable(error));
        QCOMPARE(notOnDisk, QStringLiteral("Permission denied"));
        QCOMPARE(readAll(file), QByteArray("new"));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("f")});
    }

    // A dangling link names no file, but its name is taken: a write there goes where it leads.
    void aDanglingLinkIsATakenName()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("link"));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("nowhere")), link));
        QVERIFY(!QFileInfo::exists(link));
        QVERIFY(nameIsTaken(link));
        QVERIFY(!nameIsTaken(dir.filePath(QStringLiteral("free"))));
    }
};

QTEST_GUILESS_MAIN(TestSafeFile)
#include "tst_safefile.moc"
