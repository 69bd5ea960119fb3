#pragma once

#include "db/DataAccess.h"
#include "db/fetch/RowStore.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <vector>

// The text the result grid copies to the clipboard, in the formats of the export where they
// exist (CSV and JSON as CsvWriter and JsonLinesWriter write them), built straight into one
// QString: the rows are never held a second time.
enum class CopyFormat { Tsv, Csv, Json, Markdown, Insert };

struct CopyRequest
{
    CopyFormat format = CopyFormat::Tsv;
    QList<FieldInfo> fields; // every field of the result
    QList<int> columns;      // the columns copied, in order
    bool header = false;     // tab-separated text: a first row of the column names
    // INSERT statements: the dialect and the target table and its columns, quoted.
    SqlDialect dialect = SqlDialect::Standard;
    QString insertTarget;
    QStringList insertColumns;
};

// The text of rows of a store, in the order given (stored row numbers); a row number of -1
// takes the one row of pending instead (a record edited or inserted and not posted yet). Any
// thread while the rows stay unchanged; throws AppError with cancelledText() on cancel.
QString copyText(const CopyRequest &request, const RowStore &store, const std::vector<int> &rows,
                 const RowStore *pending = nullptr, const std::atomic<bool> *cancel = nullptr);
