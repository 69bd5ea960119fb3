#pragma once

#include <QIcon>
#include <QPixmap>

// ImageList2: the 16 × 16 pictures of the menu items and tool buttons, drawn in code so they stay
// sharp at every scale.
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

// The picture at an index, with a double-resolution version for high-density screens.
QIcon icon(int index);
// One picture drawn at size × size pixels.
QPixmap pixmap(int index, int size);

// The program's own icon (window and desktop entry).
QIcon applicationIcon();
QPixmap applicationPixmap(int size);
} // namespace imagelist
