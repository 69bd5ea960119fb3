#include "connection/CatalogueReader.h"

#include "common/ErrorText.h"

#include <QHash>
#include <QPair>

#include <functional>

namespace {

using ObjectKey = QPair<QString, QString>; // schema, name

ColumnInfo columnFromField(const TableInfo &table, const FieldInfo &field, int ordinal)
{
    ColumnInfo column;
    column.schema = table.schema;
    column.table = table.name;
    column.name = field.name;
    column.ordinal = ordinal;
    column.nullable = field.nullable;
    column.type = field.type;
    column.definedSize = field.definedSize;
    column.precision = field.precision;
    column.scale = field.scale;
    column.autoIncrement = field.autoIncrement;
    return column;
}

// One reading of the catalogue, on the connection's worker.
class Reading
{
public:
    Reading(Connection &connection, Catalogue &catalogue) : m_connection(connection), m_catalogue(catalogue)
    {
    }

    void run(CatalogueReader::Detail detail)
    {
        for (const TableInfo &table : m_connection.tables()) {
            if (CatalogueReader::listed(table)) {
                m_index.insert({table.schema, table.name}, int(m_catalogue.objects.size()));
                m_catalogue.objects.append({table, {}, {}, {}, {}});
            }
        }
        if (m_catalogue.objects.isEmpty())
            return;
        try {
            m_defaultSchema = m_connection.defaultSchema();
            m_catalogue.defaultSchema = m_defaultSchema;
        } catch (const std::exception &e) {
            letLostSessionThrough(e);
            // Only the error lines' names depend on it: they are then qualified.
            if (stopped())
                return;
        }

        readDetail<ColumnInfo>([this] { return m_connection.columns(QString(), QString()); },
                               [this](const TableInfo &t) { return m_connection.columns(t.schema, t.name); },
                               [](const ColumnInfo &c) { return ObjectKey(c.schema, c.table); },
                               [](CatalogueObject &o) -> QList<ColumnInfo> & { return o.columns; });
        probeObjectsWithoutColumns();
        if (detail != CatalogueReader::Detail::ColumnsAndKeys)
            return;
        readDetail<KeyColumnInfo>(
            [this] { return m_connection.primaryKeys(QString(), QString()); },
            [this](const TableInfo &t) { return m_connection.primaryKeys(t.schema, t.name); },
            [](const KeyColumnInfo &k) { return ObjectKey(k.schema, k.table); },
            [](CatalogueObject &o) -> QList<KeyColumnInfo> & { return o.primaryKeys; });
        readDetail<ForeignKeyInfo>(
            [this] { return m_connection.foreignKeys(QString(), QString()); },
            [this](const TableInfo &t) { return m_connection.foreignKeys(t.schema, t.name); },
            [](const ForeignKeyInfo &k) { return ObjectKey(k.fkSchema, k.fkTable); },
            [](CatalogueObject &o) -> QList<ForeignKeyInfo> & { return o.foreignKeys; });
    }

private:
    // True once Cancel was pressed: nothing more is read.
    bool stopped()
    {
        if (m_connection.cancelRequested())
            m_catalogue.cancelled = true;
        return m_catalogue.cancelled;
    }

    void fail(CatalogueObject &object, const std::exception &e)
    {
        object.errors.append(CatalogueReader::errorLine(object.table, m_defaultSchema, errorText(e)));
    }

    // One request for every object; when that fails as a whole, one request per object not
    // known to be broken, so that each object's own error is recorded and the others come.
    template <typename Item>
    void readDetail(const std::function<QList<Item>()> &all,
                    const std::function<QList<Item>(const TableInfo &)> &one,
                    const std::function<ObjectKey(const Item &)> &owner,
                    const std::function<QList<Item> &(CatalogueObject &)> &slot)
    {
        if (stopped())
            return;
        try {
            QList<Item> items = all();
            for (Item &item : items) {
                const auto at = m_index.constFind(owner(item));
                if (at != m_index.constEnd())
                    slot(m_catalogue.objects[*at]).append(std::move(item));
            }
            return;
        } catch (const std::exception &e) {
            letLostSessionThrough(e);
            if (stopped())
                return;
        }
        for (CatalogueObject &object : m_catalogue.objects) {
            if (!object.errors.isEmpty())
                continue;
            if (stopped())
                return;
            try {
                slot(object) = one(object.table);
            } catch (const std::exception &e) {
                letLostSessionThrough(e);
                if (stopped())
                    return;
                fail(object, e);
            }
        }
    }

    // Some servers leave a broken view out of the columns rowset with no more than a warning
    // (MariaDB); its table definition then says what is wrong.
    void probeObjectsWithoutColumns()
    {
        for (CatalogueObject &object : m_catalogue.objects) {
            if (!object.columns.isEmpty() || !object.errors.isEmpty())
                continue;
            if (stopped())
                return;
            try {
                const TableMetadata metadata =
                    m_connection.tableMetadata(object.table.schema, object.table.name);
                for (const FieldInfo &field : metadata.fields)
                    object.columns.append(
                        columnFromField(object.table, field, int(object.columns.size()) + 1));
            } catch (const std::exception &e) {
                letLostSessionThrough(e);
                if (stopped())
                    return;
                fail(object, e);
            }
        }
    }

    Connection &m_connection;
    Catalogue &m_catalogue;
    QHash<ObjectKey, int> m_index;
    QString m_defaultSchema;
};

} // namespace

bool CatalogueReader::listed(const TableInfo &table)
{
    return table.type == QLatin1String("TABLE") || table.type == QLatin1String("VIEW");
}

QString CatalogueReader::errorLine(const TableInfo &table, const QString &defaultSchema, const QString &text)
{
    const QString name = table.schema.isEmpty() || table.schema == defaultSchema
                             ? table.name
                             : table.schema + QLatin1Char('.') + table.name;
    return objectErrorText(name, text);
}

QString CatalogueReader::cancelledText()
{
    return QStringLiteral("Reading the catalogue was cancelled: its details are incomplete.");
}

Catalogue CatalogueReader::read(Detail detail) const
{
    Catalogue catalogue;
    m_connection.run([&] { Reading(m_connection, catalogue).run(detail); });
    return catalogue;
}
