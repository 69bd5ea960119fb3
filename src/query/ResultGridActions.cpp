// The result grid's actions: its commands and context menu, and the sort, filter and find they run.
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

bool ResultGrid::runWork(const std::function<void(const std::atomic<bool> &)> &work)
{
    return runLocalWork(m_runner, work);
}

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
