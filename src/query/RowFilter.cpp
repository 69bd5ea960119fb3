#include "query/RowFilter.h"

#include "query/RowSorter.h"

#include <charconv>

using namespace valueorder;

namespace {

// A value in single quotes loses them; a doubled quote inside stands for one.
QString unquoted(const QString &value)
{
    if (value.size() >= 2 && value.front() == u'\'' && value.back() == u'\'')
        return value.mid(1, value.size() - 2).replace(QStringLiteral("''"), QStringLiteral("'"));
    return value;
}

// Text taken literally in a pattern: %, _ and the escape escaped.
QString escapedForLike(const QString &text)
{
    const QChar escape = ColumnFilter::escapeCharacter();
    QString pattern;
    pattern.reserve(text.size() + 2);
    for (const QChar c : text) {
        if (c == escape || c == u'%' || c == u'_')
            pattern += escape;
        pattern += c;
    }
    return pattern;
}

// A pattern as typed: "!" before %, _ or "!" takes that character literally; any other "!" is
// one itself (databases refuse an escape before anything else, or at the end).
QString typedPattern(const QString &text)
{
    const QChar escape = ColumnFilter::escapeCharacter();
    QString pattern;
    pattern.reserve(text.size() + 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        pattern += c;
        if (c != escape)
            continue;
        const QChar next = i + 1 < text.size() ? text[i + 1] : QChar();
        if (next == u'%' || next == u'_' || next == escape)
            pattern += text[++i];
        else
            pattern += escape;
    }
    return pattern;
}

// The keyword at the start of text, followed by a blank; the rest after it.
bool startsWithWord(const QString &text, QLatin1StringView word, QString &rest)
{
    if (!text.startsWith(word, Qt::CaseInsensitive) || text.size() == word.size() ||
        !text.at(word.size()).isSpace())
        return false;
    rest = text.mid(word.size()).trimmed();
    return true;
}

std::optional<bool> booleanValue(const QString &text)
{
    const QString t = text.toLower();
    if (t == QLatin1String("true") || t == QLatin1String("1") || t == QLatin1String("yes"))
        return true;
    if (t == QLatin1String("false") || t == QLatin1String("0") || t == QLatin1String("no"))
        return false;
    return std::nullopt;
}

bool isIntegerText(QByteArrayView text)
{
    qsizetype i = text.startsWith('-') || text.startsWith('+') ? 1 : 0;
    if (i == text.size() || text.size() - i > 18)
        return false;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    return true;
}

// Decodes UTF-8 into code points, an ill-formed byte as U+FFFD.
void decodeUtf8(QByteArrayView utf8, std::u32string &out)
{
    out.clear();
    const auto *p = reinterpret_cast<const unsigned char *>(utf8.data());
    const auto *end = p + utf8.size();
    while (p < end) {
        const unsigned c = *p;
        if (c < 0x80) {
            out.push_back(char32_t(c));
            ++p;
            continue;
        }
        const int n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        char32_t code = n == 4 ? c & 0x07 : n == 3 ? c & 0x0F : c & 0x1F;
        bool ok = n > 0 && end - p >= n;
        for (int i = 1; ok && i < n; ++i) {
            ok = (p[i] & 0xC0) == 0x80;
            code = (code << 6) | (p[i] & 0x3F);
        }
        if (!ok) {
            out.push_back(U'\uFFFD');
            ++p;
            continue;
        }
        out.push_back(code);
        p += n;
    }
}

void fold(std::u32string &text, bool asciiOnly)
{
    for (char32_t &c : text) {
        if (c < 0x80)
            c = c >= U'A' && c <= U'Z' ? c - U'A' + U'a' : c;
        else if (!asciiOnly)
            c = QChar::toCaseFolded(c);
    }
}

} // namespace

std::optional<ColumnFilter> ColumnFilter::parse(int column, const FieldInfo &field, const QString &typed,
                                                const QLocale &locale, Problem *problem, QString *value)
{
    if (problem)
        *problem = Problem::None;
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    ColumnFilter f;
    f.m_column = column;
    f.m_text = text;
    f.m_sense = senseOf(field.type);
    const QString words = text.simplified().toUpper();
    if (words == QLatin1String("NULL") || words == QLatin1String("IS NULL")) {
        f.m_op = Op::IsNull;
        return f;
    }
    if (words == QLatin1String("NOT NULL") || words == QLatin1String("IS NOT NULL")) {
        f.m_op = Op::IsNotNull;
        return f;
    }

    QString rest;
    if (startsWithWord(text, QLatin1StringView("NOT LIKE"), rest) ||
        startsWithWord(text, QLatin1StringView("LIKE"), rest)) {
        f.m_op = text.at(0).toUpper() == u'N' ? Op::NotLike : Op::Like;
        f.m_value = typedPattern(unquoted(rest));
        f.m_parameter = f.m_value;
        return f;
    }
    static const struct
    {
        const char *sign;
        Op op;
    } operators[] = {{"<>", Op::NotEqual},     {"!=", Op::NotEqual}, {"<=", Op::LessEqual},
                     {">=", Op::GreaterEqual}, {"=", Op::Equal},     {"<", Op::Less},
                     {">", Op::Greater}};
    bool compared = false;
    for (const auto &o : operators) {
        if (text.startsWith(QLatin1StringView(o.sign))) {
            f.m_op = o.op;
            rest = text.mid(qsizetype(qstrlen(o.sign))).trimmed();
            compared = true;
            break;
        }
    }
    if (!compared) {
        // A pattern as typed, or the cells that contain the text.
        f.m_op = Op::Like;
        f.m_value = text.contains(u'%') ? typedPattern(text) : u'%' + escapedForLike(text) + u'%';
        f.m_parameter = f.m_value;
        return f;
    }

    f.m_value = unquoted(rest);
    f.m_bytes = f.m_value.toUtf8();
    f.m_parameter = f.m_value;
    CellKey &key = f.m_key;
    if (field.type == AdoType::Boolean) {
        const std::optional<bool> b = booleanValue(f.m_value);
        if (!b) {
            if (problem)
                *problem = Problem::NotANumber;
            if (value)
                *value = f.m_value;
            return std::nullopt;
        }
        key.cls = ValueClass::Number;
        key.isInteger = true;
        key.integer = *b ? 1 : 0;
        key.number = double(key.integer);
        f.m_parameter = *b;
        return f;
    }
    switch (f.m_sense) {
    case Sense::Number: {
        // The C form first, then the locale's (a decimal comma), kept in the C form.
        QByteArray c = f.m_value.toUtf8();
        std::optional<double> number = parseNumber(c);
        if (!number) {
            QLocale strict = locale;
            strict.setNumberOptions(QLocale::RejectGroupSeparator);
            bool ok = false;
            const double d = strict.toDouble(f.m_value, &ok);
            if (ok) {
                number = d;
                c = QString(f.m_value).replace(locale.decimalPoint(), QLatin1String(".")).toUtf8();
            }
        }
        if (!number) {
            if (problem)
                *problem = Problem::NotANumber;
            if (value)
                *value = f.m_value;
            return std::nullopt;
        }
        f.m_bytes = c.trimmed();
        key.cls = ValueClass::Number;
        key.number = *number;
        if (isIntegerText(f.m_bytes)) {
            key.isInteger = true;
            key.integer = f.m_bytes.toLongLong();
            f.m_parameter = qlonglong(key.integer);
        } else {
            f.m_parameter = *number;
        }
        return f;
    }
    case Sense::DateTime: {
        const std::optional<qint64> instant = parseInstant(f.m_bytes);
        if (!instant) {
            if (problem)
                *problem = Problem::NotADate;
            if (value)
                *value = f.m_value;
            return std::nullopt;
        }
        key.cls = ValueClass::Instant;
        key.integer = *instant;
        return f;
    }
    case Sense::Text:
        key.cls = ValueClass::Text;
        return f;
    }
    return f;
}

RowFilter::RowFilter(QList<ColumnFilter> filters, SqlDialect dialect, const QLocale &collation)
    : m_filters(std::move(filters))
    , m_dialect(dialect)
    , m_order(collation)
    , m_nullsLargest(nullsLargest(dialect))
{
    m_likeFoldsAscii = dialect == SqlDialect::Sqlite || dialect == SqlDialect::Access;
    m_likeFoldsAll = dialect == SqlDialect::MySql || dialect == SqlDialect::SqlServer;
    m_equalFolds = m_likeFoldsAll;
    for (ColumnFilter &f : m_filters) {
        m_lastColumn = qMax(m_lastColumn, f.m_column);
        // The key's text points into this filter's own copy.
        f.m_key.bytes = f.m_bytes;
        std::u32string pattern;
        if (f.isLike()) {
            decodeUtf8(f.m_value.toUtf8(), pattern);
            if (m_likeFoldsAscii || m_likeFoldsAll)
                fold(pattern, m_likeFoldsAscii);
        }
        m_patterns.push_back(std::move(pattern));
    }
}

std::u32string_view RowFilter::folded(QByteArrayView utf8, std::u32string &buffer, bool foldCase) const
{
    decodeUtf8(utf8, buffer);
    if (foldCase)
        fold(buffer, !m_likeFoldsAll);
    return buffer;
}

bool RowFilter::like(std::u32string_view text, std::u32string_view pattern)
{
    const char32_t escape = U'!';
    size_t i = 0;
    size_t j = 0;
    size_t star = std::u32string_view::npos;
    size_t mark = 0;
    while (i < text.size()) {
        if (j < pattern.size() && pattern[j] == U'%') {
            star = j++;
            mark = i;
            continue;
        }
        if (j < pattern.size()) {
            const bool escaped = pattern[j] == escape && j + 1 < pattern.size();
            const char32_t p = escaped ? pattern[j + 1] : pattern[j];
            if ((!escaped && p == U'_') || p == text[i]) {
                j += escaped ? 2 : 1;
                ++i;
                continue;
            }
        }
        if (star == std::u32string_view::npos)
            return false;
        j = star + 1;
        i = ++mark;
    }
    while (j < pattern.size() && pattern[j] == U'%')
        ++j;
    return j == pattern.size();
}

bool RowFilter::matchesCell(const ColumnFilter &filter, const RowStore::CellReader &cell) const
{
    const RowStore::CellKind kind = cell.kind();
    if (filter.m_op == ColumnFilter::Op::IsNull)
        return kind == RowStore::CellKind::Null;
    if (filter.m_op == ColumnFilter::Op::IsNotNull)
        return kind != RowStore::CellKind::Null;
    if (kind == RowStore::CellKind::Null)
        return false;

    if (filter.isLike()) {
        // LIKE reads the cell as text, as the database's cast to text writes it.
        char number[32];
        QByteArrayView text;
        switch (kind) {
        case RowStore::CellKind::Text:
            text = cell.payload();
            break;
        case RowStore::CellKind::Int: {
            const std::to_chars_result r = std::to_chars(number, number + sizeof number, cell.integer());
            text = QByteArrayView(number, r.ptr - number);
            break;
        }
        case RowStore::CellKind::Double: {
            const std::to_chars_result r = std::to_chars(number, number + sizeof number, cell.real());
            text = QByteArrayView(number, r.ptr - number);
            break;
        }
        case RowStore::CellKind::Bool:
            if (m_dialect == SqlDialect::PostgreSql)
                text = cell.boolean() ? QByteArrayView("true") : QByteArrayView("false");
            else
                text = cell.boolean() ? QByteArrayView("1") : QByteArrayView("0");
            break;
        default:
            return false;
        }
        const size_t index = size_t(&filter - m_filters.constData());
        const bool matched =
            like(folded(text, m_cellBuffer, m_likeFoldsAscii || m_likeFoldsAll), m_patterns[index]);
        return filter.m_op == ColumnFilter::Op::Like ? matched : !matched;
    }

    const CellKey key = keyOf(filter.m_sense, cell);
    int c = 0;
    if (m_equalFolds && key.cls == ValueClass::Text && filter.m_key.cls == ValueClass::Text &&
        (filter.m_op == ColumnFilter::Op::Equal || filter.m_op == ColumnFilter::Op::NotEqual))
        c = folded(key.bytes, m_cellBuffer, true) == folded(filter.m_key.bytes, m_valueBuffer, true) ? 0 : 1;
    else
        c = compare(key, filter.m_key, m_order, m_nullsLargest);
    switch (filter.m_op) {
    case ColumnFilter::Op::Equal:
        return c == 0;
    case ColumnFilter::Op::NotEqual:
        return c != 0;
    case ColumnFilter::Op::Less:
        return c < 0;
    case ColumnFilter::Op::LessEqual:
        return c <= 0;
    case ColumnFilter::Op::Greater:
        return c > 0;
    case ColumnFilter::Op::GreaterEqual:
        return c >= 0;
    default:
        return false;
    }
}

bool RowFilter::matches(QByteArrayView row) const
{
    RowStore::CellReader reader(row);
    for (int column = 0; column <= m_lastColumn; ++column) {
        reader.read();
        for (const ColumnFilter &f : m_filters) {
            if (f.m_column == column && !matchesCell(f, reader))
                return false;
        }
    }
    return true;
}

std::vector<int> RowFilter::apply(const RowStore &rows, const std::vector<int> &order,
                                  const std::atomic<bool> *cancel) const
{
    std::vector<int> kept;
    kept.reserve(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        if ((i & 4095) == 0)
            throwIfCancelled(cancel);
        if (matches(rows.rowBytes(order[i])))
            kept.push_back(order[i]);
    }
    kept.shrink_to_fit();
    return kept;
}
