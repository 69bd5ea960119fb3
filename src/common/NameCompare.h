#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// Names of tables, columns and fields are matched without regard to letter case wherever the
// program compares them.
inline bool sameName(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

inline bool containsName(const QStringList &names, QStringView name)
{
    return names.contains(name, Qt::CaseInsensitive);
}

// Catalogue order: by name without regard to letter case; names that differ only in case by
// their exact spelling.
inline bool lessName(QStringView a, QStringView b)
{
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}
