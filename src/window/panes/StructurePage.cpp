#include "window/panes/StructurePage.h"

#include "query/TableDescription.h"
#include "shell/Accessibility.h"

#include <QApplication>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr int ColumnCount = 5;

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

} // namespace

StructurePage::StructurePage(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_grid = new QTableWidget(2, ColumnCount, this);
    m_grid->setObjectName(QStringLiteral("structureGrid"));
    m_grid->horizontalHeader()->hide();
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setMinimumSectionSize(0);
    m_grid->horizontalHeader()->setDefaultSectionSize(64);
    m_grid->verticalHeader()->setMinimumSectionSize(0);
    m_grid->verticalHeader()->setDefaultSectionSize(18);
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->setShowGrid(true);
    m_grid->setWordWrap(false);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setItemDelegate(new FixedCellDelegate(m_grid));
    // The grid is read-only: Tab leaves it instead of walking its cells.
    m_grid->setTabKeyNavigation(false);
    layout->addWidget(m_grid);
    setFocusProxy(m_grid);

    connect(m_grid, &QTableWidget::cellDoubleClicked, this, &StructurePage::activated);
    a11y::onKeys(m_grid, {Qt::Key_Return, Qt::Key_Enter}, [this] {
        emit activated();
        return true;
    });
}

void StructurePage::reset(const QStringList &header)
{
    m_grid->hide();
    m_grid->setRowCount(2);
    for (int c = 0; c < m_grid->columnCount(); ++c)
        delete m_grid->takeItem(1, c);
    m_grid->setColumnWidth(0, 20);
    m_grid->setColumnWidth(1, 150);
    m_grid->setColumnWidth(2, 80);
    m_grid->setColumnWidth(3, 40);
    writeHeader(header);
}

void StructurePage::writeHeader(const QStringList &header)
{
    for (int c = 0; c < ColumnCount; ++c) {
        auto *item = new QTableWidgetItem(header.value(c));
        // The header row is fixed: it is neither selected nor edited.
        item->setFlags(Qt::ItemIsEnabled);
        m_grid->setItem(0, c, item);
    }
    // The drawn header is row 0; the hidden header holds the same names for assistive
    // technology, which reads a table's column names from it.
    m_grid->setHorizontalHeaderLabels(header);
}

void StructurePage::showGrid()
{
    m_grid->show();
}

void StructurePage::blankRows()
{
    for (int r = 1; r < m_grid->rowCount(); ++r) {
        for (int c = 0; c < m_grid->columnCount(); ++c) {
            if (QTableWidgetItem *item = m_grid->item(r, c))
                item->setText(QString());
        }
    }
}

void StructurePage::showNoRows()
{
    m_grid->setRowCount(1);
}

void StructurePage::showRows(const QList<StructureRow> &rows)
{
    const QFontMetrics metrics(font());
    int nameWidth = 150;
    m_grid->setRowCount(int(rows.size()) + 1);
    for (int i = 0; i < rows.size(); ++i) {
        const StructureRow &row = rows[i];
        const QString cells[] = {row.key, row.name, row.type, row.size, row.null};
        for (int c = 0; c < ColumnCount; ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            m_grid->setItem(i + 1, c, item);
        }
        nameWidth = std::max(nameWidth, metrics.horizontalAdvance(row.name) + 4);
    }
    m_grid->setColumnWidth(1, nameWidth);
}

QList<QStringList> StructurePage::rows() const
{
    QList<QStringList> rows;
    for (int r = 0; r < m_grid->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < m_grid->columnCount(); ++c) {
            const QTableWidgetItem *item = m_grid->item(r, c);
            row.append(item ? item->text() : QString());
        }
        rows.append(row);
    }
    return rows;
}

QList<QWidget *> StructurePage::focusOrder() const
{
    return {m_grid};
}

void StructurePage::setHint(const QString &hint)
{
    m_grid->setToolTip(hint);
}
