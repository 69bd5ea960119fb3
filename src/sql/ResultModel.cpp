#include "sql/ResultModel.h"

#include "sql/AdoQuery.h"

ResultModel::ResultModel(AdoQuery *query, QObject *parent)
    : QAbstractTableModel(parent), m_query(query)
{
    connect(query, &AdoQuery::opened, this, [this] {
        beginResetModel();
        endResetModel();
    });
    connect(query, &AdoQuery::closed, this, [this] {
        beginResetModel();
        endResetModel();
    });
}

int ResultModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !m_query->recordset())
        return 0;
    return int(m_query->recordset()->rowCount());
}

int ResultModel::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !m_query->recordset())
        return 0;
    return int(m_query->recordset()->fields().size());
}

QVariant ResultModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole || !m_query->recordset())
        return QVariant();
    return m_query->recordset()->value(index.row(), index.column());
}

QVariant ResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || !m_query->recordset())
        return QVariant();
    return m_query->recordset()->fields().value(section).name;
}
