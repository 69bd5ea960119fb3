#include "query/ResultGrid.h"

#include "connection/WorkRunnerDialog.h"
#include "db/SqlDialectRules.h"
#include "query/BlobViewer.h"
#include "query/CellFinder.h"
#include "query/CellValues.h"
#include "query/DeleteRecord.h"
#include "query/GridFindBar.h"
#include "query/LocalWork.h"
#include "query/Query.h"
#include "query/ResultHeader.h"
#include "query/ResultModel.h"
#include "query/ResultShaper.h"
#include "query/RowEditor.h"
#include "shell/Guard.h"
#include "shell/Language.h"
#include "shell/Prompt.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QToolTip>

namespace {

// The indicator column: the record marker drawn by hand so it fits eleven pixels.
class IndicatorHeader : public QHeaderView
{
public:
    explicit IndicatorHeader(QWidget *parent) : QHeaderView(Qt::Vertical, parent)
    {
        setSectionResizeMode(QHeaderView::Fixed);
        setSectionsClickable(false);
        setHighlightSections(false);
        setFixedWidth(ResultGrid::indicatorWidth);
    }

    QSize sizeHint() const override { return QSize(ResultGrid::indicatorWidth, defaultSectionSize()); }

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override
    {
        painter->save();
        painter->fillRect(rect, palette().button());
        painter->setPen(palette().color(QPalette::Mid));
        painter->drawLine(rect.topRight(), rect.bottomRight());
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
        const QString marker =
            model() ? model()->headerData(logicalIndex, Qt::Vertical).toString() : QString();
        painter->setPen(palette().color(QPalette::ButtonText));
        painter->setBrush(palette().buttonText());
        painter->setRenderHint(QPainter::Antialiasing);
        const QPointF c = QRectF(rect).center();
        if (marker == ResultModel::currentMarker()) {
            QPainterPath arrow;
            arrow.moveTo(c.x() - 2.5, c.y() - 4);
            arrow.lineTo(c.x() + 2.5, c.y());
            arrow.lineTo(c.x() - 2.5, c.y() + 4);
            arrow.closeSubpath();
            painter->drawPath(arrow);
        } else if (!marker.isEmpty()) {
            QFont small = font();
            small.setPixelSize(9);
            painter->setFont(small);
            painter->drawText(rect, Qt::AlignCenter, marker);
        }
        painter->restore();
    }
};

// The cell painting of the grid: even records come shaded from the model; a selected cell is
// drawn in the highlight colours whatever the record's shade.
class CellDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        auto *editor = new QLineEdit(parent);
        editor->setFrame(false);
        return editor;
    }

    // The editor starts from the stored value, never from the text shown in the cell.
    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        const auto *model = qobject_cast<const ResultModel *>(index.model());
        const QVariant v = index.data(Qt::EditRole);
        const QString text = model ? CellValues::editText(model->editor()->fieldType(index.column()), v,
                                                          model->editor()->locale())
                                   : CellValues::text(v);
        auto *line = static_cast<QLineEdit *>(editor);
        line->setText(text);
        line->setProperty("originalText", text);
        line->selectAll();
    }

    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override
    {
        writeBack(editor, model, index);
    }

    // Leaving a cell unchanged must not start an edit (nor turn NULL into empty text). False when
    // the model refused the text.
    static bool writeBack(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index)
    {
        auto *line = static_cast<QLineEdit *>(editor);
        if (line->text() == line->property("originalText").toString())
            return true;
        if (!model->setData(index, line->text(), Qt::EditRole))
            return false;
        line->setProperty("originalText", line->text());
        return true;
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (option->state & QStyle::State_Selected) {
            const QPalette::ColorGroup group =
                option->state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
            option->backgroundBrush = option->palette.brush(group, QPalette::Highlight);
            option->palette.setBrush(QPalette::Text, option->palette.brush(group, QPalette::HighlightedText));
        }
    }
};

} // namespace

ResultGrid::ResultGrid(QWidget *parent)
    : QTableView(parent), m_header(new ResultHeader(this)), m_findBar(new GridFindBar(this))
{
    setVerticalHeader(new IndicatorHeader(this));
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    setHorizontalHeader(m_header);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setShowGrid(true);
    setWordWrap(false);
    setItemDelegate(new CellDelegate(this));
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::SelectedClicked);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    m_runner = makeDialogWorkRunner(this);

    m_findBar->hide();
    connect(m_findBar, &GridFindBar::findRequested, this, [this](bool backwards) {
        request(Request(backwards ? Action::FindPrevious : Action::FindNext));
    });
    connect(m_findBar, &GridFindBar::closeRequested, this, [this] {
        m_findBar->hide();
        updateGeometries();
        setFocus(Qt::OtherFocusReason);
    });
    connect(m_header, &ResultHeader::sectionClickedWith, this,
            [this](int section, Qt::KeyboardModifiers modifiers) {
                request(Request(Action::SortByColumn, section, modifiers));
            });
    connect(m_header, &ResultHeader::filtersEntered, this,
            [this](const QStringList &texts) { request(Request(Action::ApplyFilters, -1, {}, texts)); });
    // After the header's own fit (which counts as the user's width), the grid's: the widest
    // value seen, and the column grows by itself again.
    connect(m_header, &QHeaderView::sectionHandleDoubleClicked, this, &ResultGrid::fitColumn);
    connect(m_header, &QHeaderView::sectionResized, this, [this](int column) {
        if (!m_sizing)
            m_widths.setManual(column, true);
    });
    m_growTimer.setSingleShot(true);
    m_growTimer.setInterval(30);
    connect(&m_growTimer, &QTimer::timeout, this, &ResultGrid::growColumns);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { m_growTimer.start(); });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { m_growTimer.start(); });
    makeCommands();
}

ResultGrid::~ResultGrid() = default;

void ResultGrid::setWorkRunner(WorkRunner runner)
{
    m_runner = std::move(runner);
    if (m_model)
        m_model->shaper()->setWorkRunner(m_runner);
}

void ResultGrid::setModel(QAbstractItemModel *model)
{
    if (m_model) {
        disconnect(m_model, nullptr, this, nullptr);
        disconnect(m_model->shaper(), nullptr, this, nullptr);
    }
    QTableView::setModel(model);
    m_model = qobject_cast<ResultModel *>(model);
    if (!m_model)
        return;
    connect(m_model, &QAbstractItemModel::modelReset, this, &ResultGrid::sizeColumnsToData);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, [this] { m_growTimer.start(); });
    disconnect(m_model->editor(), nullptr, this, nullptr);
    connect(m_model->editor(), &RowEditor::currentRowChanged, this, &ResultGrid::followEditor);
    connect(m_model->editor(), &RowEditor::stateChanged, this, &ResultGrid::updateCommands);
    ResultShaper *shaper = m_model->shaper();
    shaper->setWorkRunner(m_runner);
    connect(shaper, &ResultShaper::shapeChanged, this, [this] {
        // The boxes show the filters that apply once they change (applied, or dropped with a new
        // statement); what is typed and not applied yet stays, and so does a refused text.
        const ResultShaper *s = m_model->shaper();
        QStringList texts;
        for (int c = 0; c < m_model->columnCount(); ++c)
            texts.append(s->filterText(c));
        if (s->refusal().isEmpty() && texts != m_appliedFilters) {
            m_header->setFilterTexts(texts);
            m_appliedFilters = texts;
        }
        fitShapedColumns();
        m_header->viewport()->update();
        updateCommands();
        emit shapeChanged();
    });
    sizeColumnsToData();
}

int ResultGrid::selectedField() const
{
    if (!m_model || m_model->columnCount() == 0)
        return -1;
    const int column = currentIndex().isValid() ? currentIndex().column() : -1;
    return column >= 0 && column < m_model->columnCount() ? column : -1;
}

bool ResultGrid::commitEditor()
{
    const QModelIndex index = currentIndex();
    QWidget *editor = state() == QAbstractItemView::EditingState ? indexWidget(index) : nullptr;
    if (!editor || !m_model)
        return true;
    // A refused value stays in the open editor, so nothing typed is lost.
    if (!CellDelegate::writeBack(editor, m_model, index))
        return false;
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}

void ResultGrid::discardEditor()
{
    QWidget *editor = state() == QAbstractItemView::EditingState ? indexWidget(currentIndex()) : nullptr;
    if (editor)
        closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
}

bool ResultGrid::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    const bool opened = QTableView::edit(index, trigger, event);
    if (opened)
        emit cellEditingChanged();
    return opened;
}

void ResultGrid::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    QTableView::closeEditor(editor, hint);
    emit cellEditingChanged();
}

void ResultGrid::followEditor(qint64 row)
{
    if (!m_model || row < 0 || row >= m_model->rowCount())
        return;
    const QModelIndex now = currentIndex();
    if (now.isValid() && now.row() == row)
        return;
    m_syncing = true;
    const QModelIndex target = m_model->index(int(row), now.isValid() ? now.column() : 0);
    selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
    scrollTo(target);
    m_syncing = false;
}

void ResultGrid::updateGeometries()
{
    QTableView::updateGeometries();
    if (!m_findBar || !m_findBar->isVisible())
        return;
    // The find bar takes the room below the rows, above the horizontal scroll bar.
    const int height = m_findBar->sizeHint().height();
    const QMargins margins = viewportMargins();
    if (margins.bottom() != height)
        setViewportMargins(margins.left(), margins.top(), margins.right(), height);
    // Under the rows and the indicator column, beside the vertical scroll bar.
    const QRect rows = viewport()->geometry();
    m_findBar->setGeometry(frameWidth(), rows.bottom() + 1, rows.right() + 1 - frameWidth(), height);
}

void ResultGrid::keyPressEvent(QKeyEvent *event)
{
    if (m_model && state() != QAbstractItemView::EditingState) {
        RowEditor *editor = m_model->editor();
        if (event->key() == Qt::Key_Escape && editor->state() != RowEditor::State::Browse) {
            recordKey(RecordNavigator::Cancel);
            return;
        }
        if (event->key() == Qt::Key_Insert && event->modifiers() == Qt::NoModifier) {
            recordKey(RecordNavigator::Insert);
            return;
        }
        if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::ControlModifier) {
            recordKey(RecordNavigator::Delete);
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

// ---- commands ---------------------------------------------------------------------------------

void ResultGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    updateCommands();
    if (m_syncing || !m_model || !current.isValid() || current.row() == previous.row())
        return;
    RowEditor *editor = m_model->editor();
    if (current.row() == editor->currentRow() || editor->setCurrentRow(current.row()))
        return;
    // The pending change could not be posted: the record stays where it was.
    followEditor(editor->currentRow());
}

// ---- sort and filter --------------------------------------------------------------------------

// ---- find -------------------------------------------------------------------------------------

// ---- copy, NULL, binary values ----------------------------------------------------------------

void ResultGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && index.data(Qt::EditRole).typeId() == QMetaType::QByteArray) {
        setCurrentIndex(index);
        request(Request(Action::OpenValue));
        return;
    }
    QTableView::mouseDoubleClickEvent(event);
}

void ResultGrid::recordKey(RecordNavigator::Button button)
{
    guarded([this, button] {
        if (m_recordDispatcher) {
            m_recordDispatcher(button);
            return;
        }
        RowEditor *editor = m_model->editor();
        switch (button) {
        case RecordNavigator::Cancel:
            editor->cancel();
            break;
        case RecordNavigator::Insert:
            editor->insert();
            break;
        case RecordNavigator::Delete:
            deleteCurrentRecord(*editor, this);
            break;
        default:
            break;
        }
    });
}
