#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPalette>
#include <QPixmap>

#include <functional>

// ImageList2: the 16 × 16 pictures of the menu items and tool buttons, drawn in code at the
// exact device size asked for, so they stay sharp at every scale, and in colours that suit the
// palette in use.
namespace imagelist {
enum Image {
    Connect = 0,
    Disconnect = 1,
    Expand = 2,
    Collapse = 3,
    Refresh = 4,
    Load = 5,
    Save = 6,
    Run = 7,
    Exit = 8,
    About = 9,
    Statistics = 10,
    Compact = 11,
    WebSite = 12,
    Report = 13,
    Count = 14
};

// Paints a picture on a square grid of designSize units in a palette.
using Drawing = std::function<void(QPainter &, const QPalette &)>;

// An icon that draws itself at every requested size (a disabled one greyed by the style).
QIcon drawnIcon(Drawing drawing, qreal designSize = 16.0);
// One drawing at size × size device pixels.
QImage render(int size, const Drawing &drawing, const QPalette &palette, qreal designSize = 16.0);
// The colour of the pictures' outlines: dark on a light palette, light on a dark one.
QColor outlineColor(const QPalette &palette);

// The picture at an index.
QIcon icon(int index);
Drawing drawing(int index);
// One picture drawn at size × size pixels in the application's palette.
QPixmap pixmap(int index, int size);

// The program's own icon (window and desktop entry).
QIcon applicationIcon();
QPixmap applicationPixmap(int size);
} // namespace imagelist
