#include "export/WorkbookWriter.h"

#include "common/AppError.h"
#include "export/CellText.h"
#include "export/DateTimeText.h"

#include <QDir>
#include <QFile>

#include <xlsxwriter.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <locale.h>
#include <unistd.h>

namespace {

// Numbers of more significant digits than a worksheet number keeps go as text.
constexpr int kWorksheetDigits = 15;

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// "_x" four hex digits "_": a worksheet reads it as the escape of one character.
bool startsEscape(const char *p, const char *end)
{
    return end - p >= 7 && p[1] == 'x' && isHex(p[2]) && isHex(p[3]) && isHex(p[4]) && isHex(p[5]) &&
           p[6] == '_';
}

int significantDigits(const std::string &number)
{
    int digits = 0;
    int trailingZeros = 0;
    bool leading = true;
    for (const char c : number) {
        if (c == 'e' || c == 'E')
            break;
        if (c < '0' || c > '9')
            continue;
        if (leading && c == '0')
            continue;
        leading = false;
        ++digits;
        trailingZeros = c == '0' ? trailingZeros + 1 : 0;
    }
    return digits - trailingZeros;
}

// libxlsxwriter writes numbers with printf("%.16G"), which follows the locale of the program
// (a decimal comma in Portuguese), while a worksheet reads them only with a point: the calls
// into it run in the C locale's numbers, on the calling thread alone.
class CNumbers
{
public:
    CNumbers() : m_previous(c() ? ::uselocale(c()) : nullptr) {}
    ~CNumbers()
    {
        if (m_previous)
            ::uselocale(m_previous);
    }
    CNumbers(const CNumbers &) = delete;
    CNumbers &operator=(const CNumbers &) = delete;

private:
    static locale_t c()
    {
        static const locale_t locale = ::newlocale(LC_NUMERIC_MASK, "C", locale_t(nullptr));
        return locale;
    }
    locale_t m_previous;
};

// True when the number cell libxlsxwriter writes (its "%.16G") reads back as this very double.
// Seventeen significant digits cannot be asked of it: Debian's build formats every number that
// way and has no call that writes a cell's number text as given. "-0" would read back as the
// integer 0.
bool writtenExactly(double value)
{
    char text[32];
    const std::to_chars_result r =
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, 16);
    if (r.ec != std::errc())
        return false;
    double back = 0;
    const std::from_chars_result read = std::from_chars(text, r.ptr, back);
    return read.ec == std::errc() && std::memcmp(&back, &value, sizeof value) == 0 &&
           !(value == 0 && std::signbit(value));
}

} // namespace

WorkbookWriter::WorkbookWriter(int fd, const QString &scratchFolder, qint64 rowsPerSheet)
    : m_fileName("/proc/self/fd/" + QByteArray::number(fd))
    , m_folder(PrivateFolder::create({scratchFolder}))
    , m_scratchFolder(QFile::encodeName(m_folder ? m_folder->path() : scratchFolder))
    , m_rowsPerSheet(qBound<qint64>(2, rowsPerSheet, kSheetRows))
{
}

WorkbookWriter::~WorkbookWriter()
{
    if (!m_workbook)
        return;
    // An abandoned workbook is not assembled: its scratch files are closed (which frees their
    // space) and its memory freed, without writing anything.
    lxw_worksheet *sheet = nullptr;
    LXW_FOREACH_WORKSHEET(sheet, m_workbook)
    {
        if (sheet->optimize_tmpfile) {
            std::fclose(sheet->optimize_tmpfile);
            sheet->optimize_tmpfile = nullptr;
            sheet->file = nullptr;
        }
    }
    lxw_workbook_free(m_workbook);
}

void WorkbookWriter::check(int error)
{
    if (error != LXW_NO_ERROR)
        throw AppError(QString::fromUtf8(lxw_strerror(lxw_error(error))));
}

void WorkbookWriter::closeWorkbook()
{
    lxw_workbook *workbook = m_workbook;
    m_workbook = nullptr;
    m_sheet = nullptr;
    if (workbook)
        check(workbook_close(workbook));
}

void WorkbookWriter::startResult(const QList<FieldInfo> &fields)
{
    const CNumbers numbers;
    // A workbook begun for an earlier result is written and then overwritten by this one.
    closeWorkbook();
    resetCounts();
    if (fields.size() > kSheetColumns)
        throw AppError(QStringLiteral("The result has %1 columns; a worksheet holds at most %2.")
                           .arg(fields.size())
                           .arg(kSheetColumns));
    m_fields = fields;
    m_dateColumns.clear();
    m_headerNames.clear();
    for (const FieldInfo &field : fields) {
        m_dateColumns.push_back(isDateTimeType(field.type));
        const QByteArray name = field.name.toUtf8();
        // A name is never near the cell's limit.
        cellText(name.constData(), name.size());
        m_headerNames.push_back(QByteArray(m_cell.data(), qsizetype(m_cell.size())));
    }

    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = m_scratchFolder.data();
    // Parts past 4 GB would otherwise fail at the end of a long export.
    options.use_zip64 = LXW_TRUE;
    m_workbook = workbook_new_opt(m_fileName.constData(), &options);
    if (!m_workbook)
        check(LXW_ERROR_MEMORY_MALLOC_FAILED);
    m_header = workbook_add_format(m_workbook);
    format_set_bold(m_header);
    m_date = workbook_add_format(m_workbook);
    format_set_num_format(m_date, "yyyy-mm-dd");
    m_time = workbook_add_format(m_workbook);
    format_set_num_format(m_time, "hh:mm:ss");
    m_dateTime = workbook_add_format(m_workbook);
    format_set_num_format(m_dateTime, "yyyy-mm-dd hh:mm:ss");
    m_sheets = 0;
    addSheet();
}

void WorkbookWriter::addSheet()
{
    const QByteArray name = "Sheet" + QByteArray::number(++m_sheets);
    m_sheet = workbook_add_worksheet(m_workbook, name.constData());
    if (!m_sheet)
        check(LXW_ERROR_MEMORY_MALLOC_FAILED);
    for (size_t c = 0; c < m_headerNames.size(); ++c) {
        if (!m_headerNames[c].isEmpty())
            check(worksheet_write_string(m_sheet, 0, lxw_col_t(c), m_headerNames[c].constData(), m_header));
    }
    worksheet_freeze_panes(m_sheet, 1, 0);
    m_sheetRow = 1;
}

void WorkbookWriter::finish()
{
    const CNumbers numbers;
    if (m_abandoned.load())
        throw AppError(QStringLiteral("The workbook was abandoned."));
    closeWorkbook();
}

void WorkbookWriter::abandon()
{
    m_abandoned.store(true);
    // libxlsxwriter keeps every sheet in scratch files it unlinks at once, in the folder it was
    // given: the ones this process holds open there are found by their descriptors. Each is
    // opened anew through its descriptor and checked again through the new one, so a descriptor
    // closed and reused meanwhile is never the one emptied.
    if (!m_folder)
        return;
    const QByteArray prefix = m_scratchFolder + '/';
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString &fd : fds.entryList(QDir::Files | QDir::System)) {
        if (!QFile::encodeName(QFile::symLinkTarget(fds.filePath(fd))).startsWith(prefix))
            continue;
        const int own = ::open(QFile::encodeName(fds.filePath(fd)).constData(), O_WRONLY | O_CLOEXEC);
        if (own < 0)
            continue;
        const QString check = QStringLiteral("/proc/self/fd/%1").arg(own);
        if (QFile::encodeName(QFile::symLinkTarget(check)).startsWith(prefix)) [[maybe_unused]]
            const int emptied = ::ftruncate(own, 0);
        ::close(own);
    }
}

void WorkbookWriter::beginRow()
{
    const CNumbers numbers;
    if (m_sheetRow >= m_rowsPerSheet)
        addSheet();
    m_column = 0;
}

void WorkbookWriter::endRow()
{
    ++m_sheetRow;
    ++m_rows;
}

void WorkbookWriter::addNull()
{
    ++m_column;
}

void WorkbookWriter::addInt(qint64 value)
{
    const CNumbers numbers;
    if (value > -1000000000000000LL && value < 1000000000000000LL) {
        check(worksheet_write_number(m_sheet, m_sheetRow, m_column++, double(value), nullptr));
        return;
    }
    m_scratch.clear();
    celltext::appendInteger(m_scratch, value);
    writeString(m_scratch);
}

void WorkbookWriter::addDouble(double value)
{
    const CNumbers numbers;
    if (std::isfinite(value) && writtenExactly(value)) {
        check(worksheet_write_number(m_sheet, m_sheetRow, m_column++, value, nullptr));
        return;
    }
    m_scratch.clear();
    celltext::appendDouble(m_scratch, value);
    writeString(m_scratch);
}

void WorkbookWriter::addBool(bool value)
{
    const CNumbers numbers;
    check(worksheet_write_boolean(m_sheet, m_sheetRow, m_column++, value ? 1 : 0, nullptr));
}

void WorkbookWriter::addText(const char *utf8, qsizetype length)
{
    const CNumbers numbers;
    length = celltext::lengthOf(utf8, length);
    const size_t column = m_column;
    if (column < m_dateColumns.size() && m_dateColumns[column]) {
        if (const std::optional<DateTimeParts> parts = parseDateTimeText(utf8, length)) {
            lxw_datetime when{};
            if (parts->hasDate) {
                when.year = parts->year;
                when.month = parts->month;
                when.day = parts->day;
            }
            when.hour = parts->hour;
            when.min = parts->minute;
            when.sec = parts->second;
            lxw_format *format = !parts->hasTime ? m_date : !parts->hasDate ? m_time : m_dateTime;
            check(worksheet_write_datetime(m_sheet, m_sheetRow, m_column++, &when, format));
            return;
        }
    } else if (column < size_t(m_fields.size()) && isNumberType(m_fields[qsizetype(column)].type)) {
        // Exact decimals arrive as text: a number when a worksheet keeps all their digits.
        m_scratch.clear();
        if (celltext::appendJsonNumber(m_scratch, utf8, length) &&
            significantDigits(m_scratch) <= kWorksheetDigits) {
            double value = 0;
            const std::from_chars_result r =
                std::from_chars(m_scratch.data(), m_scratch.data() + m_scratch.size(), value);
            if (r.ec == std::errc() && std::isfinite(value)) {
                check(worksheet_write_number(m_sheet, m_sheetRow, m_column++, value, nullptr));
                return;
            }
        }
    }
    m_scratch.assign(utf8, size_t(length));
    writeString(m_scratch);
}

void WorkbookWriter::addBlob(const char *bytes, qsizetype length)
{
    const CNumbers numbers;
    m_scratch.clear();
    celltext::appendBase64(m_scratch, bytes, length);
    writeString(m_scratch);
}

void WorkbookWriter::writeString(const std::string &text)
{
    const quint16 column = m_column++;
    if (cellText(text.data(), qsizetype(text.size())))
        noteCut(m_rows + 1, m_fields.value(column).name);
    if (!m_cell.empty())
        check(worksheet_write_string(m_sheet, m_sheetRow, column, m_cell.c_str(), nullptr));
}

bool WorkbookWriter::cellText(const char *text, qsizetype length)
{
    m_cell.clear();
    if (!celltext::isValidUtf8(text, length)) {
        m_valid.clear();
        celltext::appendValidUtf8(m_valid, text, length);
        text = m_valid.data();
        length = qsizetype(m_valid.size());
    }
    // The cell's limit counts UTF-16 units, as a worksheet holds text; an escape written here
    // counts whole, so libxlsxwriter's own check of the length never refuses the result. Control
    // characters other than NUL are escaped by libxlsxwriter, counted as one.
    const char *end = text + length;
    const char *run = text;
    qsizetype units = 0;
    for (const char *p = text; p < end;) {
        const auto c = static_cast<unsigned char>(*p);
        const int bytes = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        int cost = bytes == 4 ? 2 : 1;
        const char *replacement = nullptr;
        if (c == 0) {
            replacement = "_x0000_";
        } else if (c == '_' && startsEscape(p, end)) {
            // A literal "_x0041_" would be read as "A": its underscore is escaped.
            replacement = "_x005F_";
        } else if (c == 0xEF && static_cast<unsigned char>(p[1]) == 0xBF &&
                   static_cast<unsigned char>(p[2]) >= 0xBE) {
            // U+FFFE and U+FFFF cannot stand in XML.
            replacement = "\xEF\xBF\xBD";
        }
        if (replacement && *replacement == '_')
            cost = 7;
        if (units + cost > kCellCharacters) {
            m_cell.append(run, size_t(p - run));
            return true;
        }
        units += cost;
        if (replacement) {
            m_cell.append(run, size_t(p - run));
            m_cell.append(replacement);
            run = p + bytes;
        }
        p += bytes;
    }
    m_cell.append(run, size_t(end - run));
    return false;
}
