// Access files come from wherever the user points the connection dialog: the check that runs
// before libmdb sees a file, the catalogue reader and the row reader must refuse or read any
// file without crashing or hanging.
#include "MemoryFile.h"

#include "db/access/AccessFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = memoryFile(data, size);
    if (path.isEmpty())
        std::abort();
    try {
        AccessFile file(path);
        std::lock_guard lock(file.mutex());
        for (int t = 0; t < file.tables().size(); ++t) {
            AccessRowReader reader(file, t);
            for (int row = 0; row < 64 && reader.next(); ++row) {
                for (int c = 0; c < reader.columnCount(); ++c)
                    (void)reader.value(c);
            }
        }
        (void)file.relationships();
    } catch (const DataAccessError &) {
        // A file that is no Access database, or a damaged one, is refused with a message.
    }
    return 0;
}
