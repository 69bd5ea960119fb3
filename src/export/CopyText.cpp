#include "export/CopyText.h"

#include "common/AppError.h"
#include "db/fetch/Fetch.h"
#include "export/CsvWriter.h"
#include "export/InsertWriter.h"
#include "export/JsonLinesWriter.h"
#include "export/MarkdownWriter.h"

#include <memory>

namespace {

std::unique_ptr<ExportWriter> writerFor(const CopyRequest &request, QString *text)
{
    switch (request.format) {
    case CopyFormat::Tsv:
        return std::make_unique<CsvWriter>(TextOutput(text), CsvForm::tabSeparated(request.header));
    case CopyFormat::Csv:
        return std::make_unique<CsvWriter>(TextOutput(text), CsvForm());
    case CopyFormat::Json:
        return std::make_unique<JsonLinesWriter>(TextOutput(text), JsonLinesWriter::Form::Array);
    case CopyFormat::Markdown:
        return std::make_unique<MarkdownWriter>(TextOutput(text));
    case CopyFormat::Insert:
        return std::make_unique<InsertWriter>(TextOutput(text), request.dialect, request.insertTarget,
                                              request.insertColumns);
    }
    return nullptr;
}

} // namespace

QString copyText(const CopyRequest &request, const RowStore &store, const std::vector<int> &rows,
                 const RowStore *pending, const std::atomic<bool> *cancel)
{
    QString text;
    const std::unique_ptr<ExportWriter> writer = writerFor(request, &text);
    QList<FieldInfo> fields;
    for (const int column : request.columns)
        fields.append(request.fields.value(column));
    writer->startResult(fields);
    for (size_t i = 0; i < rows.size(); ++i) {
        if ((i & 1023) == 0 && cancel && cancel->load(std::memory_order_relaxed))
            throw AppError(cancelledText());
        if (rows[i] < 0) {
            if (pending)
                pending->writeRow(0, *writer, request.columns);
        } else {
            store.writeRow(rows[i], *writer, request.columns);
        }
    }
    writer->finish();
    return text;
}
