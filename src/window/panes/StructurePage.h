#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>

class QTableWidget;
struct StructureRow;

// The Structure page: the structure grid of one table. Row 0 is the header row and column 0 the
// key marks, both drawn as fixed cells; rows 1..N describe the columns. A double-click, or Return,
// asks to send the grid to the spreadsheet.
class StructurePage : public QWidget
{
    Q_OBJECT

public:
    explicit StructurePage(QWidget *parent = nullptr);

    // The grid without a table: hidden, its header row and one empty row, the first widths.
    void reset(const QStringList &header);
    void writeHeader(const QStringList &header);
    void showGrid();
    // Empties the cells of the rows below the header.
    void blankRows();
    // Only the header: the object could not be read.
    void showNoRows();
    // One row per column, the name column as wide as the longest name needs.
    void showRows(const QList<StructureRow> &rows);
    // Every row, the header first, as the grid shows them.
    QList<QStringList> rows() const;
    void setHint(const QString &hint);
    QList<QWidget *> focusOrder() const;

signals:
    void activated();

private:
    QTableWidget *m_grid = nullptr;
};
