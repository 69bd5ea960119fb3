#pragma once

#include <QString>

// How the rows of a result ended: all of them, or cut short by a Cancel or by an error.
enum class RowsEnd { Complete, Cancelled, Failed };

// The status-bar texts of a run.
QString selectedRecordsText(qint64 count, RowsEnd end = RowsEnd::Complete);
QString affectedRecordsText(qint64 count);
