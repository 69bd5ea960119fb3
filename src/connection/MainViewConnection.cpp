// TMainView operations of the connection subsystem: opening, the after-connect analysis,
// the catalogue tree, the disconnect handling and the profile files.
#include "shell/UMainView.h"

#include "common/ErrorText.h"
#include "connection/CatalogueReader.h"
#include "connection/DialectAnalysis.h"
#include "connection/PasswordMask.h"
#include "connection/ProfileFile.h"
#include "connection/WorkRunnerDialog.h"
#include "editor/SqlEditor.h"
#include "query/Query.h"
#include "query/ResultGrid.h"
#include "shell/Guard.h"
#include "shell/MessageDialog.h"
#include "shell/Prompt.h"
#include "shell/texts/UiTexts.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QHash>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeWidget>

namespace {

const QString kProfileSection = QStringLiteral("DB");
const QString kProfileKey = QStringLiteral("ConnString");

SqlHighlightDialect editorDialect(HighlightChoice choice)
{
    switch (choice) {
    case HighlightChoice::Standard:
        break;
    case HighlightChoice::SqlServer7:
        return SqlHighlightDialect::MSSQL7;
    case HighlightChoice::SqlServer2000:
        return SqlHighlightDialect::MSSQL2K;
    case HighlightChoice::MySql:
        return SqlHighlightDialect::MySQL;
    case HighlightChoice::PostgreSql:
        return SqlHighlightDialect::Postgres;
    case HighlightChoice::Sqlite:
        return SqlHighlightDialect::Sqlite;
    }
    return SqlHighlightDialect::Standard;
}

// The name with its extension, if any, replaced by ".ovs"; only a dot in the file's own name
// starts an extension.
QString withOvsExtension(const QString &fileName)
{
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > slash ? fileName.left(dot) : fileName;
    return stem + QLatin1String(".ovs");
}

int treeLevel(const QTreeWidgetItem *node)
{
    int level = 0;
    for (const QTreeWidgetItem *p = node->parent(); p; p = p->parent())
        ++level;
    return level;
}

} // namespace

void TMainView::initConnectionPart()
{
    ADOConnection1->setAfterConnect([this] { ADOConnection1AfterConnect(); });
    ADOConnection1->setAfterDisconnect([this] { ADOConnection1AfterDisconnect(); });
    ADOConnection1->setWorkRunner(makeDialogWorkRunner(this, ADOConnection1->rowsFetchedCounter()));
    connect(TreeView1, &QTreeWidget::itemClicked, this, [this] {
        guarded([this] {
            endFetch(FetchRule::Wait);
            TreeView1Click();
        });
    });
    connect(TreeView1, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem *node) { guarded([this, node] { TreeView1Expanded(node); }); });
}

void TMainView::OpenConnection()
{
    const QString pending = ProfileConnectionString;
    if (ADOConnection1->isOpen()) {
        // The disconnect handling empties the pending string; it is still the one to apply.
        ADOConnection1->close();
        ProfileConnectionString = pending;
    }
    ADOConnection1->setConnectionString(QString());
    if (!pending.isEmpty())
        ADOConnection1->setConnectionString(pending);
    else
        ADOConnection1->setConnectionString(
            prompt().dataLinkDialog(this, ADOConnection1->connectionString()));
    try {
        ADOConnection1->open();
    } catch (const std::exception &e) {
        reportError(errorText(e));
    }
}

void TMainView::EditConnection()
{
    const QString edited = prompt().dataLinkDialog(this, ADOConnection1->connectionString());
    ProfileConnectionString = edited;
    if (!edited.isEmpty() && edited != ADOConnection1->connectionString())
        OpenConnection();
}

void TMainView::ADOConnection1AfterConnect()
{
    PageControl1->setTabVisible(PageControl1->indexOf(TabSheet4), false);
    WebBrowser1->clear();
    Button1->setEnabled(false);

    const QString reported = ADOConnection1->connectionString();
    const DialectFacts facts = DialectAnalysis::analyse(reported, ProfileConnectionString,
                                                        ADOConnection1->defaultDatabase(), DatabaseFileName);
    IsAccess = facts.isAccess;
    IsSqlServer = facts.isSqlServer;
    IsMySql = facts.isMySql;
    IsPostgreSql = facts.isPostgreSql;
    IsSqlite = facts.isSqlite;
    DatabaseName = facts.databaseName;
    DatabaseFileName = facts.databaseFileName;

    ServerVersion.clear();
    if (ADOQuery1->isOpen())
        ADOQuery1->close();
    ADOQuery1->setSql(QString());

    bool answered = false;
    QString answer;
    if (!facts.versionQuery.isEmpty()) {
        ADOQuery1->setSql(facts.versionQuery);
        ADOQuery1->open();
        if (ADOQuery1->isOpen()) {
            answered = true;
            answer = ADOQuery1->firstRowText(QStringLiteral("VER"));
            ADOQuery1->close();
        }
    }
    ServerVersion = DialectAnalysis::answeredVersion(facts, answered, answer);

    if (!ServerVersion.isEmpty()) {
        const VersionText version = DialectAnalysis::cleanVersion(ServerVersion, facts);
        LogMessage(version.logged);
        ServerVersion = version.serverVersion;
    }

    setWindowTitle(DialectAnalysis::caption(texts::applicationTitle(), facts.location, ServerVersion));
    FillTree();
    UpdateCommands();

    if (ADOConnection1->isOpen()) {
        RichEdit1->hide();
        SynEdit1->show();
        SynEdit1->setDialect(editorDialect(facts.highlight));
        DBGrid1->show();
        reMessages->show();
    }
}

void TMainView::ADOConnection1AfterDisconnect()
{
    // A session lost under the open connection stays pending, so Connect opens it again.
    const QString lost = ADOConnection1->connectionLost() ? ADOConnection1->connectionString() : QString();
    ResetStructureGrid();
    if (!lost.isEmpty())
        ProfileConnectionString = lost;
    UpdateCommands();
}

void TMainView::FillTree()
{
    TreeView1->clear();
    auto *root = new QTreeWidgetItem(TreeView1, QStringList{DatabaseName});
    Catalogue catalogue;
    try {
        catalogue = CatalogueReader(*ADOConnection1).read(CatalogueReader::Detail::Columns);
    } catch (const std::exception &e) {
        // A fill the user cancelled leaves the root alone, and the connection ready for use.
        if (!ADOConnection1->cancelRequested())
            throw;
        LogMessage(errorText(e));
    }

    // The nodes are built apart and added at once: one insertion for the tree to handle.
    const QFontMetrics metrics(font());
    QHash<QString, int> widths; // column names repeat from table to table
    int widest = 0;
    QList<QTreeWidgetItem *> tables;
    tables.reserve(catalogue.objects.size());
    for (const CatalogueObject &object : std::as_const(catalogue.objects)) {
        auto *node = new QTreeWidgetItem(QStringList{object.table.name});
        // The text stays the bare name; the schema travels with the node for the describe.
        node->setData(0, Qt::UserRole, object.table.schema);
        QList<QTreeWidgetItem *> columns;
        columns.reserve(object.columns.size());
        for (const ColumnInfo &column : object.columns) {
            columns.append(new QTreeWidgetItem(QStringList{column.name}));
            auto width = widths.constFind(column.name);
            if (width == widths.constEnd())
                width = widths.insert(column.name, metrics.horizontalAdvance(column.name) + 4);
            widest = std::max(widest, *width);
        }
        node->addChildren(columns);
        tables.append(node);
        // A table or view that cannot be read stays listed; what went wrong is logged.
        for (const QString &text : object.errors)
            LogMessage(text);
    }
    root->addChildren(tables);
    if (catalogue.cancelled)
        LogMessage(CatalogueReader::cancelledText());
    root->setExpanded(true);
    Panel1->setFixedWidth(CatalogueReader::panelWidth(widest));
}

void TMainView::TreeView1Click()
{
    QTreeWidgetItem *node = TreeView1->currentItem();
    if (node && node->isSelected() && treeLevel(node) == 1) {
        // Row 0 is the header row.
        for (int r = 1; r < StringGrid1->rowCount(); ++r) {
            for (int c = 0; c < StringGrid1->columnCount(); ++c) {
                if (QTableWidgetItem *item = StringGrid1->item(r, c))
                    item->setText(QString());
            }
        }
        DescribeTable(TreeView1, node->text(0), node->data(0, Qt::UserRole).toString());
    }
    StringGrid1->show();
}

void TMainView::TreeView1Expanded(QTreeWidgetItem *)
{
    Collapse1->setEnabled(true);
    ToolButton4->setEnabled(true);
}

void TMainView::LoadProfile(const QString &fileName)
{
    if (ADOConnection1->isOpen())
        ADOConnection1->close();
    UpdateCommands();
    ProfileFileName = fileName;
    ProfileConnectionString = ProfileFile::readString(ProfileFileName, kProfileSection, kProfileKey);
    LogMessage(btLoad->toolTip() + QLatin1Char(' ') + ProfileFileName);
    LogMessage(QStringLiteral("ConnString:") + maskPasswords(ProfileConnectionString));
    OpenConnection();
}

void TMainView::SaveProfile(const QString &fileName)
{
    const QString target = withOvsExtension(fileName);
    const QString shown = QFileInfo(target).fileName();
    const bool overwrite = target != ProfileFileName && QFileInfo::exists(target);
    const QString question = withFileName(overwrite ? TextFileExists : TextSaveAs, shown);
    if (showMessageDialog(question, mtConfirmation, mbYes | mbNo, 0, this) != mrYes)
        return;
    ProfileFileName = target;
    ProfileConnectionString = ADOConnection1->connectionString();
    ProfileFile::writeString(ProfileFileName, kProfileSection, kProfileKey, ProfileConnectionString);
    LogMessage(btSave->toolTip() + QLatin1Char(' ') + ProfileFileName);
}
