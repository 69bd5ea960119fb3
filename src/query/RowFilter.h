#pragma once

#include "db/DataAccess.h"
#include "db/fetch/RowStore.h"
#include "query/ValueOrder.h"

#include <QByteArray>
#include <QList>
#include <QLocale>
#include <QString>
#include <QVariant>

#include <atomic>
#include <optional>
#include <string>
#include <vector>

// One column's filter, parsed once from the text typed in the grid's filter row:
//   NULL or IS NULL, NOT NULL or IS NOT NULL   the cells that are (not) NULL
//   = v, <> v (also != v), < v, <= v, > v, >= v
//   LIKE p, NOT LIKE p                         % stands for any run of characters, _ for one;
//                                              ! before %, _ or ! takes it as it is
//   text holding a %                           LIKE that text
//   any other text                             the cells that contain it
// A value may stand in single quotes, a quote inside doubled ('it''s'). On a column of numbers
// a compared value must be a number, on a column of dates a date; LIKE and "contains" look at
// the cells' text. NULL cells match nothing but NULL, as in SQL. Keywords ignore letter case.
class ColumnFilter
{
public:
    enum class Op {
        Equal,
        NotEqual,
        Less,
        LessEqual,
        Greater,
        GreaterEqual,
        Like,
        NotLike,
        IsNull,
        IsNotNull
    };
    // Why a text is no filter of its column.
    enum class Problem { None, NotANumber, NotADate };

    // Nothing for empty text, or with *problem set when the text does not fit the column (and
    // *value to the value that does not). A number is read in locale or in the C form.
    static std::optional<ColumnFilter> parse(int column, const FieldInfo &field, const QString &text,
                                             const QLocale &locale, Problem *problem = nullptr,
                                             QString *value = nullptr);

    int column() const { return m_column; }
    Op op() const { return m_op; }
    const QString &text() const { return m_text; }
    // The value compared with (unquoted); for LIKE the pattern, "!" its escape character.
    const QString &value() const { return m_value; }
    // The value as it is bound to the database's parameter.
    QVariant parameter() const { return m_parameter; }
    bool isLike() const { return m_op == Op::Like || m_op == Op::NotLike; }

    // The escape character of the patterns: "LIKE ? ESCAPE '!'".
    static QChar escapeCharacter() { return QLatin1Char('!'); }

private:
    friend class RowFilter;

    int m_column = 0;
    Op m_op = Op::Equal;
    valueorder::Sense m_sense = valueorder::Sense::Text;
    QString m_text;
    QString m_value;
    QVariant m_parameter;
    // The compared value as a cell key; its text is held here.
    valueorder::CellKey m_key;
    QByteArray m_bytes;
};

// The filters of a result applied in memory, as the result's database would apply them: text
// compared by the collation, LIKE and = ignoring letter case where the database does (LIKE on
// SQLite for ASCII letters, LIKE and = on MySQL and SQL Server), and never on PostgreSQL.
class RowFilter
{
public:
    RowFilter(QList<ColumnFilter> filters, SqlDialect dialect, const QLocale &collation);

    // The row numbers of the rows in order that every filter lets through, in that order. Any
    // thread while the rows stay unchanged; throws AppError with cancelledText() on cancel.
    std::vector<int> apply(const RowStore &rows, const std::vector<int> &order,
                           const std::atomic<bool> *cancel = nullptr) const;
    // One row (its bytes, RowStore::rowBytes).
    bool matches(QByteArrayView row) const;

    // LIKE on text already folded as the dialect folds it; pattern as ColumnFilter::value().
    static bool like(std::u32string_view text, std::u32string_view pattern);

private:
    bool matchesCell(const ColumnFilter &filter, const RowStore::CellReader &cell) const;
    std::u32string_view folded(QByteArrayView utf8, std::u32string &buffer, bool foldCase) const;

    QList<ColumnFilter> m_filters;
    int m_lastColumn = -1;
    SqlDialect m_dialect;
    valueorder::TextOrder m_order;
    bool m_nullsLargest;
    // Per filter: its LIKE pattern folded.
    std::vector<std::u32string> m_patterns;
    bool m_likeFoldsAscii = false;
    bool m_likeFoldsAll = false;
    bool m_equalFolds = false;
    mutable std::u32string m_cellBuffer;
    mutable std::u32string m_valueBuffer;
};
