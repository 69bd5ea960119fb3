#include "connection/dataaccess/Backends.h"

std::unique_ptr<Backend> createAccessBackend(const QString &)
{
    throw DataAccessError(QStringLiteral("Access files are not available yet."));
}
