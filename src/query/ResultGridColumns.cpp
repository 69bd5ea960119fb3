// The result grid's column widths: fitted to the titles and the first rows, grown with the values
// scrolled past, fitted on request.
#include "query/ResultGrid.h"

#include "connection/WorkRunnerDialog.h"
#include "db/SqlDialectRules.h"
#include "query/BlobViewer.h"
#include "query/CellFinder.h"
#include "query/CellValues.h"
#include "query/DeleteRecord.h"
#include "query/GridFindBar.h"
#include "query/LocalWork.h"
#include "query/Query.h"
#include "query/ResultHeader.h"
#include "query/ResultModel.h"
#include "query/ResultShaper.h"
#include "query/RowEditor.h"
#include "shell/Guard.h"
#include "shell/Language.h"
#include "shell/Prompt.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QToolTip>

int ResultGrid::cellWidth(const QString &text) const
{
    return fontMetrics().horizontalAdvance(text.left(200)) + 10;
}

int ResultGrid::titleWidth(int column) const
{
    const QFontMetrics header(horizontalHeader()->font());
    return header.horizontalAdvance(m_model->headerData(column, Qt::Horizontal).toString()) + 14 +
           m_header->marksWidth(column);
}

void ResultGrid::fitShapedColumns()
{
    // A sorted or filtered column shows its marks beside its title, and its filter whole.
    for (int c = 0; c < m_model->columnCount(); ++c) {
        int wanted = m_header->marksWidth(c) > 0 ? titleWidth(c) : 0;
        const QLineEdit *box = m_header->filterBox(c);
        if (m_header->isFilterRowVisible() && box && !box->text().isEmpty())
            wanted = qMax(wanted, box->fontMetrics().horizontalAdvance(box->text()) + 40);
        if (columnWidth(c) < wanted)
            setWidth(c, qMin(wanted, maxGrownColumnWidth));
    }
}

void ResultGrid::showFirstRows()
{
    // The rows as now ordered, from the top.
    if (m_model->rowCount() > 0) {
        const int column = currentIndex().isValid() ? currentIndex().column() : 0;
        setCurrentIndex(m_model->index(0, column));
    }
    scrollToTop();
}

void ResultGrid::sizeColumnsToData()
{
    if (!m_model)
        return;
    // The same columns again (a sort, a filter, Refresh): the widths stay as they are.
    QStringList fields;
    for (int c = 0; c < m_model->columnCount(); ++c)
        fields.append(m_model->headerData(c, Qt::Horizontal).toString());
    m_header->applyLanguage();
    if (fields == m_sizedFields && !fields.isEmpty()) {
        m_growTimer.start();
        return;
    }
    m_sizedFields = fields;
    m_widths.reset(m_model->columnCount());
    const int rows = qMin(m_model->rowCount(), sizingRows);
    for (int c = 0; c < m_model->columnCount(); ++c) {
        int width = titleWidth(c);
        for (int r = 0; r < rows; ++r) {
            const int w = cellWidth(m_model->data(m_model->index(r, c)).toString());
            m_widths.see(c, w);
            width = qMax(width, w);
        }
        setWidth(c, qMin(width, maxInitialColumnWidth));
    }
}

void ResultGrid::setWidth(int column, int width)
{
    m_sizing = true;
    setColumnWidth(column, width);
    m_sizing = false;
}

void ResultGrid::measureVisibleRows() const
{
    if (!m_model || m_model->rowCount() == 0)
        return;
    const int first = qMax(0, rowAt(0));
    int last = rowAt(viewport()->height() - 1);
    if (last < 0)
        last = m_model->rowCount() - 1;
    int left = columnAt(0);
    int right = columnAt(viewport()->width() - 1);
    if (left < 0)
        left = 0;
    if (right < 0)
        right = m_model->columnCount() - 1;
    for (int c = left; c <= right; ++c) {
        for (int r = first; r <= last; ++r)
            m_widths.see(c, cellWidth(m_model->data(m_model->index(r, c)).toString()));
    }
}

void ResultGrid::growColumns()
{
    if (!m_model || m_widths.columnCount() != m_model->columnCount())
        return;
    measureVisibleRows();
    for (int c = 0; c < m_model->columnCount(); ++c) {
        const int width = m_widths.grown(c, columnWidth(c), maxGrownColumnWidth);
        if (width > columnWidth(c))
            setWidth(c, width);
    }
}

int ResultGrid::sizeHintForColumn(int column) const
{
    if (!m_model)
        return QTableView::sizeHintForColumn(column);
    measureVisibleRows();
    return qMin(m_widths.widest(column), maxFitColumnWidth);
}

void ResultGrid::fitColumn(int column)
{
    if (!m_model || column < 0 || column >= m_model->columnCount())
        return;
    measureVisibleRows();
    m_widths.setManual(column, false);
    setWidth(column, qMin(qMax(titleWidth(column), m_widths.widest(column)), maxFitColumnWidth));
}

void ResultGrid::fitAllColumns()
{
    if (!m_model)
        return;
    for (int c = 0; c < m_model->columnCount(); ++c)
        fitColumn(c);
}
