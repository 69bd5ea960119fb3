#include "editor/HistoryModel.h"

#include "editor/QueryHistory.h"
#include "shell/texts/WorkbenchTexts.h"

#include <QLocale>

namespace {

QString duration(qint64 ms)
{
    if (ms < 1000)
        return QStringLiteral("%1 ms").arg(ms);
    return QStringLiteral("%1 s").arg(QLocale().toString(double(ms) / 1000.0, 'f', 1));
}

QString firstLine(const QString &sql)
{
    const QString trimmed = sql.trimmed();
    const qsizetype end = trimmed.indexOf(QLatin1Char('\n'));
    return end < 0 ? trimmed : trimmed.left(end).trimmed() + QStringLiteral(u" …");
}

} // namespace

HistoryModel::HistoryModel(const QueryHistory *history, QObject *parent)
    : QAbstractTableModel(parent), m_history(history)
{
    setTexts(englishWorkbenchTexts());
    reload();
}

void HistoryModel::reload()
{
    beginResetModel();
    m_rows.clear();
    const QList<HistoryEntry> &entries = m_history->entries();
    for (int i = int(entries.size()) - 1; i >= 0; --i) {
        const HistoryEntry &entry = entries[i];
        if (m_filter.isEmpty() || entry.sql.contains(m_filter, Qt::CaseInsensitive) ||
            entry.source.contains(m_filter, Qt::CaseInsensitive))
            m_rows.append(i);
    }
    endResetModel();
}

void HistoryModel::setFilter(const QString &text)
{
    m_filter = text.trimmed();
    reload();
}

void HistoryModel::setTexts(const WorkbenchTexts &texts)
{
    m_header = texts.historyHeader;
    m_succeeded = texts.historySucceeded;
    m_failed = texts.historyFailed;
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, Result), index(int(m_rows.size()) - 1, Result));
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

int HistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int HistoryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return QVariant();
    const HistoryEntry &entry = m_history->entries()[m_rows[index.row()]];
    if (role == Qt::ToolTipRole && index.column() == Statement)
        return entry.sql;
    if (role == Qt::ToolTipRole && index.column() == Connection)
        return entry.source;
    if (role == Qt::TextAlignmentRole && (index.column() == Duration || index.column() == Rows))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column()) {
    case Time:
        return QLocale().toString(entry.time, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case Connection:
        return entry.source;
    case Duration:
        return duration(entry.elapsedMs);
    case Rows:
        return entry.rows < 0 ? QString() : QLocale().toString(entry.rows);
    case Result:
        return entry.failed ? m_failed : m_succeeded;
    case Statement:
        return firstLine(entry.sql);
    default:
        return QVariant();
    }
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return m_header.value(section);
}
