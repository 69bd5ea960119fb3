#include "connection/dataaccess/DataAccess.h"

std::unique_ptr<Backend> Backend::create(const QString &)
{
    throw DataAccessError(QStringLiteral("No provider is available yet."));
}
