#pragma once

#include <QColor>
#include <QList>

class QPalette;

// Colour arithmetic for texts and shades that must stay readable on any desktop palette:
// contrast as the accessibility guidelines define it (WCAG 2), from 1 (none) to 21.
namespace contrast {

// The minimum contrast of normal text on its background.
constexpr double readableText = 4.5;

double relativeLuminance(const QColor &colour);
double ratio(const QColor &a, const QColor &b);
// Light text on a dark base.
bool isDark(const QPalette &palette);
// from moved toward to by t (0: from, 1: to), channel by channel.
QColor blend(const QColor &from, const QColor &to, double t);
// The colour nearest to preferred on the way from preferred to fallback that reaches the
// contrast minimum on every background; fallback itself when nothing before it does.
QColor readableOn(const QColor &preferred, const QColor &fallback, const QList<QColor> &backgrounds,
                  double minimum = readableText);

} // namespace contrast
