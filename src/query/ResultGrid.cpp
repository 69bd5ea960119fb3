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

int ResultGrid::cellWidth(const QString &text) const
{
    return fontMetrics().horizontalAdvance(text.left(200)) + 10;
}

int ResultGrid::titleWidth(int column) const
{
    const QFontMetrics header(horizontalHeader()->font());
    return header.horizontalAdvance(m_model->headerData(column, Qt::Horizontal).toString()) + 14 +
           m_header->marksWidth(column);
}

void ResultGrid::fitShapedColumns()
{
    // A sorted or filtered column shows its marks beside its title, and its filter whole.
    for (int c = 0; c < m_model->columnCount(); ++c) {
        int wanted = m_header->marksWidth(c) > 0 ? titleWidth(c) : 0;
        const QLineEdit *box = m_header->filterBox(c);
        if (m_header->isFilterRowVisible() && box && !box->text().isEmpty())
            wanted = qMax(wanted, box->fontMetrics().horizontalAdvance(box->text()) + 40);
        if (columnWidth(c) < wanted)
            setWidth(c, qMin(wanted, maxGrownColumnWidth));
    }
}

void ResultGrid::showFirstRows()
{
    // The rows as now ordered, from the top.
    if (m_model->rowCount() > 0) {
        const int column = currentIndex().isValid() ? currentIndex().column() : 0;
        setCurrentIndex(m_model->index(0, column));
    }
    scrollToTop();
}

void ResultGrid::sizeColumnsToData()
{
    if (!m_model)
        return;
    // The same columns again (a sort, a filter, Refresh): the widths stay as they are.
    QStringList fields;
    for (int c = 0; c < m_model->columnCount(); ++c)
        fields.append(m_model->headerData(c, Qt::Horizontal).toString());
    m_header->applyLanguage();
    if (fields == m_sizedFields && !fields.isEmpty()) {
        m_growTimer.start();
        return;
    }
    m_sizedFields = fields;
    m_widths.reset(m_model->columnCount());
    const int rows = qMin(m_model->rowCount(), sizingRows);
    for (int c = 0; c < m_model->columnCount(); ++c) {
        int width = titleWidth(c);
        for (int r = 0; r < rows; ++r) {
            const int w = cellWidth(m_model->data(m_model->index(r, c)).toString());
            m_widths.see(c, w);
            width = qMax(width, w);
        }
        setWidth(c, qMin(width, maxInitialColumnWidth));
    }
}

void ResultGrid::setWidth(int column, int width)
{
    m_sizing = true;
    setColumnWidth(column, width);
    m_sizing = false;
}

void ResultGrid::measureVisibleRows() const
{
    if (!m_model || m_model->rowCount() == 0)
        return;
    const int first = qMax(0, rowAt(0));
    int last = rowAt(viewport()->height() - 1);
    if (last < 0)
        last = m_model->rowCount() - 1;
    int left = columnAt(0);
    int right = columnAt(viewport()->width() - 1);
    if (left < 0)
        left = 0;
    if (right < 0)
        right = m_model->columnCount() - 1;
    for (int c = left; c <= right; ++c) {
        for (int r = first; r <= last; ++r)
            m_widths.see(c, cellWidth(m_model->data(m_model->index(r, c)).toString()));
    }
}

void ResultGrid::growColumns()
{
    if (!m_model || m_widths.columnCount() != m_model->columnCount())
        return;
    measureVisibleRows();
    for (int c = 0; c < m_model->columnCount(); ++c) {
        const int width = m_widths.grown(c, columnWidth(c), maxGrownColumnWidth);
        if (width > columnWidth(c))
            setWidth(c, width);
    }
}

int ResultGrid::sizeHintForColumn(int column) const
{
    if (!m_model)
        return QTableView::sizeHintForColumn(column);
    measureVisibleRows();
    return qMin(m_widths.widest(column), maxFitColumnWidth);
}

void ResultGrid::fitColumn(int column)
{
    if (!m_model || column < 0 || column >= m_model->columnCount())
        return;
    measureVisibleRows();
    m_widths.setManual(column, false);
    setWidth(column, qMin(qMax(titleWidth(column), m_widths.widest(column)), maxFitColumnWidth));
}

void ResultGrid::fitAllColumns()
{
    if (!m_model)
        return;
    for (int c = 0; c < m_model->columnCount(); ++c)
        fitColumn(c);
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

void ResultGrid::makeCommands()
{
    struct Key
    {
        Action command;
        QKeySequence keys;
    };
    const Key keys[] = {
        {Action::Copy, QKeySequence::Copy},
        {Action::CopyTsv, {}},
        {Action::CopyCsv, {}},
        {Action::CopyJson, {}},
        {Action::CopyMarkdown, {}},
        {Action::CopyInsert, {}},
        {Action::SetNull, QKeySequence(Qt::CTRL | Qt::Key_0)},
        {Action::OpenValue, {}},
        {Action::SaveValue, {}},
        {Action::LoadValue, {}},
        {Action::Find, QKeySequence(Qt::CTRL | Qt::Key_F)},
        {Action::FindNext, QKeySequence(Qt::Key_F3)},
        {Action::FindPrevious, QKeySequence(Qt::SHIFT | Qt::Key_F3)},
        {Action::FilterRow, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)},
        {Action::ClearFilters, {}},
        {Action::OriginalOrder, {}},
        {Action::SelectColumn, QKeySequence(Qt::CTRL | Qt::Key_Space)},
        {Action::FitColumn, {}},
        {Action::FitAllColumns, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_W)},
    };
    for (const Key &key : keys) {
        auto *action = new QAction(this);
        action->setShortcut(key.keys);
        // The grid's keys, also while its find bar, filter row or cell editor has the focus.
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(action);
        m_commands.append(action);
        const Action command = key.command;
        connect(action, &QAction::triggered, this,
                [this, command](bool checked) { request(Request(command, -1, {}, {}, checked)); });
    }
    action(Action::FilterRow)->setCheckable(true);
    m_copyMenu = new QMenu(this);
    for (const Action c :
         {Action::CopyTsv, Action::CopyCsv, Action::CopyJson, Action::CopyMarkdown, Action::CopyInsert})
        m_copyMenu->addAction(action(c));
    applyLanguage();
}

void ResultGrid::request(Request request)
{
    if (!m_actionDispatcher) {
        guarded([&] { run(request); });
        return;
    }
    m_requests.push_back(std::move(request));
    m_actionDispatcher();
}

void ResultGrid::runNextAction()
{
    if (m_requests.empty())
        return;
    const Request next = std::move(m_requests.front());
    m_requests.pop_front();
    run(next);
}

void ResultGrid::run(const Request &request)
{
    switch (request.action) {
    case Action::Copy:
    case Action::CopyTsv:
        copyAs(CopyFormat::Tsv);
        break;
    case Action::CopyCsv:
        copyAs(CopyFormat::Csv);
        break;
    case Action::CopyJson:
        copyAs(CopyFormat::Json);
        break;
    case Action::CopyMarkdown:
        copyAs(CopyFormat::Markdown);
        break;
    case Action::CopyInsert:
        copyAs(CopyFormat::Insert);
        break;
    case Action::SetNull:
        setCurrentCellNull();
        break;
    case Action::OpenValue:
        openValue();
        break;
    case Action::SaveValue:
        saveValue();
        break;
    case Action::LoadValue:
        loadValue();
        break;
    case Action::Find:
        showFindBar();
        break;
    case Action::FindNext:
        find(false);
        break;
    case Action::FindPrevious:
        find(true);
        break;
    case Action::FilterRow:
        setFilterRowVisible(request.checked);
        break;
    case Action::ClearFilters:
        if (m_model && commitEditor() && !m_model->shaper()->clearFilters())
            shapeRefused(true);
        break;
    case Action::OriginalOrder:
        if (m_model && commitEditor() && !m_model->shaper()->clearSort())
            shapeRefused(false);
        break;
    case Action::SelectColumn:
        if (currentIndex().isValid())
            selectColumn(currentIndex().column());
        break;
    case Action::FitColumn:
        fitColumn(currentIndex().isValid() ? currentIndex().column() : 0);
        break;
    case Action::FitAllColumns:
        fitAllColumns();
        break;
    case Action::SortByColumn:
        sortByColumn(request.column, request.modifiers);
        break;
    case Action::ApplyFilters:
        if (!m_model || !commitEditor())
            break;
        if (m_model->shaper()->setFilterTexts(request.texts))
            showFirstRows();
        else
            shapeRefused(true);
        break;
    }
}

QAction *ResultGrid::action(Action action) const
{
    return m_commands.value(int(action));
}

QList<QAction *> ResultGrid::commands() const
{
    return m_commands;
}

void ResultGrid::applyLanguage()
{
    const GridTexts &t = uiTexts().grid;
    const QString texts[] = {t.copy,          t.copyTsv,      t.copyCsv,      t.copyJson,     t.copyMarkdown,
                             t.copyInsert,    t.setNull,      t.openValue,    t.saveValue,    t.loadValue,
                             t.find,          t.findNext,     t.findPrevious, t.filterRow,    t.clearFilters,
                             t.originalOrder, t.selectColumn, t.fitColumn,    t.fitAllColumns};
    for (qsizetype i = 0; i < m_commands.size(); ++i)
        m_commands[i]->setText(texts[i]);
    if (m_copyMenu)
        m_copyMenu->setTitle(t.copyAs);
    m_findBar->applyLanguage();
    m_header->applyLanguage();
}

bool ResultGrid::currentCellEditable() const
{
    const QModelIndex index = currentIndex();
    if (!m_model || !index.isValid())
        return false;
    const RowEditor *editor = m_model->editor();
    return !editor->isFetching() && editor->canEditRow(index.row());
}

QByteArray ResultGrid::currentBytes(bool *binary) const
{
    *binary = false;
    const QModelIndex index = currentIndex();
    if (!m_model || !index.isValid())
        return QByteArray();
    const QVariant value = index.data(Qt::EditRole);
    *binary = value.typeId() == QMetaType::QByteArray;
    return value.toByteArray();
}

void ResultGrid::updateCommands()
{
    const bool open = m_model && m_model->editor()->isOpen();
    bool binary = false;
    currentBytes(&binary);
    const AdoType type = m_model && currentIndex().isValid()
                             ? m_model->editor()->fieldType(currentIndex().column())
                             : AdoType::Empty;
    const bool binaryColumn =
        binary || type == AdoType::Binary || type == AdoType::VarBinary || type == AdoType::LongVarBinary;
    for (const Action c : {Action::Copy, Action::CopyTsv, Action::CopyCsv, Action::CopyJson,
                           Action::CopyMarkdown, Action::CopyInsert, Action::FindNext, Action::FindPrevious,
                           Action::SelectColumn, Action::FitColumn, Action::FitAllColumns})
        action(c)->setEnabled(open);
    action(Action::SetNull)->setEnabled(currentCellEditable());
    action(Action::OpenValue)->setEnabled(binary);
    action(Action::SaveValue)->setEnabled(binary);
    action(Action::LoadValue)->setEnabled(binaryColumn && currentCellEditable());
    const ResultShaper *shaper = m_model ? m_model->shaper() : nullptr;
    action(Action::ClearFilters)->setEnabled(shaper && !shaper->filters().isEmpty());
    action(Action::OriginalOrder)->setEnabled(shaper && !shaper->sort().isEmpty());
    action(Action::FilterRow)->setChecked(m_header->isFilterRowVisible());
}

void ResultGrid::fillMenu(QMenu *menu)
{
    menu->addAction(action(Action::Copy));
    menu->addMenu(m_copyMenu);
    menu->addSeparator();
    for (const Action c : {Action::SetNull, Action::OpenValue, Action::SaveValue, Action::LoadValue})
        menu->addAction(action(c));
    menu->addSeparator();
    for (const Action c : {Action::Find, Action::FindNext, Action::FindPrevious, Action::FilterRow,
                           Action::ClearFilters, Action::OriginalOrder})
        menu->addAction(action(c));
    menu->addSeparator();
    for (const Action c : {Action::SelectColumn, Action::FitColumn, Action::FitAllColumns})
        menu->addAction(action(c));
    // The items follow the current cell and the grid's shape whenever the menu opens.
    connect(menu, &QMenu::aboutToShow, this, &ResultGrid::updateCommands);
}

QMenu *ResultGrid::makeContextMenu(QWidget *parent)
{
    applyLanguage();
    updateCommands();
    auto *menu = new QMenu(parent);
    fillMenu(menu);
    return menu;
}

void ResultGrid::contextMenuEvent(QContextMenuEvent *event)
{
    const QModelIndex index = indexAt(viewport()->mapFromGlobal(event->globalPos()));
    if (index.isValid() && !selectionModel()->isSelected(index))
        setCurrentIndex(index);
    QMenu *menu = makeContextMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

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

bool ResultGrid::runWork(const std::function<void(const std::atomic<bool> &)> &work)
{
    return runLocalWork(m_runner, work);
}

// ---- sort and filter --------------------------------------------------------------------------

void ResultGrid::sortByColumn(int column, Qt::KeyboardModifiers modifiers)
{
    if (!m_model)
        return;
    if (modifiers & Qt::ControlModifier) {
        const QModelIndex top = m_model->index(0, column);
        if (top.isValid())
            selectionModel()->select(top, (selectionModel()->isColumnSelected(column)
                                               ? QItemSelectionModel::Deselect
                                               : QItemSelectionModel::Select) |
                                              QItemSelectionModel::Columns);
        return;
    }
    if (!commitEditor())
        return;
    if (m_model->shaper()->sortBy(column, modifiers & Qt::ShiftModifier))
        showFirstRows();
    else
        shapeRefused(false);
}

void ResultGrid::setFilterRowVisible(bool visible)
{
    m_header->setFilterRowVisible(visible);
    action(Action::FilterRow)->setChecked(visible);
    updateGeometries();
    if (visible) {
        const int column = currentIndex().isValid() ? currentIndex().column() : 0;
        if (QLineEdit *box = m_header->filterBox(column))
            box->setFocus(Qt::ShortcutFocusReason);
        return;
    }
    // Filters out of sight apply no more.
    if (m_model && !m_model->shaper()->filters().isEmpty() && commitEditor() &&
        !m_model->shaper()->clearFilters())
        shapeRefused(true);
    setFocus(Qt::OtherFocusReason);
}

void ResultGrid::shapeRefused(bool filter)
{
    const ResultShaper *shaper = m_model->shaper();
    const QString reason = shaper->refusal();
    if (reason.isEmpty())
        return;
    prompt().beep();
    const int column = qMax(0, shaper->refusalColumn());
    QPoint at(m_header->sectionViewportPosition(column), m_header->height());
    if (filter && m_header->filterBox(column))
        at = m_header->filterBox(column)->geometry().bottomLeft();
    QToolTip::showText(m_header->viewport()->mapToGlobal(at), reason, m_header);
    emit notice(reason);
}

// ---- find -------------------------------------------------------------------------------------

void ResultGrid::showFindBar()
{
    m_findBar->show();
    updateGeometries();
    m_findBar->activate();
}

void ResultGrid::find(bool backwards)
{
    if (!m_model || !m_model->editor()->isOpen())
        return;
    if (!m_findBar->isVisible() || m_findBar->text().isEmpty()) {
        showFindBar();
        return;
    }
    const RowEditor *editor = m_model->editor();
    const CellFinder finder(m_findBar->text(), m_findBar->matchCase());
    // A new row not posted yet has nothing stored to search.
    const qint64 rows = editor->rowCount() - (editor->state() == RowEditor::State::Insert ? 1 : 0);
    const CellPosition from = currentIndex().isValid()
                                  ? CellPosition{currentIndex().row(), currentIndex().column()}
                                  : CellPosition{};
    const RowStore &store = editor->recordset()->rows();
    const std::vector<int> *order = editor->hasView() ? &editor->view() : nullptr;
    std::optional<CellPosition> found;
    if (!runWork([&](const std::atomic<bool> &cancel) {
            found = finder.find(store, rows, order, from, backwards, &cancel);
        }))
        return;
    const GridTexts &t = uiTexts().grid;
    if (!found) {
        m_findBar->setStatus(t.findNotFound.arg(m_findBar->text()));
        prompt().beep();
        return;
    }
    const bool before = found->row < from.row || (found->row == from.row && found->column <= from.column);
    const bool wrapped = from.row >= 0 && (backwards ? !before || *found == from : before);
    const QModelIndex index = m_model->index(int(found->row), found->column);
    setCurrentIndex(index);
    scrollTo(index, QAbstractItemView::PositionAtCenter);
    m_findBar->setStatus(wrapped ? t.findWrapped : QString());
}

// ---- copy, NULL, binary values ----------------------------------------------------------------

void ResultGrid::copyAs(CopyFormat format)
{
    if (!m_model || !m_model->editor()->isOpen())
        return;
    const RowEditor *editor = m_model->editor();
    const Recordset *rs = editor->recordset();
    // The rows and columns of the selection: every row with a selected cell, every column with one.
    QItemSelection selection = selectionModel()->selection();
    if (selection.isEmpty() && currentIndex().isValid())
        selection.select(currentIndex(), currentIndex());
    if (selection.isEmpty())
        return;
    QList<int> columns;
    QList<std::pair<int, int>> spans;
    for (const QItemSelectionRange &range : std::as_const(selection)) {
        for (int c = range.left(); c <= range.right(); ++c) {
            if (!columns.contains(c))
                columns.append(c);
        }
        spans.append({range.top(), range.bottom()});
    }
    std::sort(columns.begin(), columns.end());
    std::sort(spans.begin(), spans.end());
    std::vector<int> rows;
    int next = 0;
    const qint64 pendingRow = editor->state() != RowEditor::State::Browse ? editor->currentRow() : -1;
    for (const auto &[top, bottom] : std::as_const(spans)) {
        for (int r = qMax(top, next); r <= bottom; ++r)
            rows.push_back(r == pendingRow ? -1 : int(editor->storedRow(r)));
        next = qMax(next, bottom + 1);
    }
    std::unique_ptr<RowStore> pending;
    if (pendingRow >= 0) {
        pending = std::make_unique<RowStore>(editor->fieldCount());
        QList<QVariant> values;
        for (int f = 0; f < editor->fieldCount(); ++f)
            values.append(editor->value(pendingRow, f));
        pending->appendRow(values);
    }

    CopyRequest request;
    request.format = format;
    request.fields = rs->fields();
    request.columns = columns;
    // The titles go along when whole columns are copied.
    request.header = std::all_of(columns.begin(), columns.end(),
                                 [this](int c) { return selectionModel()->isColumnSelected(c); });
    if (format == CopyFormat::Insert) {
        const Connection &connection = *m_model->query()->connection();
        request.dialect = connection.dialect();
        const SqlDialectRules &rules = SqlDialectRules::of(request.dialect);
        const EditTarget &target = editor->target();
        QString table = target.table;
        QString schema = target.schema;
        if (table.isEmpty()) {
            table = rs->fields().value(columns.value(0)).baseTable;
            schema = rs->fields().value(columns.value(0)).baseSchema;
        }
        if (table.isEmpty())
            table = QStringLiteral("result");
        request.insertTarget = schema.isEmpty()
                                   ? rules.quoteIdentifier(table)
                                   : rules.quoteIdentifier(schema) + u'.' + rules.quoteIdentifier(table);
        for (const int c : std::as_const(columns)) {
            const QString base = target.columns.value(c);
            request.insertColumns.append(
                rules.quoteIdentifier(base.isEmpty() ? rs->fields().value(c).name : base));
        }
    }
    QString text;
    if (!runWork([&](const std::atomic<bool> &cancel) {
            text = copyText(request, rs->rows(), rows, pending.get(), &cancel);
        }))
        return;
    QGuiApplication::clipboard()->setText(std::move(text));
}

void ResultGrid::setCurrentCellNull()
{
    const QModelIndex index = currentIndex();
    if (!m_model || !index.isValid())
        return;
    discardEditor();
    m_model->setData(index, QVariant(), Qt::EditRole);
}

BlobViewer *ResultGrid::valueViewer()
{
    if (!m_viewer) {
        m_viewer = new BlobViewer(this);
        connect(m_viewer, &BlobViewer::notice, this, &ResultGrid::notice);
        connect(m_viewer, &BlobViewer::loaded, this, [this](const QByteArray &loaded) {
            if (m_model && currentIndex().isValid())
                m_model->setData(currentIndex(), loaded, Qt::EditRole);
        });
    }
    return m_viewer;
}

void ResultGrid::openValue()
{
    bool binary = false;
    const QByteArray bytes = currentBytes(&binary);
    if (!binary) {
        emit notice(uiTexts().grid.noBinaryValue);
        prompt().beep();
        return;
    }
    const QString column = m_model->headerData(currentIndex().column(), Qt::Horizontal).toString();
    valueViewer()->showValue(column, bytes, currentCellEditable());
    prompt().showModal(m_viewer);
}

void ResultGrid::saveValue()
{
    bool binary = false;
    const QByteArray bytes = currentBytes(&binary);
    if (!binary)
        return;
    valueViewer()->showValue(m_model->headerData(currentIndex().column(), Qt::Horizontal).toString(), bytes,
                             currentCellEditable());
    m_viewer->saveToFile();
}

void ResultGrid::loadValue()
{
    if (!currentCellEditable())
        return;
    bool binary = false;
    const QByteArray bytes = currentBytes(&binary);
    valueViewer()->showValue(m_model->headerData(currentIndex().column(), Qt::Horizontal).toString(), bytes,
                             true);
    m_viewer->loadFromFile();
}

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
