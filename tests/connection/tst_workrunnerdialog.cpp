#include "connection/WorkRunnerDialog.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <thread>

namespace {

WorkRunnerDialog *visibleDialog()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *dialog = qobject_cast<WorkRunnerDialog *>(widget); dialog && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

} // namespace

class TestWorkRunnerDialog : public QObject
{
    Q_OBJECT

private slots:
    void shortWorkRunsOffTheUiThreadWithoutADialog();
    void errorsOfTheWorkComeBackToTheCaller();
    void cancelAsksOnceOffTheWindowsThreadAndKeepsWaitingForTheWork();
    void inputToTheMainWindowIsHeldBack_data();
    void inputToTheMainWindowIsHeldBack();
};

void TestWorkRunnerDialog::shortWorkRunsOffTheUiThreadWithoutADialog()
{
    const WorkRunner runner = makeDialogWorkRunner(nullptr);
    std::thread::id workThread;
    int cancels = 0;
    runner([&] { workThread = std::this_thread::get_id(); }, [&] { ++cancels; });
    QVERIFY(workThread != std::thread::id());
    QVERIFY(workThread != std::this_thread::get_id());
    QCOMPARE(cancels, 0);
    QVERIFY(!visibleDialog());
    QVERIFY(!QApplication::overrideCursor()); // the busy cursor is restored
}

void TestWorkRunnerDialog::errorsOfTheWorkComeBackToTheCaller()
{
    const WorkRunner runner = makeDialogWorkRunner(nullptr);
    try {
        runner([] { throw DataAccessError(QStringLiteral("no such table: x")); }, [] {});
        QFAIL("no error");
    } catch (const DataAccessError &error) {
        QCOMPARE(error.text(), QStringLiteral("no such table: x"));
    }
    QVERIFY(!QApplication::overrideCursor());
}

void TestWorkRunnerDialog::cancelAsksOnceOffTheWindowsThreadAndKeepsWaitingForTheWork()
{
    std::atomic<qint64> rows{0};
    std::atomic<bool> stop{false};
    std::atomic<int> cancels{0};
    std::thread::id cancelThread;
    QStringList seen;

    // The test's hands: watch for the dialog while the runner waits, then press Cancel twice.
    QTimer hands;
    connect(&hands, &QTimer::timeout, this, [&] {
        WorkRunnerDialog *dialog = visibleDialog();
        if (!dialog || dialog->cancelRequested())
            return;
        rows.store(12345);
        if (!dialog->text().contains(QStringLiteral("rows fetched")))
            return; // the dialog picks up the count on its next refresh
        seen << dialog->text();
        QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
        QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
        QTest::keyClick(dialog, Qt::Key_Escape);
        seen << dialog->text();
        QVERIFY(dialog->isVisible()); // still there until the work ends
    });
    hands.start(20);

    const WorkRunner runner = makeDialogWorkRunner(nullptr, &rows);
    runner(
        [&] {
            while (!stop.load())
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        },
        [&] {
            // Cancel may wait for the server (KILL QUERY opens a connection of its own): not
            // on the window's thread, and the runner returns only once it has ended.
            cancelThread = std::this_thread::get_id();
            ++cancels;
            stop.store(true);
        });
    hands.stop();

    QCOMPARE(cancels.load(), 1);
    QVERIFY(cancelThread != std::thread::id());
    QVERIFY(cancelThread != std::this_thread::get_id());
    QCOMPARE(seen.size(), 2);
    QCOMPARE(seen[0], QStringLiteral("Working... %1 rows fetched").arg(QLocale().toString(12345)));
    QCOMPARE(seen[1], QStringLiteral("Cancelling..."));
    QVERIFY(!visibleDialog());
    QVERIFY(!QApplication::overrideCursor());
}

void TestWorkRunnerDialog::inputToTheMainWindowIsHeldBack_data()
{
    QTest::addColumn<bool>("modalAfter");
    QTest::newRow("handed on after the work") << false;
    QTest::newRow("dropped behind a modal dialog opened after the work") << true;
}

void TestWorkRunnerDialog::inputToTheMainWindowIsHeldBack()
{
    QFETCH(bool, modalAfter);
    QWidget window;
    auto *button = new QPushButton(QStringLiteral("Run"), &window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    int clicks = 0;
    connect(button, &QPushButton::clicked, this, [&] { ++clicks; });

    std::atomic<bool> release{false};
    QTimer::singleShot(30, this, [&] {
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::keyClick(button, Qt::Key_Space);
        release.store(true);
    });
    const WorkRunner runner = makeDialogWorkRunner(&window);
    runner(
        [&] {
            while (!release.load())
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        },
        [] {});
    // Nothing reaches the window while the work runs, nor inside the command that ran it.
    QCOMPARE(clicks, 0);
    if (modalAfter) {
        // The command went on to a modal dialog: the window is blocked, as it would be for input
        // that came now.
        QDialog dialog(&window);
        dialog.setModal(true);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCoreApplication::processEvents();
        QCOMPARE(clicks, 0);
    } else {
        // Back in the event loop, the click and the key arrive.
        QTRY_COMPARE(clicks, 2);
    }
    // Afterwards the window takes input again.
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(clicks, modalAfter ? 1 : 3);
}

QTEST_MAIN(TestWorkRunnerDialog)
#include "tst_workrunnerdialog.moc"
