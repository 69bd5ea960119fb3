#pragma once

#include <QFont>
#include <QString>

// The font families the window asks for; fontconfig puts metric-compatible fonts in their place.
namespace fonts {

inline QFont requested(const QString &family, int pointSize, QFont::StyleHint hint)
{
    QFont font(family, pointSize);
    font.setStyleHint(hint);
    return font;
}

inline QFont lucidaConsole(int pointSize)
{
    return requested(QStringLiteral("Lucida Console"), pointSize, QFont::Monospace);
}

} // namespace fonts
