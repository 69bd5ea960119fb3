#pragma once

#include "common/AppError.h"

#include <QString>

#include <exception>

// The text a caught error shows the user: an AppError's own text, otherwise what() as UTF-8.
inline QString errorText(const std::exception &e)
{
    if (const auto *app = dynamic_cast<const AppError *>(&e))
        return app->text();
    return QString::fromUtf8(e.what());
}

// A log line about one table or view: its name, then the error's text.
inline QString objectErrorText(const QString &objectName, const QString &text)
{
    return objectName + QLatin1String(": ") + text;
}
