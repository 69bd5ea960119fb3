#pragma once

#include <QAbstractTableModel>

class AdoQuery;

// DataSource1: the table model the result grid and the navigator show, over AdoQuery's rows.
class ResultModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit ResultModel(AdoQuery *query, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    AdoQuery *query() const { return m_query; }

private:
    AdoQuery *m_query;
};
