#pragma once

#include <QString>

// The status-bar texts of a run.
QString selectedRecordsText(qint64 count, bool incomplete = false);
QString affectedRecordsText(qint64 count);
