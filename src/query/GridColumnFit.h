#pragma once

#include <QList>

class QTableView;
class ResultGrid;

// Spreads the grid's spare width over the columns whose field has a Tag: each takes an equal
// share (which may be negative) and never drops below its Tag; other columns keep their width.
void fitGridColumns(ResultGrid *grid);

// The same on plain numbers. widths and tags are per column; clientWidth is the grid's width
// inside its frame and scroll bar; colLines and indicator say whether the grid draws column
// lines and the indicator column.
void fitColumnWidths(QList<int> &widths, const QList<int> &tags, int clientWidth, bool colLines,
                     bool indicator);

// The grid's client width: inside the frame, without a vertical scroll bar in view.
int gridClientWidth(const QTableView *grid);
