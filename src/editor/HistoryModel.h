#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QStringList>

class QueryHistory;
struct WorkbenchTexts;

// The history as a table, newest first, narrowed to the entries whose statement or connection
// holds the filter text: time, connection, duration, rows, result, the statement's first line.
class HistoryModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Time, Connection, Duration, Rows, Result, Statement, ColumnCount };

    explicit HistoryModel(const QueryHistory *history, QObject *parent = nullptr);

    // Reads the history again (after a run, a deletion).
    void reload();
    void setFilter(const QString &text);
    void setTexts(const WorkbenchTexts &texts);

    // The entry a row shows, as an index into the history's entries.
    int entryIndex(int row) const { return m_rows.value(row, -1); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    const QueryHistory *m_history;
    QString m_filter;
    QList<int> m_rows;
    QStringList m_header;
    QString m_succeeded;
    QString m_failed;
};
