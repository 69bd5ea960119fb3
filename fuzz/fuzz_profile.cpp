// Profile files are read from anywhere the user points the Load dialog: reading must never
// crash, and a value written into any file must read back unchanged.
#include "connection/ProfileFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    ProfileFile profile = ProfileFile::fromBytes(bytes);
    (void)profile.value(QStringLiteral("DB"), QStringLiteral("ConnString"));

    const QString value = QStringLiteral("Provider=SQLite;Data Source=C:\\Café\\a.db");
    profile.setValue(QStringLiteral("DB"), QStringLiteral("ConnString"), value);
    const QByteArray written = profile.toBytes();
    const ProfileFile reread = ProfileFile::fromBytes(written);
    if (reread.value(QStringLiteral("DB"), QStringLiteral("ConnString")) != value)
        std::abort();
    if (reread.toBytes() != written)
        std::abort();
    return 0;
}
