#include "shell/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString kName = QStringLiteral("Orvessa");

// The real program, started offscreen with its own runtime folder.
struct Program
{
    QProcess process;

    void start(const QString &runtimeDir, const QString &tempDir, const QStringList &arguments = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
        env.insert(QStringLiteral("TMPDIR"), tempDir);
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(ORVESSA_EXE), arguments);
    }

    ~Program()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(10000);
        }
    }
};
} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void secondCopyAsksTheFirstToComeForward()
    {
        QTemporaryDir dir;
        SingleInstance first(kName, dir.path());
        QVERIFY(!first.isAlreadyRunning());
        QVERIFY(first.holdsLock());
        QVERIFY(first.listen());
        QSignalSpy activated(&first, &SingleInstance::activateRequested);

        SingleInstance second(kName, dir.path());
        QVERIFY(second.isAlreadyRunning());
        QVERIFY(!second.holdsLock());
        QCOMPARE(second.serverPath(), first.serverPath());
        QVERIFY(second.activatePreviousInstance());
        QVERIFY(activated.wait(10000));
        QCOMPARE(activated.size(), 1);
    }

    void nobodyAnsweringIsNoFailure()
    {
        QTemporaryDir dir;
        SingleInstance starting(kName, dir.path());
        QVERIFY(!starting.isAlreadyRunning());
        // The running copy holds the mark but does not listen yet.
        SingleInstance second(kName, dir.path());
        QVERIFY(second.isAlreadyRunning());
        QVERIFY(!second.activatePreviousInstance(500));
    }

    void markGoesWithTheProcess()
    {
        QTemporaryDir dir;
        {
            SingleInstance first(kName, dir.path());
            QVERIFY(!first.isAlreadyRunning());
        }
        SingleInstance again(kName, dir.path());
        QVERIFY(!again.isAlreadyRunning());
    }

    void unusableRuntimeFolderFallsBackToTheTemporaryFolder()
    {
        QTemporaryDir dir;
        const QString notAFolder = dir.filePath(QStringLiteral("file"));
        QFile file(notAFolder);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        const QByteArray savedTemp = qgetenv("TMPDIR");
        qputenv("XDG_RUNTIME_DIR", notAFolder.toLocal8Bit());
        qputenv("TMPDIR", dir.path().toLocal8Bit());
        {
            SingleInstance instance(kName);
            QVERIFY(!instance.isAlreadyRunning());
            QVERIFY(instance.holdsLock());
            QVERIFY(instance.lockFilePath().startsWith(dir.path() + QStringLiteral("/Orvessa-")));
        }
        // Nowhere to write at all: the program runs without the mark.
        qputenv("TMPDIR", notAFolder.toLocal8Bit());
        {
            SingleInstance instance(kName);
            QVERIFY(!instance.isAlreadyRunning());
            QVERIFY(!instance.holdsLock());
        }
        qputenv("XDG_RUNTIME_DIR", savedRuntime);
        qputenv("TMPDIR", savedTemp);
    }

    // Another user of the machine got to the shared folder's name first: the program neither
    // takes the planted lock as a running copy nor puts its lock or socket where others reach.
    void folderPlantedInTheSharedTemporaryFolderIsNotUsed_data()
    {
        QTest::addColumn<QString>("planted");
        QTest::newRow("folder others may write to") << QStringLiteral("open");
        QTest::newRow("symlink to a folder") << QStringLiteral("link");
    }

    void folderPlantedInTheSharedTemporaryFolderIsNotUsed()
    {
        QFETCH(QString, planted);
        QTemporaryDir shared;
        QTemporaryDir elsewhere;
        QVERIFY(QFile::setPermissions(shared.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                         QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                         QFileDevice::WriteOther | QFileDevice::ExeOther));
        const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        const QByteArray savedTemp = qgetenv("TMPDIR");
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", shared.path().toLocal8Bit());
        QString placeName;
        {
            // Where the program's folder would be.
            SingleInstance probe(kName);
            QVERIFY(!probe.isAlreadyRunning());
            placeName = QFileInfo(probe.lockFilePath()).absolutePath();
        }
        QVERIFY(QDir(placeName).removeRecursively());
        if (planted == QLatin1String("open")) {
            QVERIFY(QDir().mkdir(placeName));
            QVERIFY(QFile::setPermissions(placeName, QFile::permissions(shared.path())));
        } else {
            QVERIFY(QFile::link(elsewhere.path(), placeName));
        }
        // A lock of a live process, as another user would plant it.
        QFile lock(elsewhere.filePath(kName + QStringLiteral(".lock")));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(QCoreApplication::applicationPid()) + "\nplanted\n\n");
        lock.close();
        if (planted == QLatin1String("open"))
            QVERIFY(QFile::copy(lock.fileName(), QDir(placeName).filePath(kName + QStringLiteral(".lock"))));
        {
            SingleInstance instance(kName);
            QVERIFY(!instance.isAlreadyRunning());
            QVERIFY(!instance.holdsLock());
        }
        QCOMPARE(QDir(elsewhere.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList{kName + QStringLiteral(".lock")});
        qputenv("XDG_RUNTIME_DIR", savedRuntime);
        qputenv("TMPDIR", savedTemp);
    }

    void secondStartOfTheProgramEndsAtOnce()
    {
        QTemporaryDir runtime;
        QTemporaryDir temp;
        const QString socket = runtime.filePath(QStringLiteral("Orvessa.socket"));
        Program first;
        first.start(runtime.path(), temp.path());
        QVERIFY(first.process.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(socket), 20000);

        Program second;
        second.start(runtime.path(), temp.path(), {QStringLiteral("--ignored"), QStringLiteral("x.ovs")});
        QVERIFY(second.process.waitForFinished(20000));
        QCOMPARE(second.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.process.exitCode(), 0);
        QCOMPARE(first.process.state(), QProcess::Running);
    }

    void lockOfACrashedCopyIsTakenOver()
    {
        QTemporaryDir runtime;
        QTemporaryDir temp;
        const QString socket = runtime.filePath(QStringLiteral("Orvessa.socket"));
        {
            Program crashed;
            crashed.start(runtime.path(), temp.path());
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(socket), 20000);
            crashed.process.kill();
            QVERIFY(crashed.process.waitForFinished(10000));
        }
        QVERIFY(QFile::exists(runtime.filePath(QStringLiteral("Orvessa.lock"))));

        Program next;
        next.start(runtime.path(), temp.path());
        QVERIFY(next.process.waitForStarted(10000));
        // It runs: a further start finds it and ends.
        Program probe;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                SingleInstance look(kName, runtime.path());
                return look.isAlreadyRunning() && look.activatePreviousInstance(500);
            }(),
            20000);
        QCOMPARE(next.process.state(), QProcess::Running);
    }
};

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
