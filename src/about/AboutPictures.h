#pragma once

#include <QPixmap>

// The About box's two pictures, painted in code so they stay sharp at any scale.
namespace aboutpictures {

// 200 x 24: the product name on a band.
QPixmap banner(qreal devicePixelRatio = 1.0);
// 96 x 96: a database with a magnifying glass.
QPixmap emblem(qreal devicePixelRatio = 1.0);

} // namespace aboutpictures
