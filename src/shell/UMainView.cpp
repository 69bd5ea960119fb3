#include "shell/UMainView.h"

#include "about/AboutBox.h"
#include "editor/SqlEditor.h"
#include "query/Query.h"
#include "query/RecordNavigator.h"
#include "query/ResultGrid.h"
#include "query/ResultModel.h"
#include "query/TableReader.h"
#include "reports/SpreadsheetAvailability.h"
#include "shell/Accessibility.h"
#include "shell/CommandState.h"
#include "shell/Guard.h"
#include "shell/ImageList.h"
#include "shell/Language.h"
#include "shell/TimeStamp.h"
#include "shell/WheelKeyFilter.h"
#include "shell/texts/UiTexts.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>

#include <optional>

TMainView *MainView = nullptr;

namespace {
int activePageIndex(const QTabWidget *pages)
{
    return pages->currentIndex();
}

// What a dispatcher row needs before its command acts. A pending edit is posted before the
// commands that replace or drop the grid's rows, or change how typed numbers are read. A fetch
// still streaming is cancelled before the commands that replace or drop the result, and waited
// for before those that keep it but need the connection. (Exit closes the window, whose close
// handler does the same as the commands that drop the rows.)
struct CommandGate
{
    bool postEdit = false;
    std::optional<TMainView::FetchRule> fetch;
};

CommandGate gateOf(int row)
{
    using Rule = TMainView::FetchRule;
    switch (row) {
    case 1:  // Connect
    case 2:  // Disconnect
    case 3:  // Load
    case 6:  // Edit
    case 9:  // Refresh
    case 10: // Run
    case 11: // Stats
    case 13: // Compact
        return {true, Rule::Cancel};
    case 12: // Report
        return {false, Rule::Wait};
    case 17: // English
    case 18: // Portuguese
        return {true, std::nullopt};
    case 21: // Export data runs the statement again beside the rows on show: what was typed goes
             // in first, and a fetch still arriving ends before the connection is used
        return {true, Rule::Wait};
    default:
        return {};
    }
}
// The last session went away under the program, not by a Disconnect, and a connection string is
// pending (the lost one, unless Load or Edit put another): the connection keeps the mark until
// it opens again, so a reconnect that fails can be tried again.
bool lostSessionPending(const Connection &connection, const QString &pendingConnectionString)
{
    return !connection.isOpen() && connection.connectionLost() && !pendingConnectionString.isEmpty();
}
} // namespace

TMainView::TMainView(QWidget *parent) : QMainWindow(parent)
{
    ADOConnection1 = std::make_unique<Connection>();
    ADOQuery1 = std::make_unique<Query>(ADOConnection1.get());
    ADOTable1 = std::make_unique<TableReader>(ADOConnection1.get());
    buildWindow();
    ApplicationEvents1 = new WheelKeyFilter(this);
    qApp->installEventFilter(ApplicationEvents1);
    initConnectionPart();
    initGridPart();
    initFetchPart();
    initReportsPart();
    initAccessPart();
    FormCreate();
}

TMainView::~TMainView() = default;

void TMainView::FormCreate()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        ScreenWidthLimit = screen->size().width();
        ScreenHeightLimit = screen->availableGeometry().height() - 7;
    } else {
        ScreenWidthLimit = 800;
        ScreenHeightLimit = 572;
    }
    resize(800, 572);
    AppFolder = QCoreApplication::applicationDirPath() + u'/';
    setUiLanguage(languageForLocale(QLocale::system()));
    for (FileDialogOptions *dialog : {&OpenDialog1, &SaveDialog1}) {
        dialog->folder = AppFolder;
        dialog->defaultSuffix = texts::profileExtension();
        dialog->filter = texts::profileFilter();
    }
    ProfileFileName.clear();
    ResetStructureGrid();
    PageControl1->setCurrentWidget(TabSheet1);
    reMessages->clear();
    ExcelAvailable = isSpreadsheetAppRegistered();
    if (!ExcelAvailable)
        StringGrid1->setToolTip(QString());
    PageControl1->setTabVisible(PageControl1->indexOf(TabSheet4), false);
    Button1->setEnabled(false);
}

void TMainView::FormActivate()
{
    if (width() <= ScreenWidthLimit && height() <= ScreenHeightLimit && !isMaximized())
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
    ApplyLanguage();
    UpdateCommands();
}

void TMainView::FormClose()
{
    if (ADOQuery1->isOpen())
        ADOQuery1->close();
    if (ADOConnection1->isOpen())
        ADOConnection1->close();
}

void TMainView::AnyClick(QObject *sender)
{
    // Every row is tested; each sender belongs to one row only.
    auto row = [&](int number, std::initializer_list<const QObject *> senders, auto &&action) {
        for (const QObject *s : senders) {
            if (s == sender) {
                if (commandInterceptor && commandInterceptor(number))
                    return;
                const CommandGate gate = gateOf(number);
                if (gate.postEdit && !postPendingEdit())
                    return;
                if (gate.fetch)
                    endFetch(*gate.fetch);
                action();
                return;
            }
        }
    };
    row(1, {Connect1, ToolButton1}, [this] { OpenConnection(); });
    row(2, {Disconnect1, ToolButton2}, [this] {
        if (ADOConnection1->isOpen())
            ADOConnection1->close();
    });
    row(3, {Load1, btLoad}, [this] { LoadCommand(); });
    row(4, {Save1, btSave}, [this] { SaveCommand(); });
    row(5, {Exit1}, [this] { close(); });
    row(6, {Edit1}, [this] { EditConnection(); });
    row(7, {Expand1, ToolButton3}, [this] { TreeView1->expandAll(); });
    row(8, {Collapse1, ToolButton4}, [this] { TreeView1->collapseAll(); });
    row(9, {Refresh1, ToolButton5}, [this] {
        // A lost session is opened again with its string, and the after-connect handling
        // refreshes. A Disconnect is the user's choice: Refresh leaves it closed.
        if (ADOConnection1->isOpen())
            ADOConnection1AfterConnect();
        else if (lostSessionPending(*ADOConnection1, ProfileConnectionString))
            OpenConnection();
    });
    row(10, {mRun, btRun}, [this] { RunSql(); });
    row(11, {mStats, btStats}, [this] { StatsCommand(); });
    row(12, {mReport, btReport}, [this] { ReportStructure(); });
    row(13, {mCompact}, [this] { CompactCommand(); });
    row(14, {Structure1}, [this] { PageControl1->setCurrentWidget(TabSheet1); });
    row(15, {SQL1}, [this] { PageControl1->setCurrentWidget(TabSheet2); });
    row(16, {Messages1}, [this] { PageControl1->setCurrentWidget(TabSheet3); });
    row(17, {En_US}, [this] {
        setUiLanguage(QStringLiteral("en-US"));
        ApplyLanguage();
    });
    row(18, {Pt_BR}, [this] {
        setUiLanguage(QStringLiteral("pt-BR"));
        ApplyLanguage();
    });
    row(19, {Pelmora1}, [this] {
        showMinimized();
        prompt().openUrl(QUrl(texts::makerWebSite()));
    });
    row(20, {About1, btAbout}, [this] {
        ApplyLanguage();
        if (m_aboutBox)
            prompt().showModal(m_aboutBox);
    });
    row(21, {mExport}, [this] { ExportCommand(); });
    UpdateCommands();
}

void TMainView::LoadCommand()
{
    OpenDialog1.fileName = ProfileFileName;
    if (const std::optional<QString> name = prompt().openFileName(this, OpenDialog1))
        LoadProfile(*name);
}

void TMainView::SaveCommand()
{
    if (ProfileFileName.isEmpty()) {
        // No folder in the name: the test looks in the current folder.
        for (int n = 1;; ++n) {
            ProfileFileName = TextUndefined + QString::number(n) + u'.' + texts::profileExtension();
            if (!QFileInfo::exists(ProfileFileName))
                break;
        }
    }
    SaveDialog1.fileName = ProfileFileName;
    if (const std::optional<QString> name = prompt().saveFileName(this, SaveDialog1))
        SaveProfile(*name);
}

void TMainView::UpdateCommands()
{
    CommandInputs in;
    in.connected = ADOConnection1->isOpen();
    in.sessionLost = lostSessionPending(*ADOConnection1, ProfileConnectionString);
    in.connectionString = ADOConnection1->connectionString();
    in.profileConnectionString = ProfileConnectionString;
    in.treeHasNodes = TreeView1->topLevelItemCount() > 0;
    in.editorText = SynEdit1->text();
    in.isAccess = IsAccess;
    in.isSqlite = IsSqlite;
    in.activePage = activePageIndex(PageControl1);
    in.currentLanguage = uiLanguage();
    const CommandState s = CommandState::compute(in);

    Connect1->setEnabled(s.connect);
    Disconnect1->setEnabled(s.disconnect);
    Load1->setEnabled(s.load);
    Save1->setEnabled(s.save);
    Exit1->setEnabled(s.exit);
    Edit1->setEnabled(s.edit);
    Expand1->setEnabled(s.expand);
    Collapse1->setEnabled(s.collapse);
    Refresh1->setEnabled(s.refresh);
    mRun->setEnabled(s.run);
    mStats->setEnabled(s.stats);
    mReport->setEnabled(s.report);
    mCompact->setEnabled(s.compact);
    mExport->setEnabled(s.exportData);

    Structure1->setChecked(s.structureChecked);
    SQL1->setChecked(s.sqlChecked);
    Messages1->setChecked(s.messagesChecked);
    En_US->setChecked(s.englishChecked);
    Pt_BR->setChecked(s.portugueseChecked);

    ToolButton1->setEnabled(Connect1->isEnabled());
    ToolButton2->setEnabled(Disconnect1->isEnabled());
    ToolButton3->setEnabled(Expand1->isEnabled());
    ToolButton4->setEnabled(Collapse1->isEnabled());
    ToolButton5->setEnabled(Refresh1->isEnabled());
    btLoad->setEnabled(Load1->isEnabled());
    btSave->setEnabled(Save1->isEnabled());
    btRun->setEnabled(mRun->isEnabled());
    btStats->setEnabled(mStats->isEnabled());
    btReport->setEnabled(mReport->isEnabled());

    if (s.resetReportPage) {
        PageControl1->setTabVisible(PageControl1->indexOf(TabSheet4), false);
        WebBrowser1->clear();
        Button1->setEnabled(false);
    }
}

void TMainView::SynEdit1Change()
{
    btRun->setEnabled(CommandState::runButtonWhileTyping(SynEdit1->text()));
}

void TMainView::ApplyLanguage()
{
    const UiTexts &t = uiTexts();

    File1->setText(t.File1);
    Connect1->setText(t.Connect1);
    Disconnect1->setText(t.Disconnect1);
    Load1->setText(t.Load1);
    Save1->setText(t.Save1);
    Exit1->setText(t.Exit1);
    Edit1->setText(t.Edit1);
    View1->setText(t.View1);
    Expand1->setText(t.Expand1);
    Collapse1->setText(t.Collapse1);
    Refresh1->setText(t.Refresh1);
    Tools1->setText(t.Tools1);
    mRun->setText(t.mRun);
    mStats->setText(t.mStats);
    mReport->setText(t.mReport);
    mCompact->setText(t.mCompact);
    mExport->setText(t.mExport);
    Window1->setText(t.Window1);
    Structure1->setText(t.Structure1);
    SQL1->setText(t.SQL1);
    Messages1->setText(t.Messages1);
    Language1->setText(t.Language1);
    Help1->setText(t.Help1);
    About1->setText(t.About1);

    // The buttons show only pictures: the hint is also the name a screen reader says.
    a11y::setHint(ToolButton1, t.hintToolButton1);
    a11y::setHint(ToolButton2, t.hintToolButton2);
    a11y::setHint(ToolButton3, t.hintToolButton3);
    a11y::setHint(ToolButton4, t.hintToolButton4);
    a11y::setHint(ToolButton5, t.hintToolButton5);
    a11y::setHint(btLoad, t.hintLoad);
    a11y::setHint(btSave, t.hintSave);
    a11y::setHint(btRun, t.hintRun);
    a11y::setHint(btStats, t.hintStats);
    a11y::setHint(btReport, t.hintReport);
    a11y::setHint(btAbout, t.hintAbout);

    PageControl1->setTabText(PageControl1->indexOf(TabSheet1), t.TabSheet1);
    PageControl1->setTabText(PageControl1->indexOf(TabSheet2), t.TabSheet2);
    PageControl1->setTabText(PageControl1->indexOf(TabSheet3), t.TabSheet3);
    PageControl1->setTabText(PageControl1->indexOf(TabSheet4), t.TabSheet4);
    Button1->setText(t.Button1);

    writeGridHeader();

    DBNavigator1->setHints(t.navigatorHints);

    btClearMessages->setText(t.btClearMessages);

    btCancelFetch->setText(t.cancelFetch);
    // After the text, which replaces the shortcut with its mnemonic.
    btCancelFetch->setShortcut(QKeySequence(Qt::Key_Escape));
    a11y::setHint(btCancelFetch, t.cancelFetchHint);
    showFetchStatus();

    StringGrid1->setToolTip(t.gridHint);

    if (m_aboutBox) {
        m_aboutBox->setWindowTitle(t.aboutCaption);
        const UiTexts &other = &t == &englishTexts() ? portugueseTexts() : englishTexts();
        if (m_aboutBox->versionLine)
            m_aboutBox->versionLine->setText(m_aboutBox->versionLine->text().replace(
                other.versionWord, t.versionWord, Qt::CaseInsensitive));
        if (m_aboutBox->legalText)
            m_aboutBox->legalText->setPlainText(t.legalNotice);
    }

    TextSaveAs = t.TextSaveAs;
    TextFileExists = t.TextFileExists;
    TextUndefined = t.TextUndefined;
    TextCompactConfirm = t.TextCompactConfirm;
    TextSendToExcel = t.TextSendToExcel;
    TextFileNotFound = t.TextFileNotFound;
    TextCannotRename = t.TextCannotRename;
    TextCannotDelete = t.TextCannotDelete;
    TextReporting = t.TextReporting;
    TextWait = t.TextWait;
    TextReady = t.TextReady;

    if (!ExcelAvailable)
        StringGrid1->setToolTip(QString());
}

void TMainView::writeGridHeader()
{
    const QStringList &header = uiTexts().gridHeader;
    for (int c = 0; c < 5; ++c) {
        auto *item = new QTableWidgetItem(header.value(c));
        // The header row is fixed: it is neither selected nor edited.
        item->setFlags(Qt::ItemIsEnabled);
        StringGrid1->setItem(0, c, item);
    }
    // The drawn header is row 0; the hidden header holds the same names for assistive
    // technology, which reads a table's column names from it.
    StringGrid1->setHorizontalHeaderLabels(header);
}

void TMainView::ResetStructureGrid()
{
    setWindowTitle(texts::applicationTitle());
    ProfileConnectionString.clear();
    if (!ADOConnection1->isOpen())
        ADOConnection1->setConnectionString(QString());
    Collapse1->setEnabled(false);
    ToolButton4->setEnabled(false);
    TreeView1->clear();
    StringGrid1->hide();
    RichEdit1->hide();
    SynEdit1->hide();
    DBGrid1->hide();
    StringGrid1->setRowCount(2);
    for (int c = 0; c < StringGrid1->columnCount(); ++c)
        delete StringGrid1->takeItem(1, c);
    StringGrid1->setColumnWidth(0, 20);
    StringGrid1->setColumnWidth(1, 150);
    StringGrid1->setColumnWidth(2, 80);
    StringGrid1->setColumnWidth(3, 40);
    writeGridHeader();
    RichEdit1->clear();
    SynEdit1->clear();
}

void TMainView::LogMessage(const QString &text)
{
    reMessages->appendPlainText(dateTimeToIso8601(QDateTime::currentDateTime()) + u'|' + text);
    // A long line would leave the view scrolled sideways, hiding the time stamps.
    reMessages->horizontalScrollBar()->setValue(0);
}

void TMainView::btClearMessagesClick()
{
    reMessages->clear();
}

void TMainView::reportError(const QString &text)
{
    prompt().beep();
    showMessagesPage();
    LogMessage(text);
}

void TMainView::showMessagesPage()
{
    PageControl1->setCurrentWidget(TabSheet3);
}

void TMainView::bringToFront()
{
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    if (QWidget *modal = QApplication::activeModalWidget()) {
        if (modal->isMinimized())
            modal->setWindowState(modal->windowState() & ~Qt::WindowMinimized);
        modal->raise();
        modal->activateWindow();
    }
}

void TMainView::setScreenLimits(int width, int height)
{
    ScreenWidthLimit = width;
    ScreenHeightLimit = height;
}

void TMainView::setStatusText(const QString &text)
{
    statusText->setText(text);
}

QString TMainView::statusTextValue() const
{
    return statusText->text();
}

void TMainView::activate()
{
    // Maximising may activate the window again; one run per activation.
    if (m_activating)
        return;
    m_activating = true;
    m_activatedOnce = true;
    guarded([this] { FormActivate(); });
    m_activating = false;
}

void TMainView::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        activate();
}

void TMainView::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // Without a window manager the window is never activated, yet the texts and command state
    // must be in place before the first command: the first showing counts as an activation.
    if (!m_activatedOnce) {
        QTimer::singleShot(0, this, [this] {
            if (!m_activatedOnce)
                activate();
        });
    }
}

void TMainView::closeEvent(QCloseEvent *event)
{
    // What was typed in the grid is posted before the window goes; when that fails the window
    // stays open with the edit on screen.
    bool posted = false;
    guarded([this, &posted] { posted = postPendingEdit(); });
    if (!posted) {
        event->ignore();
        return;
    }
    guarded([this] {
        endFetch(FetchRule::Cancel);
        FormClose();
    });
    QMainWindow::closeEvent(event);
}
