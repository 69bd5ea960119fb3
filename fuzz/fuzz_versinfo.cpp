// The About box reads the version record of an ELF file: a damaged or hostile file must give
// empty values or the "Cannot retrieve Version Information" error, never a crash.
#include "MemoryFile.h"

#include "about/VersionInfo.h"
#include "common/AppError.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = memoryFile(data, size);
    if (path.isEmpty())
        std::abort();
    VersionInfo info;
    try {
        info.OpenFile(path);
    } catch (const AppError &) {
        if (info.hasBlock())
            std::abort(); // no value may come from a block that failed to load
        return 0;
    }
    for (int key = 0; key < VersionInfo::KeyCount; ++key)
        (void)info.GetKey(VersionInfo::keyName(VersionInfo::Key(key)));
    (void)info.queryValue(QStringLiteral("\\VarFileInfo\\Translation"));
    (void)info.fixedFileVersion();
    (void)info.fixedProductVersion();
    return 0;
}
