#include "query/GridColumnFit.h"

#include "query/Query.h"
#include "query/ResultGrid.h"
#include "query/ResultModel.h"

#include <QHeaderView>
#include <QScrollBar>

void fitColumnWidths(QList<int> &widths, const QList<int> &tags, int clientWidth, bool colLines,
                     bool indicator)
{
    int used = 2;
    int tagged = 0;
    for (int i = 0; i < widths.size(); ++i) {
        used += widths[i];
        if (tags.value(i) != 0)
            ++tagged;
    }
    if (colLines)
        used += int(widths.size());
    if (indicator)
        used += ResultGrid::indicatorWidth;
    int spare = clientWidth - used;
    if (tagged > 0)
        spare /= tagged; // truncates toward zero, also when negative
    for (int i = 0; i < widths.size(); ++i) {
        const int tag = tags.value(i);
        if (tag == 0)
            continue;
        widths[i] += spare;
        if (widths[i] < tag)
            widths[i] = tag;
    }
}

int gridClientWidth(const QTableView *grid)
{
    int width = grid->contentsRect().width();
    const QScrollBar *bar = grid->verticalScrollBar();
    if (bar && bar->isVisibleTo(grid))
        width -= bar->sizeHint().width();
    return width;
}

void fitGridColumns(ResultGrid *grid)
{
    if (!grid || !grid->resultModel())
        return;
    const Query *query = grid->resultModel()->query();
    const int count = grid->resultModel()->columnCount();
    QList<int> widths;
    QList<int> tags;
    for (int i = 0; i < count; ++i) {
        widths.append(grid->columnWidth(i));
        tags.append(query->tag(i));
    }
    fitColumnWidths(widths, tags, gridClientWidth(grid), grid->showGrid(),
                    !grid->verticalHeader()->isHidden());
    for (int i = 0; i < count; ++i) {
        if (tags[i] != 0)
            grid->setColumnWidth(i, widths[i]);
    }
}
