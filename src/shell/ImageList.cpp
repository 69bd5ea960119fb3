#include "shell/ImageList.h"

#include "shell/Contrast.h"

#include <QApplication>
#include <QIconEngine>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOption>

#include <cmath>

namespace imagelist {
namespace {
const QColor kGreen(0x2e, 0x9e, 0x44);
const QColor kGreenDark(0x1d, 0x6e, 0x2e);
const QColor kRed(0xd0, 0x33, 0x2b);
const QColor kBlue(0x2f, 0x6f, 0xc6);
const QColor kBlueDark(0x1d, 0x4a, 0x8c);
const QColor kYellow(0xf2, 0xc1, 0x4e);
const QColor kYellowDark(0xb8, 0x86, 0x1b);
const QColor kGrey(0x8a, 0x94, 0xa0);
const QColor kGreyLight(0xd5, 0xdb, 0xe2);

QPen pen(const QColor &color, qreal width = 1.0)
{
    QPen p(color, width);
    p.setJoinStyle(Qt::RoundJoin);
    p.setCapStyle(Qt::RoundCap);
    return p;
}

void cylinder(QPainter &p, const QRectF &r, const QColor &fill, const QColor &line)
{
    const qreal eh = r.height() * 0.28;
    QPainterPath body;
    body.moveTo(r.left(), r.top() + eh / 2);
    body.lineTo(r.left(), r.bottom() - eh / 2);
    body.arcTo(QRectF(r.left(), r.bottom() - eh, r.width(), eh), 180, 180);
    body.lineTo(r.right(), r.top() + eh / 2);
    body.arcTo(QRectF(r.left(), r.top(), r.width(), eh), 0, 180);
    QLinearGradient g(r.topLeft(), r.topRight());
    g.setColorAt(0, fill.lighter(125));
    g.setColorAt(1, fill.darker(115));
    p.setPen(pen(line, 0.9));
    p.setBrush(g);
    p.drawPath(body);
    p.setBrush(fill.lighter(140));
    p.drawEllipse(QRectF(r.left(), r.top(), r.width(), eh));
}

// Plug and socket; apart when gap > 0.
void connector(QPainter &p, qreal gap, const QColor &body, const QColor &outline)
{
    const qreal shift = gap / 2;
    p.setPen(pen(outline, 1.2));
    p.drawLine(QPointF(0.5, 8), QPointF(3 - shift, 8));
    p.drawLine(QPointF(13 + shift, 8), QPointF(15.5, 8));
    p.setPen(pen(outline, 0.9));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(2.5 - shift, 5, 4, 6), 1, 1);
    p.drawRoundedRect(QRectF(9.5 + shift, 4, 4, 8), 1, 1);
    p.setPen(pen(outline, 1.1));
    p.drawLine(QPointF(6.5 - shift, 6.5), QPointF(9 - shift, 6.5));
    p.drawLine(QPointF(6.5 - shift, 9.5), QPointF(9 - shift, 9.5));
}

void treeBox(QPainter &p, bool plus, const QColor &outline)
{
    p.setPen(pen(kGrey, 1));
    p.setBrush(Qt::NoBrush);
    // The branch lines of a tree behind the box.
    p.drawLine(QPointF(4.5, 11), QPointF(4.5, 15));
    p.drawLine(QPointF(4.5, 14.5), QPointF(8, 14.5));
    QLinearGradient g(0, 1, 0, 12);
    g.setColorAt(0, Qt::white);
    g.setColorAt(1, kGreyLight);
    p.setPen(pen(outline, 1));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(1.5, 1.5, 11, 10), 1.5, 1.5);
    p.setPen(pen(kBlue, 1.8));
    p.drawLine(QPointF(4.5, 6.5), QPointF(9.5, 6.5));
    if (plus)
        p.drawLine(QPointF(7, 4), QPointF(7, 9));
    p.setPen(pen(kGrey, 1));
    p.drawLine(QPointF(10, 14.5), QPointF(15, 14.5));
}

void arrowHead(QPainter &p, QPointF tip, qreal angleDeg, qreal size, const QColor &color)
{
    const qreal a = angleDeg * M_PI / 180.0;
    const QPointF dir(std::cos(a), -std::sin(a));
    const QPointF normal(-dir.y(), dir.x());
    QPolygonF head;
    head << tip << tip - dir * size + normal * size * 0.7 << tip - dir * size - normal * size * 0.7;
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPolygon(head);
}

void draw(QPainter &p, int index, const QColor &outline)
{
    switch (index) {
    case Connect:
        connector(p, 0, kGreen, outline);
        break;
    case Disconnect:
        connector(p, 4, kGreyLight, outline);
        p.setPen(pen(kRed, 1.4));
        p.drawLine(QPointF(6.5, 3), QPointF(9.5, 13));
        break;
    case Expand:
        treeBox(p, true, outline);
        break;
    case Collapse:
        treeBox(p, false, outline);
        break;
    case Refresh: {
        p.setPen(pen(kGreen, 2));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(2.5, 2.5, 11, 11), 100 * 16, 280 * 16);
        arrowHead(p, QPointF(9.8, 2.8), 0, 4, kGreen);
        break;
    }
    case Load: {
        p.setPen(pen(kYellowDark, 0.9));
        p.setBrush(kYellowDark.lighter(150));
        QPainterPath back;
        back.moveTo(1.5, 13.5);
        back.lineTo(1.5, 3.5);
        back.lineTo(5.5, 3.5);
        back.lineTo(7, 5);
        back.lineTo(12.5, 5);
        back.lineTo(12.5, 13.5);
        back.closeSubpath();
        p.drawPath(back);
        QPolygonF front;
        front << QPointF(1.5, 13.5) << QPointF(4, 7.5) << QPointF(15, 7.5) << QPointF(12.5, 13.5);
        p.setBrush(kYellow);
        p.drawPolygon(front);
        break;
    }
    case Save: {
        p.setPen(pen(kBlueDark, 0.9));
        p.setBrush(kBlue);
        QPainterPath disk;
        disk.moveTo(1.5, 1.5);
        disk.lineTo(12.5, 1.5);
        disk.lineTo(14.5, 3.5);
        disk.lineTo(14.5, 14.5);
        disk.lineTo(1.5, 14.5);
        disk.closeSubpath();
        p.drawPath(disk);
        p.setPen(Qt::NoPen);
        p.setBrush(kGreyLight);
        p.drawRect(QRectF(4, 1.5, 7, 4.5));
        p.setBrush(kBlueDark);
        p.drawRect(QRectF(8.5, 2.3, 1.6, 3));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(3.5, 8.5, 9, 5));
        p.setPen(pen(kGrey, 0.8));
        p.drawLine(QPointF(5, 10.5), QPointF(11, 10.5));
        p.drawLine(QPointF(5, 12.2), QPointF(11, 12.2));
        break;
    }
    case Run: {
        QPolygonF play;
        play << QPointF(4, 2) << QPointF(14, 8) << QPointF(4, 14);
        QLinearGradient g(0, 2, 0, 14);
        g.setColorAt(0, kGreen.lighter(130));
        g.setColorAt(1, kGreenDark);
        p.setPen(pen(kGreenDark, 1));
        p.setBrush(g);
        p.drawPolygon(play);
        break;
    }
    case Exit: {
        p.setPen(pen(outline, 1));
        p.setBrush(kGreyLight);
        p.drawRect(QRectF(1.5, 1.5, 8, 13));
        QPolygonF door;
        door << QPointF(1.5, 1.5) << QPointF(6.5, 3) << QPointF(6.5, 15.5) << QPointF(1.5, 14.5);
        p.setBrush(QColor(0x9c, 0x6b, 0x3c));
        p.drawPolygon(door);
        p.setPen(pen(kRed, 2));
        p.drawLine(QPointF(8.5, 8), QPointF(12.5, 8));
        arrowHead(p, QPointF(15.5, 8), 0, 4, kRed);
        break;
    }
    case About: {
        QRadialGradient g(QPointF(6, 5), 9);
        g.setColorAt(0, kBlue.lighter(135));
        g.setColorAt(1, kBlueDark);
        p.setPen(pen(kBlueDark, 1));
        p.setBrush(g);
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(7, 3.3, 2.2, 2.2));
        p.drawRoundedRect(QRectF(7.1, 6.6, 2, 6.2), 0.6, 0.6);
        p.drawRect(QRectF(6.2, 11.6, 3.8, 1.2));
        break;
    }
    case Statistics: {
        p.setPen(pen(outline, 1));
        p.drawLine(QPointF(1.5, 1.5), QPointF(1.5, 14.5));
        p.drawLine(QPointF(1.5, 14.5), QPointF(15, 14.5));
        p.setPen(pen(outline, 0.8));
        p.setBrush(kBlue);
        p.drawRect(QRectF(3.5, 8.5, 3, 6));
        p.setBrush(kGreen);
        p.drawRect(QRectF(7.5, 4.5, 3, 10));
        p.setBrush(QColor(0xe8, 0x8a, 0x2a));
        p.drawRect(QRectF(11.5, 6.5, 3, 8));
        break;
    }
    case Compact:
        cylinder(p, QRectF(5, 2.5, 6, 11), kBlue, kBlueDark);
        p.setPen(pen(kRed, 1.6));
        p.drawLine(QPointF(0.5, 8), QPointF(2.2, 8));
        p.drawLine(QPointF(13.8, 8), QPointF(15.5, 8));
        arrowHead(p, QPointF(4.6, 8), 0, 3, kRed);
        arrowHead(p, QPointF(11.4, 8), 180, 3, kRed);
        break;
    case WebSite: {
        QRadialGradient g(QPointF(6, 5), 10);
        g.setColorAt(0, QColor(0x7f, 0xc4, 0xf0));
        g.setColorAt(1, kBlue);
        p.setPen(pen(kBlueDark, 1));
        p.setBrush(g);
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setPen(pen(QColor(255, 255, 255, 210), 0.9));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(5, 1.3, 6, 13.4));
        p.drawLine(QPointF(8, 1.3), QPointF(8, 14.7));
        p.drawLine(QPointF(1.3, 8), QPointF(14.7, 8));
        p.drawLine(QPointF(2.6, 4.6), QPointF(13.4, 4.6));
        p.drawLine(QPointF(2.6, 11.4), QPointF(13.4, 11.4));
        break;
    }
    case Report: {
        QPainterPath page;
        page.moveTo(2.5, 0.5);
        page.lineTo(10, 0.5);
        page.lineTo(13.5, 4);
        page.lineTo(13.5, 15.5);
        page.lineTo(2.5, 15.5);
        page.closeSubpath();
        p.setPen(pen(outline, 1));
        p.setBrush(Qt::white);
        p.drawPath(page);
        p.setBrush(kGreyLight);
        QPolygonF fold;
        fold << QPointF(10, 0.5) << QPointF(10, 4) << QPointF(13.5, 4);
        p.drawPolygon(fold);
        p.setPen(pen(kBlue, 1));
        p.drawLine(QPointF(4.5, 4), QPointF(8, 4));
        p.setPen(pen(kGrey, 1));
        for (qreal y : {7.0, 9.5, 12.0, 14.0})
            p.drawLine(QPointF(4.5, y), QPointF(y == 14.0 ? 8.5 : 11.5, y));
        break;
    }
    default:
        break;
    }
}

void drawApplicationIcon(QPainter &p)
{
    // Designed on a 64 × 64 grid, the same drawing as resources/icons/orvessa.svg.
    QLinearGradient bg(0, 0, 0, 64);
    bg.setColorAt(0, QColor(0x1f, 0x8a, 0x9c));
    bg.setColorAt(1, QColor(0x11, 0x5a, 0x70));
    p.setPen(Qt::NoPen);
    p.setBrush(bg);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);

    const QColor disc(0xf4, 0xf8, 0xfa);
    const QColor band(0xc8, 0xe3, 0xea);
    p.setBrush(disc);
    QPainterPath body;
    body.moveTo(12, 16);
    body.lineTo(12, 44);
    body.arcTo(QRectF(12, 38, 30, 12), 180, 180);
    body.lineTo(42, 16);
    body.arcTo(QRectF(12, 10, 30, 12), 0, 180);
    p.drawPath(body);
    p.setPen(QPen(band, 2.5));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(12, 20, 30, 12), 180 * 16, 180 * 16);
    p.drawArc(QRectF(12, 30, 30, 12), 180 * 16, 180 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe2, 0xef, 0xf3));
    p.drawEllipse(QRectF(12, 10, 30, 12));

    // The magnifying glass over the cylinder.
    p.setPen(QPen(QColor(0xff, 0xb3, 0x2e), 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(47, 47), QPointF(56, 56));
    p.setPen(QPen(QColor(0xff, 0xb3, 0x2e), 4));
    p.setBrush(QColor(255, 255, 255, 90));
    p.drawEllipse(QPointF(40, 40), 10, 10);
}
// Draws the picture afresh at whatever size is asked for in device pixels, so that it is
// never a scaled copy of another size, and in the palette in use at that moment.
class DrawnIconEngine : public QIconEngine
{
public:
    DrawnIconEngine(Drawing drawing, qreal designSize)
        : m_drawing(std::move(drawing)), m_designSize(designSize)
    {
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal dpr = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
        const int side = qMin(rect.width(), rect.height());
        QPixmap pm = pixmap(QSize(side, side) * dpr, mode, state);
        pm.setDevicePixelRatio(dpr);
        painter->drawPixmap(QRectF(rect.topLeft(), QSizeF(side, side)), pm, QRectF(pm.rect()));
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State) override
    {
        const QPalette palette = QGuiApplication::palette();
        const QImage image = render(qMin(size.width(), size.height()), m_drawing, palette, m_designSize);
        QPixmap pm = QPixmap::fromImage(image);
        if (mode == QIcon::Disabled) {
            QStyleOption option;
            option.palette = palette;
            pm = QApplication::style()->generatedIconPixmap(QIcon::Disabled, pm, &option);
        }
        return pm;
    }

    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state, qreal) override
    {
        return pixmap(size, mode, state);
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        const int side = qMin(size.width(), size.height());
        return QSize(side, side);
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        const int side = int(m_designSize);
        return {QSize(side, side), QSize(2 * side, 2 * side)};
    }

    QIconEngine *clone() const override { return new DrawnIconEngine(m_drawing, m_designSize); }
    QString key() const override { return QStringLiteral("orvessa.drawn"); }

private:
    Drawing m_drawing;
    qreal m_designSize;
};

} // namespace

QImage render(int size, const Drawing &drawing, const QPalette &palette, qreal designSize)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / designSize, size / designSize);
    drawing(p, palette);
    return image;
}

QIcon drawnIcon(Drawing drawing, qreal designSize)
{
    return QIcon(new DrawnIconEngine(std::move(drawing), designSize));
}

QColor outlineColor(const QPalette &palette)
{
    // Dark lines vanish on a dark tool bar; there they are drawn light.
    return contrast::isDark(palette) ? QColor(0xc5, 0xcd, 0xd6) : QColor(0x33, 0x3d, 0x4a);
}

Drawing drawing(int index)
{
    return [index](QPainter &p, const QPalette &palette) { draw(p, index, outlineColor(palette)); };
}

QIcon icon(int index)
{
    return drawnIcon(drawing(index));
}

QPixmap pixmap(int index, int size)
{
    return QPixmap::fromImage(render(size, drawing(index), QGuiApplication::palette()));
}

QPixmap applicationPixmap(int size)
{
    return QPixmap::fromImage(render(
        size, [](QPainter &p, const QPalette &) { drawApplicationIcon(p); }, QPalette(), 64.0));
}

QIcon applicationIcon()
{
    return drawnIcon([](QPainter &p, const QPalette &) { drawApplicationIcon(p); }, 64.0);
}
} // namespace imagelist
