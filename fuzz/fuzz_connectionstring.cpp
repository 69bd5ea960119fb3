// Connection strings come from profile files and from the user: the parser must never crash,
// and what it composes must parse back to the same pairs.
#include "connection/dataaccess/ConnectionString.h"
#include "connection/dataaccess/DataAccess.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    ConnectionStringPairs pairs;
    try {
        pairs = parseConnectionString(text);
    } catch (const DataAccessError &) {
        return 0;
    }
    const QString composed = composeConnectionString(pairs);
    try {
        if (parseConnectionString(composed) != pairs)
            std::abort();
    } catch (const DataAccessError &) {
        std::abort();
    }
    return 0;
}
