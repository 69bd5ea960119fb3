#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QPalette>

class Query;
class RowEditor;

// The result model: the table model the result grid and the navigator show, over Query's rows.
// Cells are decoded only when shown, so a million rows cost nothing at reset. The pending
// edit or insert of the record editor shows through it. Rows that arrive after the result has
// opened are inserted in batches as the query announces them.
class ResultModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit ResultModel(Query *query, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Writes into the pending edit of the record (starting one); the record is posted later.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    // Whether the cell's whole value can be edited in the one-line cell editor; text of several
    // lines, or too long to show whole, goes to the memo editor so it is never cut or flattened.
    bool fitsCellEditor(qint64 row, int column) const;

    Query *query() const { return m_query; }
    RowEditor *editor() const { return m_editor; }

    // Text longer than this is cut for display; the edit role keeps the whole value.
    static constexpr int displayLength = 1000;
    static QColor lightRowColor() { return QColor(245, 245, 245); }
    // The shade of even records in a palette: the light grey on a light palette; on a dark one
    // a step from the base toward the text, so that the rows stay apart and the text readable.
    static QColor rowShade(const QPalette &palette);
    // The dimmed text of NULL cells, readable on both row backgrounds of the palette.
    static QColor nullTextColor(const QPalette &palette);
    static QString nullText() { return QStringLiteral("(null)"); }
    static QString blobText(qsizetype bytes);
    // The markers of the indicator column for the current record.
    static QString currentMarker() { return QStringLiteral("\u25B6"); }
    static QString insertMarker() { return QStringLiteral("*"); }
    static QString editMarker() { return QStringLiteral("I"); }

private:
    QString displayText(qint64 row, int column) const;
    bool isNull(qint64 row, int column) const;
    void markerMoved();

    Query *m_query;
    RowEditor *m_editor;
    int m_markerRow = -1;
};
