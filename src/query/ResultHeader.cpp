#include "query/ResultHeader.h"

#include "query/ResultModel.h"
#include "query/ResultShaper.h"
#include "shell/Language.h"
#include "shell/texts/UiTexts.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

namespace {

const ResultShaper *shaperOf(const QAbstractItemModel *model)
{
    const auto *result = qobject_cast<const ResultModel *>(model);
    return result ? result->shaper() : nullptr;
}

} // namespace

ResultHeader::ResultHeader(QWidget *parent) : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsClickable(true);
    setHighlightSections(false);
    setSectionsMovable(false);
    setMouseTracking(true);
    connect(this, &QHeaderView::sectionCountChanged, this, [this] {
        makeBoxes();
        placeBoxes();
    });
    connect(this, &QHeaderView::sectionResized, this, &ResultHeader::placeBoxes);
    connect(this, &QHeaderView::geometriesChanged, this, &ResultHeader::placeBoxes);
}

int ResultHeader::titleHeight() const
{
    return QHeaderView::sizeHint().height();
}

QSize ResultHeader::sizeHint() const
{
    QSize size = QHeaderView::sizeHint();
    if (m_filterRow)
        size.rheight() += QLineEdit().sizeHint().height();
    return size;
}

void ResultHeader::setFilterRowVisible(bool visible)
{
    if (m_filterRow == visible)
        return;
    m_filterRow = visible;
    makeBoxes();
    for (QLineEdit *box : std::as_const(m_boxes))
        box->setVisible(visible);
    updateGeometry();
    placeBoxes();
    viewport()->update();
}

QStringList ResultHeader::filterTexts() const
{
    QStringList texts;
    for (const QLineEdit *box : m_boxes)
        texts.append(box->text());
    return texts;
}

void ResultHeader::setFilterTexts(const QStringList &texts)
{
    makeBoxes();
    for (qsizetype i = 0; i < m_boxes.size(); ++i)
        m_boxes[i]->setText(texts.value(i));
}

QLineEdit *ResultHeader::filterBox(int column) const
{
    return m_boxes.value(column);
}

void ResultHeader::makeBoxes()
{
    const int columns = count();
    while (m_boxes.size() > columns)
        delete m_boxes.takeLast();
    while (m_boxes.size() < columns) {
        // In the viewport, so that scrolling sideways moves the boxes with their sections.
        auto *box = new QLineEdit(viewport());
        box->setClearButtonEnabled(true);
        box->setVisible(m_filterRow);
        box->installEventFilter(this);
        connect(box, &QLineEdit::returnPressed, this, [this] { emit filtersEntered(filterTexts()); });
        m_boxes.append(box);
    }
    applyLanguage();
}

void ResultHeader::applyLanguage()
{
    const GridTexts &t = uiTexts().grid;
    for (qsizetype i = 0; i < m_boxes.size(); ++i) {
        const QString name = model() ? model()->headerData(int(i), Qt::Horizontal).toString() : QString();
        m_boxes[i]->setPlaceholderText(t.filterPlaceholder);
        m_boxes[i]->setToolTip(t.filterHint);
        m_boxes[i]->setAccessibleName(t.filterAccessible.arg(name));
    }
}

void ResultHeader::placeBoxes()
{
    if (!m_filterRow)
        return;
    const int top = titleHeight();
    const int height = this->height() - top;
    for (qsizetype i = 0; i < m_boxes.size(); ++i) {
        const int x = sectionViewportPosition(int(i));
        m_boxes[i]->setGeometry(x, top, sectionSize(int(i)), height);
    }
}

void ResultHeader::updateGeometries()
{
    QHeaderView::updateGeometries();
    placeBoxes();
}

bool ResultHeader::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *box = qobject_cast<QLineEdit *>(watched);
        const auto *key = static_cast<QKeyEvent *>(event);
        if (box && key->key() == Qt::Key_Escape && !box->text().isEmpty()) {
            box->clear();
            emit filtersEntered(filterTexts());
            return true;
        }
    }
    return QHeaderView::eventFilter(watched, event);
}

bool ResultHeader::onEdge(const QPoint &pos) const
{
    const int grip = style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, this);
    const int section = logicalIndexAt(pos);
    if (section < 0)
        return false;
    const int left = sectionViewportPosition(section);
    const int right = left + sectionSize(section);
    return pos.x() >= right - grip || (pos.x() <= left + grip && visualIndex(section) > 0);
}

void ResultHeader::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    m_pressed = -1;
    m_resizing = false;
    if (event->button() != Qt::LeftButton || pos.y() >= titleHeight() || onEdge(pos)) {
        // Edges size their columns as headers do.
        m_resizing = event->button() == Qt::LeftButton;
        QHeaderView::mousePressEvent(event);
        return;
    }
    // A click sorts; selecting the column is Ctrl's (and the grid's) business.
    m_pressed = logicalIndexAt(pos);
    m_pressModifiers = event->modifiers();
}

void ResultHeader::mouseMoveEvent(QMouseEvent *event)
{
    if (m_pressed >= 0)
        return;
    QHeaderView::mouseMoveEvent(event);
}

void ResultHeader::mouseReleaseEvent(QMouseEvent *event)
{
    const int pressed = std::exchange(m_pressed, -1);
    if (pressed < 0) {
        m_resizing = false;
        QHeaderView::mouseReleaseEvent(event);
        return;
    }
    if (logicalIndexAt(event->position().toPoint()) == pressed)
        emit sectionClickedWith(pressed, m_pressModifiers);
}

QString ResultHeader::marks(int column) const
{
    const ResultShaper *shaper = shaperOf(model());
    if (!shaper)
        return QString();
    const QList<SortColumn> &sort = shaper->sort();
    qsizetype place = -1;
    for (qsizetype i = 0; i < sort.size(); ++i) {
        if (sort[i].column == column)
            place = i;
    }
    const GridTexts &t = uiTexts().grid;
    QStringList marks;
    if (place >= 0) {
        QString arrow = sort[place].descending ? QStringLiteral(u"\u25BC") : QStringLiteral(u"\u25B2");
        if (sort.size() > 1)
            arrow += QString::number(place + 1);
        marks.append(arrow);
        marks.append(shaper->site() == ResultShaper::Site::Database ? t.siteDatabase : t.siteGrid);
    }
    const QList<ColumnFilter> &filters = shaper->filters();
    if (std::any_of(filters.begin(), filters.end(),
                    [column](const ColumnFilter &f) { return f.column() == column; }))
        marks.append(QStringLiteral(u"\u2261"));
    if (!shaper->refusal().isEmpty() && shaper->refusalColumn() == column)
        marks.append(QStringLiteral("!"));
    return marks.join(u' ');
}

namespace {

QFont marksFont(QFont font)
{
    font.setPointSizeF(qMax(6.0, font.pointSizeF() * 0.85));
    return font;
}

} // namespace

int ResultHeader::marksWidth(int column) const
{
    const QString text = marks(column);
    return text.isEmpty() ? 0 : QFontMetrics(marksFont(font())).horizontalAdvance(text) + 6;
}

void ResultHeader::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    // The title on top; the filter row's boxes cover the rest.
    const QRect title(rect.left(), rect.top(), rect.width(), titleHeight());
    painter->save();
    QHeaderView::paintSection(painter, title, logicalIndex);
    painter->restore();
    const QString text = marks(logicalIndex);
    if (text.isEmpty())
        return;
    const ResultShaper *shaper = shaperOf(model());
    const bool refused = shaper && !shaper->refusal().isEmpty() && shaper->refusalColumn() == logicalIndex;
    const QFont small = marksFont(font());
    const int width = marksWidth(logicalIndex);
    painter->save();
    const QRect area(title.right() - width, title.top(), width - 2, title.height());
    painter->fillRect(area.adjusted(0, 2, 0, -2), palette().button());
    painter->setFont(small);
    painter->setPen(refused ? QColor(Qt::red) : palette().color(QPalette::ButtonText));
    painter->drawText(area, Qt::AlignRight | Qt::AlignVCenter, text);
    painter->restore();
}
