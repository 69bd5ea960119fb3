#include "editor/CompletionSource.h"

#include "common/ErrorText.h"
#include "common/NameCompare.h"
#include "db/SqlDialectRules.h"
#include "editor/SqlScanner.h"
#include "editor/StatementSplitter.h"

#include <QSet>

#include <algorithm>

namespace {

using Token = SqlScanner::Token;

struct Tok
{
    Token type;
    qsizetype start;
    qsizetype end;
};

// The tokens of [from, to) that are neither blanks nor comments.
QList<Tok> significantTokens(const SqlScanner &scanner, qsizetype from, qsizetype to)
{
    QList<Tok> tokens;
    qsizetype pos = from;
    while (pos < to) {
        qsizetype end = pos;
        const Token type = scanner.scan(pos, &end);
        if (type == Token::End)
            break;
        if (type != Token::Blank && type != Token::Comment)
            tokens.append({type, pos, end});
        pos = end;
    }
    return tokens;
}

bool isName(const Tok &t)
{
    return t.type == Token::Word || t.type == Token::QuotedName;
}

bool isSymbol(const SqlScanner &scanner, const Tok &t, char16_t symbol)
{
    return t.type == Token::Symbol && scanner.text()[t.start] == symbol;
}

bool isWord(const SqlScanner &scanner, const Tok &t, const char *word)
{
    return t.type == Token::Word && scanner.text()
                                            .mid(t.start, t.end - t.start)
                                            .compare(QLatin1StringView(word), Qt::CaseInsensitive) == 0;
}

// Words that end a table reference where an alias could stand.
bool endsReference(const SqlScanner &scanner, const Tok &t)
{
    static const QSet<QString> clauseWords{
        "as",      "cross",  "default",   "else",          "end",         "except",    "fetch",
        "for",     "force",  "from",      "full",          "group",       "having",    "ignore",
        "index",   "inner",  "intersect", "join",          "lateral",     "left",      "limit",
        "natural", "offset", "on",        "order",         "outer",       "partition", "returning",
        "right",   "select", "set",       "straight_join", "tablesample", "then",      "union",
        "use",     "using",  "values",    "when",          "where",       "window",    "with"};
    if (t.type != Token::Word)
        return false;
    const QString word = scanner.text().mid(t.start, t.end - t.start).toString().toLower();
    return clauseWords.contains(word) || SqlDialectRules::of(scanner.dialect()).isReserved(word);
}

// The tables the tokens name. A name still being typed (one that reaches the cursor, or ends
// in a dot) names none yet.
QList<TableReference> referencesIn(const SqlScanner &scanner, const QList<Tok> &tokens, qsizetype cursor = -1)
{
    QList<TableReference> references;
    const qsizetype n = tokens.size();
    qsizetype i = 0;
    while (i < n) {
        const Tok &t = tokens[i++];
        const bool list = isWord(scanner, t, "FROM");
        if (!list && !isWord(scanner, t, "JOIN") && !isWord(scanner, t, "UPDATE") &&
            !isWord(scanner, t, "INTO"))
            continue;
        for (;;) {
            if (i < n && isSymbol(scanner, tokens[i], u'(')) {
                // A subquery: its own FROM is read on the way; its alias names no table.
                break;
            }
            QStringList parts;
            bool typing = false;
            while (i < n && isName(tokens[i]) && !endsReference(scanner, tokens[i])) {
                parts.append(scanner.name(tokens[i].start, tokens[i].end));
                typing = typing || tokens[i].end == cursor;
                ++i;
                if (i < n && isSymbol(scanner, tokens[i], u'.') && (i + 1 == n || !isName(tokens[i + 1])))
                    typing = true;
                if (parts.size() < 3 && i + 1 < n && isSymbol(scanner, tokens[i], u'.') &&
                    isName(tokens[i + 1]))
                    ++i;
                else
                    break;
            }
            if (parts.isEmpty())
                break;
            if (typing)
                parts.clear();
            TableReference reference;
            if (!parts.isEmpty())
                reference.name = parts.takeLast();
            if (!parts.isEmpty())
                reference.schema = parts.takeLast();
            if (i < n && isWord(scanner, tokens[i], "AS"))
                ++i;
            if (i < n && isName(tokens[i]) && !endsReference(scanner, tokens[i])) {
                reference.alias = scanner.name(tokens[i].start, tokens[i].end);
                ++i;
            }
            if (!reference.name.isEmpty())
                references.append(reference);
            if (!(list && i < n && isSymbol(scanner, tokens[i], u',')))
                break;
            ++i;
        }
    }
    return references;
}

QString cacheKey(const QString &schema, const QString &name)
{
    return schema.toLower() + QChar(u'\x1f') + name.toLower();
}

} // namespace

void CompletionSource::setCatalogue(const QList<CompletionTable> &tables, const QString &defaultSchema)
{
    m_tables = tables;
    m_defaultSchema = defaultSchema;
    m_byName.clear();
    m_schemas.clear();
    m_readColumns.clear();
    QSet<QString> schemas;
    for (int i = 0; i < m_tables.size(); ++i) {
        const CompletionTable &table = m_tables[i];
        m_byName[table.name.toLower()].append(i);
        if (!table.schema.isEmpty() && !schemas.contains(table.schema.toLower())) {
            schemas.insert(table.schema.toLower());
            m_schemas.append(table.schema);
        }
    }
}

const CompletionTable *CompletionSource::findTable(const QString &schema, const QString &name) const
{
    const CompletionTable *found = nullptr;
    int score = -1;
    for (int index : m_byName.value(name.toLower())) {
        const CompletionTable &table = m_tables[index];
        if (!schema.isEmpty() && !sameName(schema, table.schema))
            continue;
        // The same spelling first, then the default schema.
        const int s = (table.name == name ? 2 : 0) +
                      (schema.isEmpty() && sameName(table.schema, m_defaultSchema) ? 1 : 0);
        if (s > score) {
            score = s;
            found = &table;
        }
    }
    return found;
}

QStringList CompletionSource::columnsOf(const TableReference &reference, bool read) const
{
    const CompletionTable *table = findTable(reference.schema, reference.name);
    if (table && table->columns)
        return *table->columns;
    const QString schema = table ? table->schema : reference.schema;
    const QString name = table ? table->name : reference.name;
    const QString key = cacheKey(schema, name);
    const auto cached = m_readColumns.constFind(key);
    if (cached != m_readColumns.constEnd())
        return *cached;
    if (!read)
        return {};
    QStringList columns;
    if (m_reader) {
        try {
            std::optional<QStringList> answer = m_reader(schema, name);
            if (!answer)
                return {};
            columns = std::move(*answer);
            columns.removeDuplicates();
        } catch (const std::exception &e) {
            if (m_readError)
                m_readError(objectErrorText(name, errorText(e)));
        }
    }
    m_readColumns.insert(key, columns);
    return columns;
}

void CompletionSource::addColumns(const QString &schema, const QString &table, QStringList columns)
{
    columns.removeDuplicates();
    m_readColumns.insert(cacheKey(schema, table), std::move(columns));
}

QList<TableReference> CompletionSource::references(const QString &statement) const
{
    const SqlScanner scanner(m_dialect, statement);
    return referencesIn(scanner, significantTokens(scanner, 0, statement.size()));
}

Completion CompletionSource::complete(const QString &script, qsizetype cursor) const
{
    cursor = std::clamp<qsizetype>(cursor, 0, script.size());
    Completion result;
    result.start = cursor;

    // The statement the cursor is in; after a statement's terminator a new one begins.
    const std::optional<SqlStatement> statement =
        StatementSplitter::statementAt(StatementSplitter(m_dialect).split(script), script, cursor);
    qsizetype from = cursor;
    qsizetype to = cursor;
    // Where the tokens are read from to find the one at the cursor: outside a statement only
    // blanks and comments lie between the last one and the cursor.
    qsizetype scanFrom = 0;
    if (statement && cursor >= statement->start &&
        (cursor < statement->terminatorEnd || statement->terminatorEnd == statement->end)) {
        from = scanFrom = statement->start;
        to = std::max(statement->end, cursor);
    } else if (statement && statement->terminatorEnd <= cursor) {
        scanFrom = statement->terminatorEnd;
    }
    const SqlScanner scanner(m_dialect, script);

    // The word being typed: a plain word, or a name in quotes not yet closed.
    bool quoted = false;
    qsizetype pos = scanFrom;
    while (pos < cursor) {
        qsizetype end = pos;
        const Token type = scanner.scan(pos, &end);
        if (end >= cursor) {
            const bool open = end == script.size(); // a quote or comment left open
            if (type == Token::Word) {
                result.start = pos;
            } else if (type == Token::QuotedName) {
                result.start = pos;
                quoted = true;
            } else if (type == Token::String || type == Token::Code) {
                if (end > cursor || open)
                    return result; // nothing to offer inside a string
            } else if (type == Token::Comment) {
                const bool lineComment = script[pos] != u'/';
                if (end > cursor || open || lineComment)
                    return result; // nor inside a comment
            }
            break;
        }
        pos = end;
    }
    result.prefix =
        quoted ? scanner.name(result.start, cursor) : script.mid(result.start, cursor - result.start);

    const QList<Tok> tokens = significantTokens(scanner, from, to);
    const QList<TableReference> references = referencesIn(scanner, tokens, cursor);

    // "q0.q1." or "q1." right before the word.
    QString q0, q1;
    {
        qsizetype k = -1;
        for (qsizetype i = 0; i < tokens.size() && tokens[i].start < result.start; ++i)
            k = i;
        if (k >= 1 && tokens[k].end == result.start && isSymbol(scanner, tokens[k], u'.') &&
            isName(tokens[k - 1]) && tokens[k - 1].end == tokens[k].start) {
            result.qualified = true;
            q1 = scanner.name(tokens[k - 1].start, tokens[k - 1].end);
            if (k >= 3 && isSymbol(scanner, tokens[k - 2], u'.') &&
                tokens[k - 2].end == tokens[k - 1].start && isName(tokens[k - 3]) &&
                tokens[k - 3].end == tokens[k - 2].start)
                q0 = scanner.name(tokens[k - 3].start, tokens[k - 3].end);
        } else if (k >= 0 && tokens[k].end == result.start && isSymbol(scanner, tokens[k], u'.')) {
            result.qualified = true; // after something that names no table: nothing to offer
        }
    }

    const SqlDialectRules &rules = SqlDialectRules::of(m_dialect);
    const auto quote = [&](const QString &name) {
        return quoted ? rules.enclose(name) : rules.quoteIdentifier(name);
    };
    // One list a kind, each by name; the keywords come sorted from the dialect.
    QList<CompletionItem> lists[4];
    QSet<QString> seen;
    const auto add = [&](CompletionItem::Kind kind, const QString &label, const QString &text) {
        if (!label.startsWith(result.prefix, Qt::CaseInsensitive))
            return;
        const QString key = QString::number(int(kind)) + label;
        if (seen.contains(key))
            return;
        seen.insert(key);
        lists[int(kind)].append({kind, label, text});
    };
    // Only a name followed by a dot asks the database for columns the catalogue lacks: typing
    // elsewhere never waits for it.
    const auto addColumns = [&](const TableReference &reference) {
        for (const QString &column : columnsOf(reference, result.qualified))
            add(CompletionItem::Kind::Column, column, quote(column));
    };

    if (result.qualified) {
        if (q1.isEmpty())
            return result;
        bool found = false;
        for (const TableReference &reference : references) {
            const bool named = q0.isEmpty() ? sameName(reference.alias, q1)
                                            : sameName(reference.schema, q0) && sameName(reference.name, q1);
            if (named) {
                addColumns(reference);
                found = true;
            }
        }
        if (!found && q0.isEmpty()) {
            for (const TableReference &reference : references) {
                if (sameName(reference.name, q1)) {
                    addColumns(reference);
                    found = true;
                }
            }
        }
        if (!found && q0.isEmpty() && containsName(m_schemas, q1)) {
            for (const CompletionTable &table : m_tables) {
                if (sameName(table.schema, q1))
                    add(CompletionItem::Kind::Table, table.name, quote(table.name));
            }
        }
    } else {
        for (const TableReference &reference : references)
            addColumns(reference);
        for (const CompletionTable &table : m_tables) {
            if (table.schema.isEmpty() || m_defaultSchema.isEmpty() ||
                sameName(table.schema, m_defaultSchema))
                add(CompletionItem::Kind::Table, table.name, quote(table.name));
        }
        for (const QString &schema : m_schemas)
            add(CompletionItem::Kind::Schema, schema, quote(schema));
        if (!quoted) {
            const bool lower = !result.prefix.isEmpty() && result.prefix == result.prefix.toLower();
            for (const QString &word : rules.reservedWords()) {
                if (word.startsWith(result.prefix, Qt::CaseInsensitive)) {
                    const QString text = lower ? word : word.toUpper();
                    lists[int(CompletionItem::Kind::Keyword)].append(
                        {CompletionItem::Kind::Keyword, text, text});
                }
            }
        }
    }

    for (int kind = 0; kind < 4; ++kind) {
        QList<CompletionItem> &list = lists[kind];
        if (kind != int(CompletionItem::Kind::Keyword))
            std::stable_sort(list.begin(), list.end(), [](const CompletionItem &x, const CompletionItem &y) {
                return lessName(x.label, y.label);
            });
        result.items += list;
    }
    return result;
}
