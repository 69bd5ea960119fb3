#pragma once

#include "db/DataAccess.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// One entry of the completion list.
struct CompletionItem
{
    enum class Kind { Column, Table, Schema, Keyword };

    Kind kind = Kind::Keyword;
    QString label; // the name as the list shows it
    QString text;  // what replaces the word typed: the name quoted by the dialect's rule where needed
};

// What to offer at a place in a script.
struct Completion
{
    // The word typed so far runs from start to the cursor (an opening quote included); the
    // chosen item's text replaces it.
    qsizetype start = 0;
    QString prefix; // that word, without its quote
    // The word follows "name." (a table, an alias or a schema).
    bool qualified = false;
    QList<CompletionItem> items; // columns, tables, schemas, then keywords; each by name
};

// A table or view of the catalogue; columns unknown until described.
struct CompletionTable
{
    QString schema;
    QString name;
    std::optional<QStringList> columns;
};

// A table a statement names, with the alias it gives it.
struct TableReference
{
    QString schema;
    QString name;
    QString alias;
};

// The completion list of the SQL editor: the dialect's keywords, the schemas and tables of the
// catalogue read for the tree, and after "alias." or "table." the columns of that table, found
// among the tables the statement itself names (FROM, JOIN, UPDATE, INTO). A table whose columns
// the catalogue lacks is described once through a reader the window gives (the connection's
// worker) and remembered until the catalogue is set again (Refresh).
class CompletionSource
{
public:
    // The columns of a table, read from the database; throws on failure. No answer (nullopt) when
    // they are not known yet: the reader fetches them later and hands them in with addColumns.
    using ColumnReader =
        std::function<std::optional<QStringList>(const QString &schema, const QString &table)>;

    explicit CompletionSource(SqlDialect dialect = SqlDialect::Standard) : m_dialect(dialect) {}

    void setDialect(SqlDialect dialect) { m_dialect = dialect; }
    SqlDialect dialect() const { return m_dialect; }
    // Replaces the catalogue and forgets every column read since.
    void setCatalogue(const QList<CompletionTable> &tables, const QString &defaultSchema);
    void clear() { setCatalogue({}, QString()); }
    void setColumnReader(ColumnReader reader) { m_reader = std::move(reader); }
    // Told the text of a failed read of columns (which is then not tried again until Refresh).
    void setReadErrorHandler(std::function<void(const QString &)> handler)
    {
        m_readError = std::move(handler);
    }

    // Columns read for a table that the catalogue left undescribed, kept until it is set again.
    void addColumns(const QString &schema, const QString &table, QStringList columns);

    Completion complete(const QString &script, qsizetype cursor) const;

    // The tables a statement names, in the order it names them.
    QList<TableReference> references(const QString &statement) const;

private:
    const CompletionTable *findTable(const QString &schema, const QString &name) const;
    // The columns of a table: from the catalogue, from those read before, or (when read is set)
    // read now.
    QStringList columnsOf(const TableReference &reference, bool read) const;

    SqlDialect m_dialect;
    QList<CompletionTable> m_tables;
    QHash<QString, QList<int>> m_byName; // lower-case name -> indexes into m_tables
    QStringList m_schemas;
    QString m_defaultSchema;
    ColumnReader m_reader;
    std::function<void(const QString &)> m_readError;
    mutable QHash<QString, QStringList> m_readColumns;
};
