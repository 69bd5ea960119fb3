#include "connection/dataaccess/Backends.h"

std::unique_ptr<Backend> createSqliteBackend(const QString &)
{
    throw DataAccessError(QStringLiteral("This provider is not available yet."));
}
