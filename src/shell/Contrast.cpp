#include "shell/Contrast.h"

#include <QPalette>

#include <cmath>

namespace contrast {

namespace {

double linear(int channel)
{
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

} // namespace

double relativeLuminance(const QColor &colour)
{
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.red()) + 0.7152 * linear(rgb.green()) + 0.0722 * linear(rgb.blue());
}

double ratio(const QColor &a, const QColor &b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool isDark(const QPalette &palette)
{
    return relativeLuminance(palette.color(QPalette::Base)) <
           relativeLuminance(palette.color(QPalette::Text));
}

QColor blend(const QColor &from, const QColor &to, double t)
{
    const QColor a = from.toRgb();
    const QColor b = to.toRgb();
    auto mix = [t](int x, int y) { return int(std::lround(x + (y - x) * t)); };
    return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()));
}

QColor readableOn(const QColor &preferred, const QColor &fallback, const QList<QColor> &backgrounds,
                  double minimum)
{
    constexpr int steps = 20;
    for (int i = 0; i <= steps; ++i) {
        const QColor candidate = blend(preferred, fallback, double(i) / steps);
        bool readable = true;
        for (const QColor &background : backgrounds)
            readable = readable && ratio(candidate, background) >= minimum;
        if (readable)
            return candidate;
    }
    return fallback;
}

} // namespace contrast
