#include "window/panes/CataloguePane.h"

#include "connection/CatalogueReader.h"
#include "shell/Accessibility.h"

#include <QFontMetrics>
#include <QHash>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

int treeLevel(const QTreeWidgetItem *node)
{
    int level = 0;
    for (const QTreeWidgetItem *p = node->parent(); p; p = p->parent())
        ++level;
    return level;
}

} // namespace

CataloguePane::CataloguePane(QWidget *parent) : QWidget(parent)
{
    setFixedWidth(185);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("catalogueTree"));
    m_tree->setColumnCount(1);
    m_tree->setHeaderHidden(true);
    m_tree->setIndentation(19);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tree->setAllColumnsShowFocus(true);
    layout->addWidget(m_tree);
    setFocusProxy(m_tree);

    connect(m_tree, &QTreeWidget::itemClicked, this, &CataloguePane::clicked);
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this, &CataloguePane::activated);
    connect(m_tree, &QTreeWidget::itemExpanded, this, &CataloguePane::expanded);
    // The keyboard does what the mouse does, through the same signals.
    a11y::onKeys(m_tree, {Qt::Key_Space}, [this] {
        emit clicked();
        return true;
    });
    a11y::onKeys(m_tree, {Qt::Key_Return, Qt::Key_Enter}, [this] {
        emit activated();
        return true;
    });
}

void CataloguePane::clear()
{
    m_tree->clear();
}

void CataloguePane::setRoot(const QString &databaseName)
{
    m_tree->clear();
    new QTreeWidgetItem(m_tree, QStringList{databaseName});
}

void CataloguePane::addObjects(const Catalogue &catalogue)
{
    QTreeWidgetItem *root = m_tree->topLevelItem(0);
    if (!root)
        return;
    // The nodes are built apart and added at once: one insertion for the tree to handle.
    const QFontMetrics metrics(font());
    QHash<QString, int> widths; // column names repeat from table to table
    int widest = 0;
    QList<QTreeWidgetItem *> tables;
    tables.reserve(catalogue.objects.size());
    for (const CatalogueObject &object : catalogue.objects) {
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
    }
    root->addChildren(tables);
    root->setExpanded(true);
    setFixedWidth(CatalogueReader::panelWidth(widest));
}

bool CataloguePane::hasNodes() const
{
    return m_tree->topLevelItemCount() > 0;
}

void CataloguePane::expandAll()
{
    m_tree->expandAll();
}

void CataloguePane::collapseAll()
{
    m_tree->collapseAll();
}

QList<QWidget *> CataloguePane::focusOrder() const
{
    return {m_tree};
}

std::optional<CataloguePane::Table> CataloguePane::selectedTable() const
{
    const QTreeWidgetItem *node = m_tree->currentItem();
    if (!node || !node->isSelected() || treeLevel(node) != 1)
        return std::nullopt;
    return Table{node->data(0, Qt::UserRole).toString(), node->text(0)};
}
