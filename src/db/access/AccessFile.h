#pragma once

#include "db/DataAccess.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <mdbtools.h>

#include <mutex>
#include <optional>
#include <vector>

// An Access file opened read-only through libmdb: its catalogue (tables, columns, indexes)
// read once at open, relationships on first use, and row readers for the SQL side.

struct AccessColumn
{
    QString name;
    int mdbType = 0;
    AdoType type = AdoType::Variant;
    qint64 definedSize = 0;
    int precision = 0;
    int scale = 0;
    bool autoIncrement = false;
    bool nullable = true;
    QByteArray declType; // the column's type as the SQL side declares it
};

struct AccessTable
{
    QString name;
    bool system = false;
    QList<AccessColumn> columns;
    QList<IndexInfo> indexes; // unique (primary included) first, then by name
    QStringList primaryKey;   // key columns in order
};

// ADO type, size and SQL declaration of a libmdb column type. colSize is in bytes as the file
// stores it; text sizes are given in characters (two bytes each, except in Jet 3 files).
struct AccessType
{
    AdoType type = AdoType::Variant;
    qint64 definedSize = 0;
    int precision = 0;
    int scale = 0;
    QByteArray declType;
};
AccessType accessColumnType(int mdbType, int colSize, int precision, int scale, bool jet3);

// One value of a row, as the SQL side receives it.
struct AccessValue
{
    enum class Kind { Null, Int, Double, Text, Blob } kind = Kind::Null;
    qint64 integer = 0;
    double real = 0;
    QByteArray bytes; // UTF-8 text or raw bytes
};

// Days since 1899-12-30 (the file's date representation) as "YYYY-MM-DD HH:MM:SS".
QByteArray accessDateText(double days);

class AccessFile
{
public:
    // Throws DataAccessError naming the file when it is missing, unreadable, no Access
    // database, or damaged.
    explicit AccessFile(const QString &path);
    ~AccessFile();
    AccessFile(const AccessFile &) = delete;
    AccessFile &operator=(const AccessFile &) = delete;

    const QString &path() const { return m_path; }
    const QList<AccessTable> &tables() const { return m_tables; }
    // Index of the table with this name (letter case ignored), -1 when absent.
    int tableIndex(const QString &name) const;
    // Every relationship between user tables, in MSysRelationships order.
    QList<ForeignKeyInfo> relationships();

    // libmdb is not thread-safe; readers and catalogue work take this lock.
    std::mutex &mutex() { return m_mutex; }
    MdbHandle *handle() const { return m_mdb; }
    bool jet3() const;
    // The reader whose page is in the handle's page buffer (nullptr: someone else's).
    const void *pageOwner = nullptr;

private:
    void readCatalogue();

    QString m_path;
    MdbHandle *m_mdb = nullptr;
    std::vector<MdbCatalogEntry *> m_entries; // parallel to m_tables
    QList<AccessTable> m_tables;
    std::optional<QList<ForeignKeyInfo>> m_relationships;
    std::mutex m_mutex;

    friend class AccessRowReader;
};

// Reads the rows of one table from first to last. Each reader has its own position, so
// several may be open at once (joins); the caller holds the file's mutex around each call.
class AccessRowReader
{
public:
    AccessRowReader(AccessFile &file, int tableIndex);
    ~AccessRowReader();
    AccessRowReader(const AccessRowReader &) = delete;
    AccessRowReader &operator=(const AccessRowReader &) = delete;

    int columnCount() const { return int(m_columns.size()); }
    void rewind();
    // Moves to the next row; false at the end.
    bool next();
    AccessValue value(int column);

private:
    QByteArray lval(const MdbField &field);
    QString text(const unsigned char *bytes, int length) const;

    AccessFile &m_file;
    MdbTableDef *m_table = nullptr;
    std::vector<MdbColumn *> m_columns;
    std::vector<MdbField> m_fields;    // cracked row, by column
    std::vector<unsigned char> m_page; // copy of the page the current row is on
    unsigned long m_pageNumber = 0;
    bool m_started = false;
    bool m_onRow = false;
};
