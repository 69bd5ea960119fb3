#include "connection/dataaccess/Backends.h"

std::unique_ptr<Backend> createPostgresBackend(const QString &)
{
    throw DataAccessError(QStringLiteral("This provider is not available yet."));
}
