#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Windows-1252, the code page files from Windows programs are written in: every byte reads as a
// character (the five unassigned ones as the same code point, as the platform's own conversion
// does).
QString fromCp1252(const QByteArray &bytes);
// The text in Windows-1252; none when a character has no byte there.
std::optional<QByteArray> toCp1252(const QString &text);
