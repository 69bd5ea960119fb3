#include "query/HexView.h"

#include <QFontDatabase>
#include <QPainter>
#include <QScrollBar>

HexView::HexView(QWidget *parent) : QAbstractScrollArea(parent)
{
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setFocusPolicy(Qt::StrongFocus);
}

void HexView::setBytes(const QByteArray &bytes)
{
    m_bytes = bytes;
    verticalScrollBar()->setValue(0);
    updateScrollBars();
    viewport()->update();
}

int HexView::lineHeight() const
{
    return fontMetrics().height();
}

QString HexView::lineText(qsizetype line) const
{
    static const char hex[] = "0123456789abcdef";
    const qsizetype begin = line * bytesPerLine;
    if (line < 0 || begin >= m_bytes.size())
        return QString();
    QString text = QStringLiteral("%1  ").arg(begin, 8, 16, QLatin1Char('0'));
    QString ascii;
    for (int i = 0; i < bytesPerLine; ++i) {
        if (begin + i < m_bytes.size()) {
            const auto byte = static_cast<unsigned char>(m_bytes[begin + i]);
            text += QLatin1Char(hex[byte >> 4]);
            text += QLatin1Char(hex[byte & 15]);
            ascii += byte >= 0x20 && byte < 0x7f ? QLatin1Char(char(byte)) : QLatin1Char('.');
        } else {
            text += QStringLiteral("  ");
        }
        text += i == 7 ? QStringLiteral("  ") : QStringLiteral(" ");
    }
    return text + QLatin1Char('|') + ascii + QLatin1Char('|');
}

void HexView::updateScrollBars()
{
    const int visible = qMax(1, viewport()->height() / qMax(1, lineHeight()));
    const qsizetype lines = lineCount();
    verticalScrollBar()->setRange(0, int(qMin<qsizetype>(qMax<qsizetype>(0, lines - visible), INT_MAX)));
    verticalScrollBar()->setPageStep(visible);
    const int width =
        fontMetrics().horizontalAdvance(lineText(0).isEmpty() ? QStringLiteral("0") : lineText(0));
    horizontalScrollBar()->setRange(0, qMax(0, width + 8 - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

void HexView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void HexView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), palette().base());
    painter.setPen(palette().color(QPalette::Text));
    const int height = lineHeight();
    const qsizetype first = verticalScrollBar()->value();
    const int x = 4 - horizontalScrollBar()->value();
    for (int y = 0; y < viewport()->height(); y += height) {
        const qsizetype line = first + y / height;
        if (line >= lineCount())
            break;
        painter.drawText(x, y + fontMetrics().ascent(), lineText(line));
    }
}
