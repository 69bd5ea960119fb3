#include "connection/dataaccess/Backends.h"

std::unique_ptr<Backend> createOdbcBackend(const QString &, bool)
{
    throw DataAccessError(QStringLiteral("This provider is not available yet."));
}
