// The main window's widgets: its frame, menus, tool bar, work area and status bar, and the
// signals that lead from them to the dispatcher. The commands themselves live in the MainView*.cpp
// file of their folder.
#include "shell/UMainView.h"

#include "editor/SqlEditor.h"
#include "query/RecordNavigator.h"
#include "query/ResultGrid.h"
#include "query/ResultModel.h"
#include "shell/Accessibility.h"
#include "shell/Guard.h"
#include "shell/ImageList.h"
#include "shell/texts/UiTexts.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
// An 8-pixel gap with an etched line between groups of tool buttons.
class ToolSeparator : public QWidget
{
public:
    explicit ToolSeparator(QWidget *parent) : QWidget(parent) { setFixedSize(8, 24); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        const int x = width() / 2 - 1;
        p.setPen(palette().color(QPalette::Mid));
        p.drawLine(x, 2, x, height() - 3);
        p.setPen(palette().color(QPalette::Light));
        p.drawLine(x + 1, 2, x + 1, height() - 3);
    }
};

// Draws the header row and the key-marker column of the structure grid as fixed cells.
class FixedCellDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (index.row() != 0 && index.column() != 0) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        const QWidget *widget = option.widget;
        QStyleOptionHeader header;
        header.rect = option.rect;
        header.palette = option.palette;
        header.fontMetrics = option.fontMetrics;
        header.state = QStyle::State_Enabled | QStyle::State_Raised;
        header.orientation = index.row() == 0 ? Qt::Horizontal : Qt::Vertical;
        header.position = QStyleOptionHeader::Middle;
        header.text = index.data(Qt::DisplayRole).toString();
        header.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
        QStyle *style = widget ? widget->style() : QApplication::style();
        painter->save();
        style->drawControl(QStyle::CE_HeaderSection, &header, painter, widget);
        painter->setPen(option.palette.color(QPalette::ButtonText));
        painter->drawText(option.rect.adjusted(3, 0, -2, 0),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, header.text);
        painter->restore();
    }
};

QFont requestedFont(const QString &family, int pointSize, QFont::StyleHint hint)
{
    QFont font(family, pointSize);
    font.setStyleHint(hint);
    return font;
}

QFont lucidaConsole(int pointSize)
{
    return requestedFont(QStringLiteral("Lucida Console"), pointSize, QFont::Monospace);
}
} // namespace

void TMainView::buildWindow()
{
    setWindowTitle(texts::applicationTitle());
    setWindowIcon(imagelist::applicationIcon());
    setFont(requestedFont(QStringLiteral("MS Sans Serif"), 8, QFont::SansSerif));
    setContextMenuPolicy(Qt::NoContextMenu);
    move(192, 114);
    resize(800, 572);
    buildMenus();
    buildToolBar();
    buildWorkArea();
    connectShellSignals();
}

void TMainView::buildMenus()
{
    using namespace imagelist;
    QMenuBar *bar = menuBar();
    auto item = [](QMenu *menu, const QString &text, int image = -1) {
        QAction *action = menu->addAction(text);
        if (image >= 0)
            action->setIcon(icon(image));
        return action;
    };
    QMenu *file = bar->addMenu(QStringLiteral("File"));
    File1 = file->menuAction();
    Connect1 = item(file, QStringLiteral("Connect"), Connect);
    Disconnect1 = item(file, QStringLiteral("Disconnect"), Disconnect);
    file->addSeparator();
    Load1 = item(file, QStringLiteral("Load"), Load);
    Save1 = item(file, QStringLiteral("Save"), Save);
    file->addSeparator();
    Exit1 = item(file, QStringLiteral("Exit"), Exit);
    // Edit has no list: the top-level item is the command itself.
    Edit1 = bar->addAction(QStringLiteral("Edit"));
    QMenu *view = bar->addMenu(QStringLiteral("View"));
    View1 = view->menuAction();
    Expand1 = item(view, QStringLiteral("Expand"), Expand);
    Collapse1 = item(view, QStringLiteral("Collapse"), Collapse);
    view->addSeparator();
    Refresh1 = item(view, QStringLiteral("Refresh"), Refresh);
    QMenu *tools = bar->addMenu(QStringLiteral("Tools"));
    Tools1 = tools->menuAction();
    mRun = item(tools, QStringLiteral("Run"), Run);
    mStats = item(tools, QStringLiteral("Stats"), Statistics);
    mReport = item(tools, QStringLiteral("Report"), Report);
    mExport = item(tools, QStringLiteral(u"Export data…"));
    tools->addSeparator();
    mCompact = item(tools, QStringLiteral("Compact"), Compact);
    QMenu *window = bar->addMenu(QStringLiteral("Window"));
    Window1 = window->menuAction();
    Structure1 = item(window, QStringLiteral("Structure"));
    SQL1 = item(window, QStringLiteral("SQL"));
    Messages1 = item(window, QStringLiteral("Messages"));
    QMenu *language = bar->addMenu(QStringLiteral("Language"));
    Language1 = language->menuAction();
    En_US = item(language, texts::englishLanguageItem());
    Pt_BR = item(language, texts::portugueseLanguageItem());
    QMenu *help = bar->addMenu(QStringLiteral("Help"));
    Help1 = help->menuAction();
    Pelmora1 = item(help, texts::makerItem(), WebSite);
    Pelmora1->setToolTip(texts::makerHost());
    help->setToolTipsVisible(true);
    help->addSeparator();
    About1 = item(help, QStringLiteral("About..."), imagelist::About);
    for (QAction *checked : {Structure1, SQL1, Messages1, En_US, Pt_BR})
        checked->setCheckable(true);
}

void TMainView::buildToolBar()
{
    ToolBar1 = new QToolBar(QStringLiteral("ToolBar1"), this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    ToolBar1->toggleViewAction()->setVisible(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setFixedHeight(29);
    ToolBar1->setContentsMargins(0, 0, 0, 0);
    ToolBar1->layout()->setSpacing(0);
    addToolBar(Qt::TopToolBarArea, ToolBar1);
    auto add = [this](QToolButton *&button, int image) {
        button = new QToolButton(ToolBar1);
        button->setIcon(imagelist::icon(image));
        button->setIconSize(QSize(16, 16));
        button->setFixedSize(25, 24);
        button->setAutoRaise(true);
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        button->setFocusPolicy(Qt::NoFocus);
        ToolBar1->addWidget(button);
    };
    auto separator = [this] { return ToolBar1->addWidget(new ToolSeparator(ToolBar1)); };
    add(ToolButton1, imagelist::Connect);
    add(ToolButton2, imagelist::Disconnect);
    ToolSeparator1 = separator();
    add(ToolButton3, imagelist::Expand);
    add(ToolButton4, imagelist::Collapse);
    add(ToolButton5, imagelist::Refresh);
    ToolSeparator2 = separator();
    add(btLoad, imagelist::Load);
    add(btSave, imagelist::Save);
    add(btRun, imagelist::Run);
    add(btStats, imagelist::Statistics);
    add(btReport, imagelist::Report);
    ToolButton6 = separator();
    add(btAbout, imagelist::About);
}

void TMainView::buildWorkArea()
{
    Panel1 = new QWidget;
    Panel1->setFixedWidth(185);
    auto *treeLayout = new QVBoxLayout(Panel1);
    treeLayout->setContentsMargins(0, 0, 0, 0);
    TreeView1 = new QTreeWidget(Panel1);
    TreeView1->setColumnCount(1);
    TreeView1->setHeaderHidden(true);
    TreeView1->setIndentation(19);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    TreeView1->setAllColumnsShowFocus(true);
    treeLayout->addWidget(TreeView1);

    PageControl1 = new QTabWidget;
    TabSheet1 = new QWidget;
    TabSheet2 = new QWidget;
    TabSheet3 = new QWidget;
    TabSheet4 = new QWidget;
    PageControl1->addTab(TabSheet1, QStringLiteral("Structure"));
    PageControl1->addTab(TabSheet2, QStringLiteral("SQL"));
    PageControl1->addTab(TabSheet3, QStringLiteral("Messages"));
    PageControl1->addTab(TabSheet4, QStringLiteral("Report"));

    auto *structure = new QVBoxLayout(TabSheet1);
    structure->setContentsMargins(0, 0, 0, 0);
    Panel2 = new QWidget;
    auto *gridLayout = new QVBoxLayout(Panel2);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    StringGrid1 = new QTableWidget(2, 5, Panel2);
    StringGrid1->horizontalHeader()->hide();
    StringGrid1->verticalHeader()->hide();
    StringGrid1->horizontalHeader()->setMinimumSectionSize(0);
    StringGrid1->horizontalHeader()->setDefaultSectionSize(64);
    StringGrid1->verticalHeader()->setMinimumSectionSize(0);
    StringGrid1->verticalHeader()->setDefaultSectionSize(18);
    StringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    StringGrid1->setShowGrid(true);
    StringGrid1->setWordWrap(false);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    StringGrid1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setItemDelegate(new FixedCellDelegate(StringGrid1));
    gridLayout->addWidget(StringGrid1);
    structure->addWidget(Panel2);

    auto *sql = new QVBoxLayout(TabSheet2);
    sql->setContentsMargins(0, 0, 0, 0);
    sql->setSpacing(0);
    RichEdit1 = new QPlainTextEdit;
    RichEdit1->setFont(lucidaConsole(9));
    RichEdit1->setFixedHeight(89);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichEdit1->hide();
    SynEdit1 = new SqlEditor;
    SynEdit1->setFixedHeight(150);
    DBGrid1 = new ResultGrid;
    DataSource1 = new ResultModel(ADOQuery1.get(), this);
    DBGrid1->setModel(DataSource1);
    DBNavigator1 = new RecordNavigator;
    DBNavigator1->setFixedHeight(25);
    sql->addWidget(RichEdit1);
    sql->addWidget(SynEdit1);
    sql->addWidget(DBGrid1, 1);
    // Keeps the navigator at the bottom while the grid is hidden.
    sql->addStretch(0);
    sql->addWidget(DBNavigator1);

    auto *messages = new QVBoxLayout(TabSheet3);
    messages->setContentsMargins(0, 0, 0, 0);
    messages->setSpacing(0);
    reMessages = new QPlainTextEdit;
    reMessages->setReadOnly(true);
    reMessages->setFont(lucidaConsole(8));
    reMessages->setLineWrapMode(QPlainTextEdit::NoWrap);
    reMessages->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    reMessages->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Panel3 = new QWidget;
    Panel3->setFixedHeight(36);
    btClearMessages = new QPushButton(QStringLiteral("Clear"), Panel3);
    btClearMessages->setGeometry(10, 5, 75, 25);
    messages->addWidget(reMessages, 1);
    messages->addWidget(Panel3);

    auto *report = new QVBoxLayout(TabSheet4);
    report->setContentsMargins(0, 0, 0, 0);
    report->setSpacing(0);
    WebBrowser1 = new QTextBrowser;
    WebBrowser1->setOpenExternalLinks(false);
    Panel4 = new QWidget;
    Panel4->setFixedHeight(36);
    Button1 = new QPushButton(QStringLiteral("Print"), Panel4);
    Button1->setGeometry(10, 5, 75, 25);
    report->addWidget(WebBrowser1, 1);
    report->addWidget(Panel4);

    auto *central = new QWidget;
    auto *row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    row->addWidget(Panel1);
    row->addWidget(PageControl1, 1);
    setCentralWidget(central);

    StatusBar1 = statusBar();
    StatusBar1->setFixedHeight(19);
    statusText = new QLabel;
    StatusBar1->addWidget(statusText);
    btCancelFetch = new QToolButton;
    btCancelFetch->setAutoRaise(true);
    btCancelFetch->setToolButtonStyle(Qt::ToolButtonTextOnly);
    btCancelFetch->setFixedHeight(17);
    btCancelFetch->hide();
    StatusBar1->addWidget(btCancelFetch);
    StatusBar1->addWidget(new QWidget, 1);
}

void TMainView::connectShellSignals()
{
    for (QAction *action : {Connect1,  Disconnect1, Load1, Save1,  Exit1,    Edit1,    Expand1,
                            Collapse1, Refresh1,    mRun,  mStats, mReport,  mCompact, Structure1,
                            SQL1,      Messages1,   En_US, Pt_BR,  Pelmora1, About1,   mExport}) {
        connect(action, &QAction::triggered, this,
                [this, action] { guarded([this, action] { AnyClick(action); }); });
    }
    for (QToolButton *button : {ToolButton1, ToolButton2, ToolButton3, ToolButton4, ToolButton5, btLoad,
                                btSave, btRun, btStats, btReport, btAbout}) {
        connect(button, &QToolButton::clicked, this,
                [this, button] { guarded([this, button] { AnyClick(button); }); });
    }
    connect(TreeView1, &QTreeWidget::itemDoubleClicked, this,
            [this] { guarded([this] { TreeView1DblClick(); }); });
    connect(SynEdit1, &QsciScintilla::textChanged, this, [this] { guarded([this] { SynEdit1Change(); }); });
    connect(btClearMessages, &QPushButton::clicked, this,
            [this] { guarded([this] { btClearMessagesClick(); }); });
}
