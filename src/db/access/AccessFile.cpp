#include "db/access/AccessFile.h"

#include "common/NameCompare.h"
#include "db/access/AccessPropertyCheck.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr int OffsetMask = 0x1fff;
constexpr int MemoOverhead = 12;

quint32 le32(const unsigned char *p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

quint16 le16(const unsigned char *p)
{
    return quint16(p[0] | p[1] << 8);
}

__extension__ typedef unsigned __int128 UInt128;

// Jet's exact numeric: a sign byte, then a 128-bit integer as four 32-bit words, most
// significant first, each stored little-endian.
AccessValue numericValue(const unsigned char *p, int scale)
{
    UInt128 magnitude = 0;
    for (int word = 0; word < 4; ++word)
        magnitude = magnitude << 32 | le32(p + 1 + 4 * word);
    const bool negative = (p[0] & 0x80) != 0;
    QByteArray digits;
    do {
        digits.prepend(char('0' + int(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude != 0);
    AccessValue value;
    if (scale <= 0 && digits.size() <= 18) {
        value.kind = AccessValue::Kind::Int;
        value.integer = digits.toLongLong() * (negative ? -1 : 1);
        return value;
    }
    while (digits.size() <= scale)
        digits.prepend('0');
    if (scale > 0)
        digits.insert(digits.size() - scale, '.');
    if (negative)
        digits.prepend('-');
    value.kind = AccessValue::Kind::Double;
    value.real = std::strtod(digits.constData(), nullptr);
    return value;
}

QByteArray guidText(const unsigned char *p)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  p[3], p[2], p[1], p[0], p[5], p[4], p[7], p[6], p[8], p[9], p[10], p[11], p[12], p[13],
                  p[14], p[15]);
    return QByteArray(text);
}

QString fileError(const QString &text, const QString &path)
{
    return text.arg(path);
}

} // namespace

AccessType accessColumnType(int mdbType, int colSize, int precision, int scale, bool jet3)
{
    AccessType t;
    switch (mdbType) {
    case MDB_BOOL:
        t.type = AdoType::Boolean;
        t.declType = "BOOLEAN";
        break;
    case MDB_BYTE:
        t.type = AdoType::UnsignedTinyInt;
        t.declType = "UNSIGNED TINYINT";
        break;
    case MDB_INT:
        t.type = AdoType::SmallInt;
        t.declType = "SMALLINT";
        break;
    case MDB_LONGINT:
        t.type = AdoType::Integer;
        t.declType = "INTEGER";
        break;
    case MDB_MONEY:
        t.type = AdoType::Currency;
        t.declType = "CURRENCY";
        break;
    case MDB_FLOAT:
        t.type = AdoType::Single;
        t.declType = "SINGLE FLOAT";
        break;
    case MDB_DOUBLE:
        t.type = AdoType::Double;
        t.declType = "DOUBLE";
        break;
    case MDB_DATETIME:
        t.type = AdoType::Date;
        t.declType = "DATETIME";
        break;
    case MDB_BINARY:
        t.type = AdoType::VarBinary;
        t.definedSize = colSize;
        t.declType = "VARBINARY(" + QByteArray::number(colSize) + ')';
        break;
    case MDB_TEXT:
        t.type = AdoType::VarWChar;
        t.definedSize = jet3 ? colSize : colSize / 2;
        t.declType = "VARCHAR(" + QByteArray::number(t.definedSize) + ')';
        break;
    case MDB_OLE:
        t.type = AdoType::LongVarBinary;
        t.declType = "BLOB";
        break;
    case MDB_MEMO:
        t.type = AdoType::LongVarWChar;
        t.declType = "TEXT";
        break;
    case MDB_REPID:
        t.type = AdoType::GUID;
        t.declType = "GUID";
        break;
    case MDB_NUMERIC:
        t.type = AdoType::Numeric;
        t.precision = precision;
        t.scale = scale;
        t.declType = "NUMERIC(" + QByteArray::number(precision) + ',' + QByteArray::number(scale) + ')';
        break;
    case MDB_COMPLEX:
        t.type = AdoType::LongVarBinary;
        t.declType = "BLOB";
        break;
    default:
        t.type = AdoType::Variant;
        t.declType = "VARIANT";
        break;
    }
    return t;
}

QByteArray accessDateText(double days)
{
    if (!std::isfinite(days) || std::fabs(days) > 3e6)
        return QByteArray();
    // Before 1899-12-30 the whole days count backwards while the time of day still counts forward.
    double whole = std::trunc(days);
    qint64 seconds = qint64(std::llround(std::fabs(days - whole) * 86400.0));
    if (seconds >= 86400) {
        seconds -= 86400;
        whole += days < 0 ? -1 : 1;
    }
    const QDate date = QDate(1899, 12, 30).addDays(qint64(whole));
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", date.year(), date.month(), date.day(),
                  int(seconds / 3600), int(seconds / 60 % 60), int(seconds % 60));
    return QByteArray(text);
}

AccessFile::AccessFile(const QString &path) : m_path(path)
{
    if (path.isEmpty())
        throw DataAccessError(QStringLiteral("No database file was given (Data Source)."));
    const QFileInfo info(path);
    if (!info.exists())
        throw DataAccessError(fileError(QStringLiteral("The database file %1 does not exist."), path));
    if (!info.isFile())
        throw DataAccessError(fileError(QStringLiteral("%1 is not a database file."), path));

    // libmdb trusts the file's header; look at it first so that other files fail cleanly.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw DataAccessError(
            QStringLiteral("The database file %1 cannot be read: %2").arg(path, file.errorString()));
    const QByteArray header = file.read(0x20);
    const qint64 size = file.size();
    file.close();
    const bool signature = header.size() == 0x20 && header.startsWith(QByteArray("\x00\x01\x00\x00", 4)) &&
                           (header.mid(4, 15) == "Standard Jet DB" || header.mid(4, 15) == "Standard ACE DB");
    if (!signature)
        throw DataAccessError(
            fileError(QStringLiteral("The file %1 is not a Microsoft Access database."), path));
    const int version = static_cast<unsigned char>(header.at(0x14));
    if (version > MDB_VER_ACCDB_2019)
        throw DataAccessError(fileError(
            QStringLiteral("The file %1 is an Access database of a version that cannot be read."), path));
    const qint64 pageSize = version == MDB_VER_JET3 ? 2048 : 4096;
    if (size < 3 * pageSize || size % pageSize != 0)
        throw DataAccessError(
            fileError(QStringLiteral("The Access database %1 is damaged or incomplete."), path));

    m_mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    if (!m_mdb)
        throw DataAccessError(fileError(QStringLiteral("The Access database %1 cannot be opened."), path));
    try {
        if (!catalogPropertiesAreSound(m_mdb))
            throw DataAccessError(fileError(
                QStringLiteral("The Access database %1 is damaged: its catalogue cannot be read."), path));
        readCatalogue();
    } catch (...) {
        mdb_close(m_mdb);
        m_mdb = nullptr;
        throw;
    }
}

AccessFile::~AccessFile()
{
    if (m_mdb)
        mdb_close(m_mdb);
}

bool AccessFile::jet3() const
{
    return m_mdb->f->jet_version == MDB_VER_JET3;
}

int AccessFile::tableIndex(const QString &name) const
{
    for (qsizetype i = 0; i < m_tables.size(); ++i) {
        if (sameName(m_tables[i].name, name))
            return int(i);
    }
    return -1;
}

void AccessFile::readCatalogue()
{
    GPtrArray *catalogue = mdb_read_catalog(m_mdb, MDB_TABLE);
    if (!catalogue)
        throw DataAccessError(fileError(
            QStringLiteral("The Access database %1 is damaged: its catalogue cannot be read."), m_path));
    pageOwner = nullptr;

    struct Entry
    {
        AccessTable table;
        MdbCatalogEntry *entry;
    };
    std::vector<Entry> entries;
    for (guint i = 0; i < catalogue->len; ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(catalogue, i));
        if (entry->object_type != MDB_TABLE)
            continue;
        AccessTable table;
        table.name = QString::fromUtf8(entry->object_name);
        table.system = !mdb_is_user_table(entry) ||
                       table.name.startsWith(QLatin1StringView("MSys"), Qt::CaseInsensitive);

        MdbTableDef *def = mdb_read_table(entry);
        if (!def) {
            if (table.system)
                continue;
            throw DataAccessError(
                QStringLiteral("The Access database %1 is damaged: the table %2 cannot be read.")
                    .arg(m_path, table.name));
        }
        mdb_read_columns(def);
        mdb_read_indices(def);

        QList<bool> required(def->num_cols, false);
        for (guint x = 0; x < def->num_idxs; ++x) {
            const auto *index = static_cast<MdbIndex *>(g_ptr_array_index(def->indices, x));
            // Relationship indexes are hidden by Access; they are no user's index.
            if (index->index_type == 2)
                continue;
            IndexInfo info;
            info.table = table.name;
            info.name = QString::fromUtf8(index->name);
            info.primaryKey = index->index_type == 1;
            info.unique = info.primaryKey || (index->flags & MDB_IDX_UNIQUE);
            for (unsigned k = 0; k < index->num_keys && k < MDB_MAX_IDX_COLS; ++k) {
                const int column = index->key_col_num[k] - 1;
                if (column < 0 || column >= int(def->num_cols))
                    continue;
                const auto *col = static_cast<MdbColumn *>(g_ptr_array_index(def->columns, column));
                info.columns.append(QString::fromUtf8(col->name));
                if (info.primaryKey || (index->flags & MDB_IDX_REQUIRED))
                    required[column] = true;
            }
            if (info.columns.isEmpty())
                continue;
            if (info.primaryKey)
                table.primaryKey = info.columns;
            table.indexes.append(info);
        }
        std::sort(table.indexes.begin(), table.indexes.end(), [](const IndexInfo &a, const IndexInfo &b) {
            if (a.unique != b.unique)
                return a.unique;
            return lessName(a.name, b.name);
        });

        for (guint c = 0; c < def->num_cols; ++c) {
            const auto *col = static_cast<MdbColumn *>(g_ptr_array_index(def->columns, c));
            AccessColumn column;
            column.name = QString::fromUtf8(col->name);
            column.mdbType = col->col_type;
            const AccessType type =
                accessColumnType(col->col_type, col->col_size, col->col_prec, col->col_scale, jet3());
            column.type = type.type;
            column.definedSize = type.definedSize;
            column.precision = type.precision;
            column.scale = type.scale;
            column.declType = type.declType;
            column.autoIncrement = col->is_long_auto != 0;
            const char *requiredProp = mdb_col_get_prop(col, "Required");
            const bool requiredByProperty = requiredProp && g_ascii_strcasecmp(requiredProp, "yes") == 0;
            column.nullable = !requiredByProperty && !required[c];
            table.columns.append(column);
        }
        mdb_free_tabledef(def);
        entries.push_back({table, entry});
    }
    pageOwner = nullptr;

    std::stable_sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        if (a.table.system != b.table.system)
            return b.table.system;
        return lessName(a.table.name, b.table.name);
    });
    for (const Entry &e : entries) {
        m_tables.append(e.table);
        m_entries.push_back(e.entry);
    }
}

QList<ForeignKeyInfo> AccessFile::relationships()
{
    if (m_relationships)
        return *m_relationships;
    QList<ForeignKeyInfo> result;
    const int index = tableIndex(QStringLiteral("MSysRelationships"));
    if (index >= 0) {
        const AccessTable &table = m_tables[index];
        auto columnOf = [&table](const char *name) {
            for (qsizetype c = 0; c < table.columns.size(); ++c) {
                if (sameName(table.columns[c].name, QString::fromUtf8(name)))
                    return int(c);
            }
            return -1;
        };
        const int object = columnOf("szObject"), column = columnOf("szColumn"),
                  referenced = columnOf("szReferencedObject"),
                  referencedColumn = columnOf("szReferencedColumn"), ordinal = columnOf("icolumn"),
                  name = columnOf("szRelationship");
        if (object >= 0 && column >= 0 && referenced >= 0 && referencedColumn >= 0) {
            AccessRowReader reader(*this, index);
            auto textOf = [&reader](int c) {
                return c < 0 ? QString() : QString::fromUtf8(reader.value(c).bytes);
            };
            while (reader.next()) {
                ForeignKeyInfo key;
                key.fkTable = textOf(object);
                key.fkColumn = textOf(column);
                key.pkTable = textOf(referenced);
                key.pkColumn = textOf(referencedColumn);
                key.name = textOf(name);
                key.ordinal = ordinal >= 0 ? int(reader.value(ordinal).integer) + 1 : 1;
                // Access keeps relationships between its own system tables here too.
                const int fk = tableIndex(key.fkTable), pk = tableIndex(key.pkTable);
                if (fk < 0 || pk < 0 || m_tables[fk].system || m_tables[pk].system)
                    continue;
                result.append(key);
            }
        }
    }
    m_relationships = result;
    return result;
}

AccessRowReader::AccessRowReader(AccessFile &file, int tableIndex) : m_file(file)
{
    m_table = mdb_read_table(file.m_entries.at(size_t(tableIndex)));
    file.pageOwner = nullptr;
    if (!m_table)
        throw DataAccessError(
            QStringLiteral("The table %1 cannot be read.").arg(file.m_tables[tableIndex].name));
    mdb_read_columns(m_table);
    file.pageOwner = nullptr;
    for (guint c = 0; c < m_table->num_cols; ++c)
        m_columns.push_back(static_cast<MdbColumn *>(g_ptr_array_index(m_table->columns, c)));
    m_fields.resize(std::max<size_t>(m_columns.size(), 1));
    m_page.resize(size_t(file.handle()->fmt->pg_size));
}

AccessRowReader::~AccessRowReader()
{
    if (m_file.pageOwner == this)
        m_file.pageOwner = nullptr;
    mdb_free_tabledef(m_table);
}

void AccessRowReader::rewind()
{
    mdb_rewind_table(m_table);
    m_started = false;
    m_onRow = false;
}

bool AccessRowReader::next()
{
    MdbHandle *mdb = m_file.handle();
    m_onRow = false;
    if (m_columns.empty())
        return false;
    // Another reader may have used the handle's page buffer since our last row.
    if (m_started && m_file.pageOwner != this) {
        std::memcpy(mdb->pg_buf, m_page.data(), m_page.size());
        mdb->cur_pg = guint32(m_pageNumber);
    }
    m_file.pageOwner = this;
    m_started = true;
    if (!mdb_fetch_row(m_table))
        return false;

    int start = 0;
    size_t length = 0;
    if (mdb_find_row(mdb, int(m_table->cur_row) - 1, &start, &length) != 0)
        return false;
    start &= OffsetMask;
    // A row shorter than the table (a column added later) leaves the rest NULL.
    for (MdbField &field : m_fields) {
        field = MdbField{};
        field.is_null = 1;
        field.colnum = -1;
    }
    if (mdb_crack_row(m_table, start, length, m_fields.data()) < 0)
        return false;
    std::memcpy(m_page.data(), mdb->pg_buf, m_page.size());
    m_pageNumber = mdb->cur_pg;
    m_onRow = true;
    return true;
}

QString AccessRowReader::text(const unsigned char *bytes, int length) const
{
    if (length <= 0)
        return QString(QLatin1StringView(""));
    if (m_file.jet3()) {
        QStringDecoder decoder("windows-1252");
        if (decoder.isValid())
            return decoder.decode(QByteArrayView(bytes, length));
        return QString::fromLatin1(reinterpret_cast<const char *>(bytes), length);
    }
    QString result;
    if (length >= 2 && bytes[0] == 0xff && bytes[1] == 0xfe) {
        // Compressed: one byte per character, a zero byte switches to and from two-byte characters.
        result.reserve(length);
        bool compressed = true;
        for (int i = 2; i < length;) {
            if (bytes[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                result.append(QChar(char16_t(bytes[i])));
                ++i;
            } else if (i + 1 < length) {
                result.append(QChar(char16_t(le16(bytes + i))));
                i += 2;
            } else {
                break;
            }
        }
        return result;
    }
    result.resize(length / 2);
    for (int i = 0; i + 1 < length; i += 2)
        result[i / 2] = QChar(char16_t(le16(bytes + i)));
    return result;
}

QByteArray AccessRowReader::lval(const MdbField &field)
{
    MdbHandle *mdb = m_file.handle();
    const int pageSize = int(m_page.size());
    if (field.siz < MemoOverhead || field.start < 0 || field.start + field.siz > pageSize)
        return QByteArray();
    const unsigned char *header = m_page.data() + field.start;
    const quint32 word = le32(header);
    const quint32 declared = word & 0x3fffffff;
    if (word & 0x80000000) {
        return QByteArray(reinterpret_cast<const char *>(header + MemoOverhead), field.siz - MemoOverhead)
            .left(qsizetype(declared));
    }
    int pageRow = int(le32(header + 4));
    void *buffer = nullptr;
    int offset = 0;
    size_t length = 0;
    if (word & 0x40000000) {
        if (mdb_find_pg_row(mdb, pageRow, &buffer, &offset, &length) != 0 ||
            offset + qint64(length) > pageSize)
            return QByteArray();
        return QByteArray(static_cast<const char *>(buffer) + offset, qsizetype(length))
            .left(qsizetype(declared));
    }
    if ((word & 0xff000000) != 0)
        return QByteArray();
    // Spread over a chain of pages: each piece starts with the address of the next.
    QByteArray result;
    result.reserve(qsizetype(std::min<quint32>(declared, 64 * 1024 * 1024)));
    for (int guard = 0; pageRow != 0 && result.size() < qsizetype(declared) && guard < 1 << 20; ++guard) {
        if (mdb_find_pg_row(mdb, pageRow, &buffer, &offset, &length) != 0 || length < 4 ||
            offset + qint64(length) > pageSize)
            break;
        const auto *piece = static_cast<const unsigned char *>(buffer) + offset;
        pageRow = int(le32(piece));
        result.append(reinterpret_cast<const char *>(piece + 4), qsizetype(length) - 4);
    }
    return result.left(qsizetype(declared));
}

AccessValue AccessRowReader::value(int column)
{
    AccessValue v;
    if (!m_onRow || column < 0 || column >= int(m_columns.size()))
        return v;
    const MdbColumn *col = m_columns[size_t(column)];
    // The cracked row is normally in column order; look further only when it is not.
    const MdbField *field = m_fields[size_t(column)].colnum == column ? &m_fields[size_t(column)] : nullptr;
    for (const MdbField &f : m_fields) {
        if (field)
            break;
        if (f.colnum == column) {
            field = &f;
            break;
        }
    }
    if (!field)
        return v;
    // Yes/No values live in the row's null mask: a set bit is Yes.
    if (col->col_type == MDB_BOOL) {
        v.kind = AccessValue::Kind::Int;
        v.integer = field->is_null ? 0 : 1;
        return v;
    }
    if (field->is_null)
        return v;
    const int pageSize = int(m_page.size());
    if (field->start < 0 || field->siz < 0 || field->start + field->siz > pageSize)
        return v;
    const unsigned char *p = m_page.data() + field->start;
    const int size = field->siz;
    auto needs = [size](int bytes) { return size >= bytes; };
    switch (col->col_type) {
    case MDB_BYTE:
        if (!needs(1))
            return v;
        v.kind = AccessValue::Kind::Int;
        v.integer = p[0];
        return v;
    case MDB_INT:
        if (!needs(2))
            return v;
        v.kind = AccessValue::Kind::Int;
        v.integer = qint16(le16(p));
        return v;
    case MDB_LONGINT:
        if (!needs(4))
            return v;
        v.kind = AccessValue::Kind::Int;
        v.integer = qint32(le32(p));
        return v;
    case MDB_MONEY: {
        if (!needs(8))
            return v;
        const qint64 units = qint64(quint64(le32(p)) | quint64(le32(p + 4)) << 32);
        v.kind = AccessValue::Kind::Double;
        v.real = double(units) / 10000.0;
        return v;
    }
    case MDB_FLOAT: {
        if (!needs(4))
            return v;
        float f;
        std::memcpy(&f, p, 4);
        v.kind = AccessValue::Kind::Double;
        v.real = f;
        return v;
    }
    case MDB_DOUBLE:
    case MDB_DATETIME: {
        if (!needs(8))
            return v;
        double d;
        std::memcpy(&d, p, 8);
        if (col->col_type == MDB_DOUBLE) {
            v.kind = AccessValue::Kind::Double;
            v.real = d;
            return v;
        }
        v.bytes = accessDateText(d);
        if (!v.bytes.isEmpty())
            v.kind = AccessValue::Kind::Text;
        return v;
    }
    case MDB_TEXT:
        v.kind = AccessValue::Kind::Text;
        v.bytes = text(p, size).toUtf8();
        return v;
    case MDB_MEMO: {
        const QByteArray raw = lval(*field);
        v.kind = AccessValue::Kind::Text;
        v.bytes = text(reinterpret_cast<const unsigned char *>(raw.constData()), int(raw.size())).toUtf8();
        return v;
    }
    case MDB_OLE:
        v.kind = AccessValue::Kind::Blob;
        v.bytes = lval(*field);
        return v;
    case MDB_REPID:
        if (!needs(16))
            return v;
        v.kind = AccessValue::Kind::Text;
        v.bytes = guidText(p);
        return v;
    case MDB_NUMERIC:
        if (!needs(17))
            return v;
        return numericValue(p, col->col_scale);
    default:
        v.kind = AccessValue::Kind::Blob;
        v.bytes = QByteArray(reinterpret_cast<const char *>(p), size);
        return v;
    }
}
