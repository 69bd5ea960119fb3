#include "export/ExportJob.h"

#include "common/AppError.h"
#include "export/CsvWriter.h"
#include "export/JsonLinesWriter.h"
#include "export/WorkbookWriter.h"

std::unique_ptr<ExportWriter> ExportJob::makeWriter(ExportFormat format, int fd, const QString &scratchFolder)
{
    switch (format) {
    case ExportFormat::Csv:
        return std::make_unique<CsvWriter>(fd, false);
    case ExportFormat::CsvForSpreadsheets:
        return std::make_unique<CsvWriter>(fd, true);
    case ExportFormat::Workbook:
        return std::make_unique<WorkbookWriter>(fd, scratchFolder);
    case ExportFormat::JsonLines:
        return std::make_unique<JsonLinesWriter>(fd);
    }
    return nullptr;
}

ExportJob::ExportJob(const ExportTarget &target, const QString &scratchFolder) : m_target(target)
{
    QString error;
    if (!m_file.open(target.path, newUserFileMode(), &error))
        throw AppError(error);
    m_writer = makeWriter(target.format, m_file.descriptor(), scratchFolder);
}

ExportJob::~ExportJob()
{
    // The writer goes first: it may still hold the file through a name of its own.
    m_writer.reset();
    m_file.discard();
}

CellSink &ExportJob::startResult(const QList<FieldInfo> &fields)
{
    m_writer->startResult(fields);
    m_hasResult = true;
    return *m_writer;
}

bool ExportJob::commit()
{
    try {
        m_writer->finish();
    } catch (const AppError &) {
        // An abandoned assembly fails as its input goes; that is the abandon, not an error.
        if (m_abandoned.load())
            return false;
        throw;
    }
    if (m_abandoned.load())
        return false;
    QString error;
    if (!m_file.commit(&error))
        throw AppError(error);
    return true;
}

void ExportJob::abandon()
{
    m_abandoned.store(true);
    if (m_writer)
        m_writer->abandon();
}
