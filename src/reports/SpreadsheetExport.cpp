#include "reports/SpreadsheetExport.h"

#include "common/AppError.h"
#include "common/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace {

QString safeFileBase(const QString &tableName)
{
    QString base;
    for (const QChar c : tableName) {
        const bool unsafe = c.unicode() < 32 || c == QLatin1Char('/') || c == QLatin1Char('\\') ||
                            QStringLiteral(":*?\"<>|").contains(c);
        base += unsafe ? QLatin1Char('_') : c;
    }
    base = base.trimmed();
    // No hidden files, no "." or ".." names.
    while (base.startsWith(QLatin1Char('.')))
        base[0] = QLatin1Char('_');
    if (base.isEmpty())
        base = QStringLiteral("Structure");
    // Leave room for the suffix within the usual 255-byte limit of a file name.
    while (base.toUtf8().size() > 200)
        base.chop(1);
    return base;
}

[[noreturn]] void fail(const QString &path, lxw_error error)
{
    throw AppError(QStringLiteral("The workbook [%1] could not be written: %2.")
                       .arg(path, QString::fromUtf8(lxw_strerror(error))));
}

} // namespace

QString worksheetName(const QString &tableName)
{
    QString name;
    for (const QChar c : tableName)
        name += (c.unicode() < 32 || QStringLiteral("[]:*?/\\").contains(c)) ? QLatin1Char('_') : c;
    if (name.startsWith(QLatin1Char('\'')))
        name[0] = QLatin1Char('_');
    name.truncate(31);
    if (name.endsWith(QLatin1Char('\'')))
        name[name.size() - 1] = QLatin1Char('_');
    return name.trimmed().isEmpty() ? QStringLiteral("Sheet1") : name;
}

namespace {

// libxlsxwriter writes to a file name of its own choosing; it gets the name under which this
// process reaches the file it created itself.
void writeWorkbook(int fd, const QString &path, const QString &folder, const QString &tableName,
                   const QList<QStringList> &rows)
{
    const QByteArray fileName = "/proc/self/fd/" + QByteArray::number(fd);
    QByteArray scratch = QFile::encodeName(folder);
    lxw_workbook_options options{};
    options.tmpdir = scratch.data();
    lxw_workbook *workbook = workbook_new_opt(fileName.constData(), &options);
    if (!workbook)
        fail(path, LXW_ERROR_MEMORY_MALLOC_FAILED);

    const QByteArray title = tableName.toUtf8();
    lxw_doc_properties properties{};
    properties.title = const_cast<char *>(title.constData());
    lxw_error error = workbook_set_properties(workbook, &properties);

    lxw_worksheet *sheet = workbook_add_worksheet(workbook, worksheetName(tableName).toUtf8().constData());
    if (!sheet) {
        workbook_close(workbook);
        fail(path, LXW_ERROR_PARAMETER_VALIDATION);
    }

    QList<qsizetype> widths;
    for (qsizetype r = 0; r < rows.size() && error == LXW_NO_ERROR; ++r) {
        const QStringList &row = rows[r];
        if (widths.size() < row.size())
            widths.resize(row.size(), 0);
        for (qsizetype c = 0; c < row.size() && error == LXW_NO_ERROR; ++c) {
            widths[c] = std::max(widths[c], row[c].size());
            error = worksheet_write_string(sheet, static_cast<lxw_row_t>(r), static_cast<lxw_col_t>(c),
                                           row[c].toUtf8().constData(), nullptr);
        }
    }
    // Column widths are in characters of the default font; a little slack for the padding.
    for (qsizetype c = 0; c < widths.size() && error == LXW_NO_ERROR; ++c) {
        if (widths[c] > 0) {
            const double width = std::min<double>(static_cast<double>(widths[c]) + 2.0, 100.0);
            error = worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), width,
                                         nullptr);
        }
    }

    const lxw_error closed = workbook_close(workbook);
    if (error != LXW_NO_ERROR || closed != LXW_NO_ERROR)
        fail(path, error != LXW_NO_ERROR ? error : closed);
    if (::fsync(fd) != 0)
        throw AppError(QStringLiteral("The workbook [%1] could not be written: %2.")
                           .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
}

} // namespace

QString writeStructureWorkbook(const QString &folder, const QString &tableName,
                               const QList<QStringList> &rows)
{
    // An empty folder would quietly mean the current one.
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        throw AppError(
            QStringLiteral("The temporary folder [%1] is not available for the workbook.").arg(folder));
    const QDir dir(folder);
    const QString base = safeFileBase(tableName);
    QString path;
    int fd = -1;
    for (int n = 1; fd < 0; ++n) {
        path = dir.filePath(n == 1 ? base + QStringLiteral(".xlsx")
                                   : QStringLiteral("%1-%2.xlsx").arg(base).arg(n));
        fd = createFileExclusively(path, 0600);
        if (fd < 0 && (errno != EEXIST || n >= 10000))
            throw AppError(QStringLiteral("The workbook [%1] could not be created: %2.")
                               .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    }
    try {
        writeWorkbook(fd, path, folder, tableName, rows);
    } catch (...) {
        ::close(fd);
        QFile::remove(path); // created above, by this call
        throw;
    }
    ::close(fd);
    return path;
}
