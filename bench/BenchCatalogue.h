#pragma once

// The catalogue benchmark's database, shared by the benchmarks that need many tables: table_0001
// to table_N, each with the same columns.

#include <QString>
#include <QStringList>

namespace bench {

// One column list for every table: a key, texts, numbers and a date.
inline QString columnList(int columns)
{
    QStringList list{QStringLiteral("id INTEGER PRIMARY KEY")};
    for (int c = 2; c <= columns; ++c) {
        const char *type = c % 3 == 0 ? "INTEGER" : (c % 3 == 1 ? "VARCHAR(40)" : "DATE");
        list.append(QStringLiteral("column_%1 %2").arg(c).arg(QLatin1String(type)));
    }
    return list.join(QStringLiteral(", "));
}

// CREATE TABLE statements, batched so a server takes many in one round trip.
inline QStringList createStatements(int tables, int columns, const QString &separator)
{
    QStringList batches;
    QStringList batch;
    for (int t = 1; t <= tables; ++t) {
        batch.append(QStringLiteral("CREATE TABLE table_%1 (%2)")
                         .arg(t, 4, 10, QLatin1Char('0'))
                         .arg(columnList(columns)));
        if (batch.size() == 100 || t == tables) {
            batches.append(batch.join(separator));
            batch.clear();
        }
    }
    return batches;
}

} // namespace bench
