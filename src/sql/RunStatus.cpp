#include "sql/RunStatus.h"

QString selectedRecordsText(qint64 count, bool incomplete)
{
    QString text = QStringLiteral(" Selected records: ") + QString::number(count);
    // A cancelled fetch keeps the rows it had; the count must not pass for the whole result.
    if (incomplete)
        text += QStringLiteral(" (incomplete: cancelled)");
    return text;
}

QString affectedRecordsText(qint64 count)
{
    return QStringLiteral(" Affected records: ") + QString::number(count);
}
