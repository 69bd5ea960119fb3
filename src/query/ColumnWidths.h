#pragma once

#include <QList>

// The widths the result grid's columns take from their values: per column the widest value seen
// so far (in pixels, padding included). Columns grow toward it as wider values come into view,
// up to a maximum, and never shrink by themselves; a column the user has sized by hand keeps
// that width until it is fitted again.
class ColumnWidths
{
public:
    void reset(int columns);
    int columnCount() const { return int(m_widest.size()); }

    // A value of this width has been shown in the column.
    void see(int column, int width);
    int widest(int column) const;

    void setManual(int column, bool manual);
    bool isManual(int column) const;

    // The width a column of the current width grows to: the widest value seen, up to maximum;
    // the current width when that is not wider or the column was sized by hand.
    int grown(int column, int current, int maximum) const;

private:
    QList<int> m_widest;
    QList<bool> m_manual;
};
