// What the result grid reads from the database's text and from what users type: dates, numbers
// and exact decimals as the sort orders them, the kind of a binary value, the statements it may
// run inside another, the filters typed, and the search through stored rows. Nothing may crash;
// orders must be orders, and a statement taken as a plain read must come from the text.
#include "db/fetch/RowStore.h"
#include "query/BlobKind.h"
#include "query/CellFinder.h"
#include "query/RowFilter.h"
#include "query/ShapedStatement.h"
#include "query/ValueOrder.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    valueorder::parseInstant(bytes);
    valueorder::parseNumber(bytes);
    blobkind::detect(bytes.first(qMin(bytes.size(), blobkind::headerSize)));

    // Exact decimals: a comparison turned round gives the opposite answer.
    const QByteArrayView a = bytes.first(bytes.size() / 2);
    const QByteArrayView b = bytes.sliced(bytes.size() / 2);
    if (valueorder::compareDecimalText(a, b) != -valueorder::compareDecimalText(b, a))
        std::abort();

    const QString text = QString::fromUtf8(bytes);
    for (const SqlDialect dialect : {SqlDialect::PostgreSql, SqlDialect::MySql, SqlDialect::SqlServer}) {
        const shaping::PlainRead read = shaping::plainRead(text, dialect);
        if (read.refusal == shaping::Refusal::None && !text.startsWith(read.statement))
            std::abort();
    }
    FieldInfo number;
    number.type = AdoType::Numeric;
    FieldInfo date;
    date.type = AdoType::DBTimeStamp;
    for (const FieldInfo &field : {number, date, FieldInfo()}) {
        ColumnFilter::Problem problem = ColumnFilter::Problem::None;
        if (const std::optional<ColumnFilter> filter =
                ColumnFilter::parse(0, field, text, QLocale::c(), &problem)) {
            if (problem != ColumnFilter::Problem::None)
                std::abort();
            // The text stored as a row: the filter applies without harm, and so does a search.
            RowStore rows(2);
            rows.beginRow();
            rows.addText(a.data(), a.size());
            rows.addBlob(b.data(), b.size());
            rows.endRow();
            RowFilter({*filter}, SqlDialect::MySql, QLocale::c()).apply(rows, {0});
            const CellFinder finder(QString::fromUtf8(a.first(qMin<qsizetype>(a.size(), 3))), false);
            finder.find(rows, 1, nullptr, CellPosition{}, false);
            finder.find(rows, 1, nullptr, CellPosition{}, true);
        }
    }
    return 0;
}
