// SQL scripts come from files and from the user: splitting them into statements, finding the one
// under the cursor and completing a name must never crash, and the statements must cover the
// script in order, each one's text and line where the script has them.
#include "editor/CompletionSource.h"
#include "editor/StatementSplitter.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString script = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    static CompletionSource source;
    static bool ready = false;
    if (!ready) {
        source.setCatalogue(
            {{"public", "customer", QStringList{"id", "Name"}}, {"sales", "Order Lines", std::nullopt}},
            QStringLiteral("public"));
        source.setColumnReader([](const QString &, const QString &) { return QStringList{"a", "b c"}; });
        ready = true;
    }
    for (SqlDialect dialect : {SqlDialect::Standard, SqlDialect::Sqlite, SqlDialect::PostgreSql,
                               SqlDialect::MySql, SqlDialect::SqlServer, SqlDialect::Access}) {
        const QList<SqlStatement> statements = StatementSplitter(dialect).split(script);
        qsizetype previous = 0;
        int line = 1;
        for (const SqlStatement &s : statements) {
            check(previous <= s.start && s.start < s.end && s.end <= s.terminatorEnd &&
                  s.terminatorEnd <= script.size());
            check(s.text == script.mid(s.start, s.end - s.start));
            line += int(QStringView(script).mid(previous, s.start - previous).count(u'\n'));
            check(s.line == line);
            line += int(QStringView(script).mid(s.start, s.terminatorEnd - s.start).count(u'\n'));
            previous = s.terminatorEnd;
        }
        for (qsizetype cursor : {qsizetype(0), script.size() / 2, script.size()}) {
            const std::optional<SqlStatement> at = StatementSplitter::statementAt(statements, script, cursor);
            check(at.has_value() == !statements.isEmpty());
        }
        // Completion where the text runs out, as while typing.
        source.setDialect(dialect);
        const Completion completion = source.complete(script, script.size());
        check(completion.start >= 0 && completion.start <= script.size());
    }
    return 0;
}
