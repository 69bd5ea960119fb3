#pragma once

#include <QString>

// Fills a message template's "%s" with a file path.
inline QString withPath(QString textTemplate, const QString &path)
{
    return textTemplate.replace(QStringLiteral("%s"), path);
}
