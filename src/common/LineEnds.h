#pragma once

#include <QString>

// The line end a text uses most: "\r\n", "\r" or "\n"; "\n" when it has none.
QString mostCommonLineEnd(const QString &text);
