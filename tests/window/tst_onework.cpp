#include "PacedBackend.h"
#include "ScriptedPrompt.h"

#include "WindowDriver.h"
#include "connection/WorkRunnerDialog.h"
#include "editor/SqlEditor.h"
#include "query/Query.h"
#include "query/ResultModel.h"
#include "query/RowEditor.h"
#include "shell/Language.h"

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
    MainWindow v;
    v.show();
    QVERIFY(QTest::qWaitForWindowExposed(&v));
    auto backend = std::make_unique<PacedBackend>(100000);
    PacedBackend *paced = backend.get();
    const WorkRunner dialog = makeDialogWorkRunner(&v, v.session().connection().rowsFetchedCounter());
    int depth = 0, maxDepth = 0;
    v.session().connection().setWorkRunner(
        [&](const std::function<void()> &work, const std::function<void()> &cancel) {
            maxDepth = std::max(maxDepth, ++depth);
            dialog(work, cancel);
            --depth;
        });
    v.session().connection().openWith(std::move(backend));
    paced->setCallMs(30);
    v.session().query().setFirstRowsMs(0);
    paced->allow(10);
    ui(v).editor()->setText(QStringLiteral("SELECT id, name FROM t"));
    ui(v).pressButton(Command::Run);
    QVERIFY(v.session().query().isFetching());

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
            ui(v).tree()->findItems(QStringLiteral("t"), Qt::MatchExactly | Qt::MatchRecursive).value(0);
        QVERIFY(node);
        ui(v).tree()->setCurrentItem(node);
        QTest::mouseClick(ui(v).tree()->viewport(), Qt::LeftButton, {},
                          ui(v).tree()->visualItemRect(node).center());
    } else if (command == QLatin1String("report")) {
        ui(v).pressButton(Command::Report);
    } else {
        prompt.fileAnswers.enqueue(dir.filePath(QStringLiteral("out.csv")));
        ui(v).press(Command::ExportData);
    }
    QTRY_VERIFY(!v.session().query().isFetching());
    QTRY_VERIFY(ui(v).resultModel()->editor()->isEditable());
    QVERIFY(cancelled);
    QCOMPARE(maxDepth, 1);
    QVERIFY(!paced->overlapped());
}

QTEST_MAIN(TestOneWork)
#include "tst_onework.moc"
