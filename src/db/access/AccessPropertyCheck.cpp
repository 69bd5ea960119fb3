#include "db/access/AccessPropertyCheck.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

quint32 le32(const unsigned char *p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

quint16 le16(const unsigned char *p)
{
    return quint16(p[0] | p[1] << 8);
}

// A list of property names: a 16-bit length, then that many bytes, again and again.
bool namesAreSound(const unsigned char *p, size_t length)
{
    size_t pos = 0;
    while (pos < length) {
        if (length - pos < 2)
            return false;
        const size_t nameLength = le16(p + pos);
        pos += 2;
        if (nameLength > length - pos)
            return false;
        pos += nameLength;
    }
    return true;
}

// The bytes libmdb's value conversion reads for a property of this type, whatever the
// property says its size is (0: only what the size says).
size_t fixedSize(int type)
{
    switch (type) {
    case MDB_BOOL:
    case MDB_BYTE:
        return 1;
    case MDB_INT:
        return 2;
    case MDB_LONGINT:
    case MDB_FLOAT:
        return 4;
    case MDB_MONEY:
    case MDB_DOUBLE:
    case MDB_DATETIME:
        return 8;
    case MDB_REPID:
        return 16;
    case MDB_NUMERIC:
        return 17;
    default:
        return 0;
    }
}

// One block of values: a header with the block's name, then records of type, name index,
// size and value.
bool valuesAreSound(const unsigned char *p, size_t length)
{
    if (length < 6)
        return false;
    const size_t nameLength = le16(p + 4);
    size_t pos = 6;
    if (nameLength > length - pos)
        return false;
    pos += nameLength;
    while (pos < length) {
        if (length - pos < 8)
            return false;
        const size_t recordLength = le16(p + pos);
        const int type = p[pos + 3];
        const size_t size = le16(p + pos + 6);
        if (recordLength < 8 || recordLength > length - pos || size > length - pos - 8 ||
            size < fixedSize(type))
            return false;
        pos += recordLength;
    }
    return true;
}

} // namespace

bool propertyBlobIsSound(const unsigned char *blob, size_t length)
{
    // libmdb compares the start with "KKD" and "MR2" as C strings.
    if (!blob || length < 4 || blob[3] != 0)
        return false;
    if (std::strcmp(reinterpret_cast<const char *>(blob), "KKD") != 0 &&
        std::strcmp(reinterpret_cast<const char *>(blob), "MR2") != 0)
        return true; // refused by libmdb without further reading
    size_t pos = 4;
    while (pos < length) {
        if (length - pos < 6)
            return false;
        const size_t recordLength = le32(blob + pos);
        const int type = le16(blob + pos + 4);
        if (recordLength < 6 || recordLength > length - pos)
            return false;
        const unsigned char *body = blob + pos + 6;
        const size_t bodyLength = recordLength - 6;
        if (type == 0x80 && !namesAreSound(body, bodyLength))
            return false;
        if (type <= 0x02 && !valuesAreSound(body, bodyLength))
            return false;
        pos += recordLength;
    }
    return true;
}

bool catalogPropertiesAreSound(MdbHandle *mdb)
{
    // The same table and columns libmdb's catalogue reader opens.
    MdbCatalogEntry objects{};
    objects.mdb = mdb;
    objects.object_type = MDB_TABLE;
    objects.table_pg = 2;
    std::strcpy(objects.object_name, "MSysObjects");
    MdbTableDef *table = mdb_read_table(&objects);
    if (!table)
        return true;
    bool sound = true;
    if (mdb_read_columns(table)) {
        std::vector<char> type(mdb->bind_size + 1, '\0');
        std::vector<char> properties(mdb->bind_size + 1, '\0');
        int propertiesSize = 0;
        const int typeColumn =
            mdb_bind_column_by_name(table, const_cast<gchar *>("Type"), type.data(), nullptr);
        const int propertiesColumn =
            mdb_bind_column_by_name(table, const_cast<gchar *>("LvProp"), properties.data(), &propertiesSize);
        if (typeColumn > 0 && propertiesColumn > 0) {
            auto *column = static_cast<MdbColumn *>(g_ptr_array_index(table->columns, propertiesColumn - 1));
            mdb_rewind_table(table);
            while (sound && mdb_fetch_row(table)) {
                if (std::atoi(type.data()) != MDB_TABLE || propertiesSize == 0)
                    continue;
                size_t length = 0;
                void *blob = mdb_ole_read_full(mdb, column, &length);
                sound = propertyBlobIsSound(static_cast<const unsigned char *>(blob), length);
                std::free(blob);
            }
        }
    }
    mdb_free_tabledef(table);
    return sound;
}
