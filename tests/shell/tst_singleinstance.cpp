#include "shell/SingleInstance.h"

#include <QFile>
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
