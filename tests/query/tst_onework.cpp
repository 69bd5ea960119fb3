#include "PacedBackend.h"
#include "PressCommand.h"
#include "ScriptedPrompt.h"

#include "connection/WorkRunnerDialog.h"
#include "editor/SqlEditor.h"
#include "query/Query.h"
#include "query/ResultModel.h"
#include "query/RowEditor.h"
#include "shell/Language.h"
#include "shell/UMainView.h"

#include <QApplication>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

class TestOneWork : public QObject
{
    Q_OBJECT

private slots:
    void reviewedScenario_data();
    void reviewedScenario();
};

void TestOneWork::reviewedScenario_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("tree click") << "tree";
    QTest::newRow("report") << "report";
    QTest::newRow("export") << "export";
}

void TestOneWork::reviewedScenario()
{
    QFETCH(QString, command);
    setUiLanguage(QStringLiteral("en-US"));
    ScriptedPrompt prompt;
    QTemporaryDir dir;
    TMainView v;
    v.show();
    QVERIFY(QTest::qWaitForWindowExposed(&v));
    auto backend = std::make_unique<PacedBackend>(100000);
    PacedBackend *paced = backend.get();
    const WorkRunner dialog = makeDialogWorkRunner(&v, v.ADOConnection1->rowsFetchedCounter());
    int depth = 0, maxDepth = 0;
    v.ADOConnection1->setWorkRunner(
        [&](const std::function<void()> &work, const std::function<void()> &cancel) {
            maxDepth = std::max(maxDepth, ++depth);
            dialog(work, cancel);
            --depth;
        });
    v.ADOConnection1->openWith(std::move(backend));
    paced->setCallMs(30);
    v.ADOQuery1->setFirstRowsMs(0);
    paced->allow(10);
    v.SynEdit1->setText(QStringLiteral("SELECT id, name FROM t"));
    press(v.btRun);
    QVERIFY(v.ADOQuery1->isFetching());

    bool cancelled = false;
    QTimer hands;
    connect(&hands, &QTimer::timeout, this, [&] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *d = qobject_cast<WorkRunnerDialog *>(widget); d && d->isVisible() && !cancelled) {
                cancelled = true;
                QTest::mouseClick(d->cancelButton(), Qt::LeftButton);
                paced->allow(paced->total());
            }
        }
    });
    hands.start(20);
    if (command == QLatin1String("tree")) {
        QTreeWidgetItem *node =
            v.TreeView1->findItems(QStringLiteral("t"), Qt::MatchExactly | Qt::MatchRecursive).value(0);
        QVERIFY(node);
        v.TreeView1->setCurrentItem(node);
        QTest::mouseClick(v.TreeView1->viewport(), Qt::LeftButton, {},
                          v.TreeView1->visualItemRect(node).center());
    } else if (command == QLatin1String("report")) {
        press(v.btReport);
    } else {
        prompt.fileAnswers.enqueue(dir.filePath(QStringLiteral("out.csv")));
        press(v.mExport);
    }
    QTRY_VERIFY(!v.ADOQuery1->isFetching());
    QTRY_VERIFY(v.DataSource1->editor()->isEditable());
    QVERIFY(cancelled);
    QCOMPARE(maxDepth, 1);
    QVERIFY(!paced->overlapped());
}

QTEST_MAIN(TestOneWork)
#include "tst_onework.moc"
