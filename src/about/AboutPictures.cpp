#include "about/AboutPictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace aboutpictures {

namespace {

const QColor navy(0x1B, 0x2F, 0x55);
const QColor teal(0x1F, 0x8A, 0x8A);
const QColor sky(0x6F, 0xC3, 0xE8);

QPixmap canvas(int width, int height, qreal dpr)
{
    QPixmap pixmap(QSize(width, height) * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// One disc of the database cylinder: a body from top to bottom with rounded ends.
QPainterPath discBody(const QRectF &box, qreal rim)
{
    QPainterPath path;
    path.moveTo(box.left(), box.top() + rim / 2);
    path.lineTo(box.left(), box.bottom() - rim / 2);
    path.arcTo(QRectF(box.left(), box.bottom() - rim, box.width(), rim), 180, 180);
    path.lineTo(box.right(), box.top() + rim / 2);
    path.arcTo(QRectF(box.left(), box.top(), box.width(), rim), 0, -180);
    path.closeSubpath();
    return path;
}

void drawCylinderGlyph(QPainter &p, const QRectF &box, const QColor &colour)
{
    const qreal rim = box.height() / 4;
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(discBody(box, rim));
    p.setBrush(colour.darker(140));
    p.drawEllipse(QRectF(box.left() + 1, box.top() + 0.6, box.width() - 2, rim - 1.2));
    QPen band(colour.darker(140), 0.9);
    p.setPen(band);
    p.setBrush(Qt::NoBrush);
    for (int i = 1; i < 3; ++i) {
        const qreal y = box.top() + i * (box.height() - rim) / 3;
        p.drawArc(QRectF(box.left(), y, box.width(), rim), 180 * 16, 180 * 16);
    }
}

} // namespace

QPixmap banner(qreal dpr)
{
    QPixmap pixmap = canvas(200, 24, dpr);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    const QRectF band(0.5, 0.5, 199, 23);
    QLinearGradient fill(band.topLeft(), band.topRight());
    fill.setColorAt(0.0, navy);
    fill.setColorAt(0.65, teal);
    fill.setColorAt(1.0, teal.lighter(125));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(band, 5, 5);

    // A soft light along the upper half.
    QLinearGradient shine(band.topLeft(), band.bottomLeft());
    shine.setColorAt(0.0, QColor(255, 255, 255, 70));
    shine.setColorAt(0.5, QColor(255, 255, 255, 10));
    shine.setColorAt(0.51, QColor(255, 255, 255, 0));
    p.setBrush(shine);
    p.drawRoundedRect(band, 5, 5);

    drawCylinderGlyph(p, QRectF(7, 4, 13, 16), QColor(0xE8, 0xF4, 0xFA));

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(15);
    font.setBold(true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    p.setFont(font);
    p.setPen(QColor(0, 0, 0, 90));
    const QRectF textBox(27, 0, 120, 24);
    p.drawText(textBox.translated(0.8, 0.8), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Orvessa"));
    p.setPen(Qt::white);
    p.drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Orvessa"));

    // Three rows of a table fading out to the right.
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            p.setBrush(QColor(255, 255, 255, 150 - 40 * col));
            p.setPen(Qt::NoPen);
            p.drawRoundedRect(QRectF(150 + col * 15, 5.5 + row * 5, 12, 3), 1, 1);
        }
    }
    return pixmap;
}

QPixmap emblem(qreal dpr)
{
    QPixmap pixmap = canvas(96, 96, dpr);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    // Shadow under the cylinder.
    QRadialGradient shadow(QPointF(42, 86), 34);
    shadow.setColorAt(0.0, QColor(0, 0, 0, 70));
    shadow.setColorAt(1.0, QColor(0, 0, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shadow);
    p.drawEllipse(QPointF(42, 86), 36, 7);

    // Three discs, drawn bottom first.
    const qreal left = 10, width = 64, rim = 18, discHeight = 22;
    const qreal tops[3] = {14, 14 + discHeight, 14 + 2 * discHeight};
    for (int i = 2; i >= 0; --i) {
        const QRectF box(left, tops[i], width, discHeight + rim);
        QLinearGradient side(box.topLeft(), box.topRight());
        side.setColorAt(0.0, navy);
        side.setColorAt(0.35, QColor(0x2E, 0x6F, 0xB0));
        side.setColorAt(0.55, QColor(0x3C, 0x86, 0xC8));
        side.setColorAt(1.0, navy.darker(115));
        p.setPen(QPen(navy.darker(150), 1));
        p.setBrush(side);
        p.drawPath(discBody(box, rim));
    }
    // Top face.
    QLinearGradient top(QPointF(left, tops[0]), QPointF(left + width, tops[0] + rim));
    top.setColorAt(0.0, sky.lighter(115));
    top.setColorAt(1.0, QColor(0x3C, 0x86, 0xC8));
    p.setPen(QPen(navy.darker(150), 1));
    p.setBrush(top);
    p.drawEllipse(QRectF(left, tops[0], width, rim));
    // Lit rims where discs meet.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 120), 1.4));
    for (int i = 1; i < 3; ++i)
        p.drawArc(QRectF(left + 1, tops[i] + 1, width - 2, rim), 200 * 16, 140 * 16);

    // Magnifying glass over the lower right.
    const QPointF lens(66, 62);
    const qreal radius = 16;
    QPen handle(QColor(0x3A, 0x2A, 0x1E), 8, Qt::SolidLine, Qt::RoundCap);
    p.setPen(handle);
    p.drawLine(lens + QPointF(12, 12), QPointF(88, 86));
    p.setPen(QPen(QColor(0x6B, 0x4A, 0x30), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(lens + QPointF(15, 15), QPointF(86, 84));

    QRadialGradient glass(lens - QPointF(5, 5), radius * 1.4);
    glass.setColorAt(0.0, QColor(255, 255, 255, 230));
    glass.setColorAt(0.6, QColor(0xD8, 0xEF, 0xF8, 190));
    glass.setColorAt(1.0, QColor(0x9F, 0xD3, 0xEA, 200));
    p.setBrush(glass);
    p.setPen(QPen(QColor(0x4B, 0x55, 0x63), 5));
    p.drawEllipse(lens, radius, radius);
    p.setPen(QPen(QColor(0xC9, 0xD1, 0xD9), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(lens, radius + 1.5, radius + 1.5);

    // Rows seen through the lens.
    p.setPen(Qt::NoPen);
    p.setBrush(teal);
    p.drawRoundedRect(QRectF(lens.x() - 9, lens.y() - 7, 18, 3.5), 1.5, 1.5);
    p.setBrush(QColor(0x2E, 0x6F, 0xB0, 200));
    p.drawRoundedRect(QRectF(lens.x() - 9, lens.y() - 1.5, 14, 3.5), 1.5, 1.5);
    p.drawRoundedRect(QRectF(lens.x() - 9, lens.y() + 4, 16, 3.5), 1.5, 1.5);

    // Glint.
    p.setPen(QPen(QColor(255, 255, 255, 200), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(lens.x() - 11, lens.y() - 11, 22, 22), 100 * 16, 60 * 16);
    return pixmap;
}

} // namespace aboutpictures
