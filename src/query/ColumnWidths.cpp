#include "query/ColumnWidths.h"

void ColumnWidths::reset(int columns)
{
    m_widest = QList<int>(qMax(columns, 0), 0);
    m_manual = QList<bool>(qMax(columns, 0), false);
}

void ColumnWidths::see(int column, int width)
{
    if (column >= 0 && column < m_widest.size() && width > m_widest[column])
        m_widest[column] = width;
}

int ColumnWidths::widest(int column) const
{
    return m_widest.value(column);
}

void ColumnWidths::setManual(int column, bool manual)
{
    if (column >= 0 && column < m_manual.size())
        m_manual[column] = manual;
}

bool ColumnWidths::isManual(int column) const
{
    return m_manual.value(column);
}

int ColumnWidths::grown(int column, int current, int maximum) const
{
    if (isManual(column))
        return current;
    const int wanted = qMin(widest(column), maximum);
    return wanted > current ? wanted : current;
}
