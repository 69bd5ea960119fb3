#pragma once

#include "common/SafeFile.h"
#include "export/ExportTarget.h"
#include "export/ExportWriter.h"

#include <atomic>
#include <memory>

// One export into one file. The rows go to a new file beside the target, created exclusively
// and readable by its owner only while it is written; commit() completes the format and puts
// the file in place in one step, with the mode a new file of the user gets (or the mode of the
// file it replaces). Until then the target, if there is one, is untouched; a job that is not
// committed (cancelled, failed) removes what it wrote, so nothing is left behind.
class ExportJob
{
public:
    // Throws AppError with the system's reason when the new file cannot be created. The errors
    // of writing (a full disk) come as AppError with the reason from the sink's calls and
    // commit(); the caller names the file.
    ExportJob(const ExportTarget &target, const QString &scratchFolder);
    ~ExportJob();
    ExportJob(const ExportJob &) = delete;
    ExportJob &operator=(const ExportJob &) = delete;

    // The sink of a result's rows; called once per result with rows, the last one stays.
    CellSink &startResult(const QList<FieldInfo> &fields);
    // False until a result with rows has started: without one there is nothing to commit.
    bool hasResult() const { return m_hasResult; }
    // Completes the file (a workbook's assembly takes a while) and puts it in place. False when
    // abandon() came first: nothing is put in place then.
    bool commit();
    // From another thread: a running commit() stops as soon as it can and puts nothing in
    // place; the target stays as it was. Too late once the file is being put in place.
    void abandon();
    // After commit(): why the file may not be on disk yet (its folder could not be flushed).
    const QString &notOnDisk() const { return m_file.notOnDisk(); }

    const ExportTarget &target() const { return m_target; }
    qint64 rows() const { return m_writer ? m_writer->rows() : 0; }
    const ExportWriter *writer() const { return m_writer.get(); }

    // The writer of a format over an open file (for the benchmark and the tests).
    static std::unique_ptr<ExportWriter> makeWriter(ExportFormat format, int fd,
                                                    const QString &scratchFolder);

private:
    ExportTarget m_target;
    ReplacementFile m_file;
    std::unique_ptr<ExportWriter> m_writer;
    bool m_hasResult = false;
    std::atomic<bool> m_abandoned{false};
};
