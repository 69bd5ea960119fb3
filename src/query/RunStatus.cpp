#include "query/RunStatus.h"

QString selectedRecordsText(qint64 count, RowsEnd end)
{
    QString text = QStringLiteral(" Selected records: ") + QString::number(count);
    // A fetch cut short keeps the rows it had; the count must not pass for the whole result.
    if (end == RowsEnd::Cancelled)
        text += QStringLiteral(" (incomplete: cancelled)");
    else if (end == RowsEnd::Failed)
        text += QStringLiteral(" (incomplete: error)");
    return text;
}

QString affectedRecordsText(qint64 count)
{
    return QStringLiteral(" Affected records: ") + QString::number(count);
}
