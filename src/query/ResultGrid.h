#pragma once

#include "query/RecordNavigator.h"

#include <QTableView>

#include <functional>

class ResultModel;

// The result grid. An 11-pixel indicator column at the left marks the current record
// (an arrow, "I" while it is edited, "*" for a new record); column and row lines; resizable
// columns; editable in place when the result can be written back. The current row follows the
// record editor, and moving to another row posts a pending edit.
class ResultGrid : public QTableView
{
    Q_OBJECT

public:
    explicit ResultGrid(QWidget *parent = nullptr);

    static constexpr int indicatorWidth = 11;
    // Rows looked at when the columns are sized after a query opens.
    static constexpr int sizingRows = 100;
    static constexpr int maxInitialColumnWidth = 320;

    void setModel(QAbstractItemModel *model) override;
    ResultModel *resultModel() const { return m_model; }
    // The field of the current column; -1 when there is none.
    int selectedField() const;
    // Sizes the columns from their titles and the first rows.
    void sizeColumnsToData();
    // Writes an open cell editor's text into the record (buttons and commands call this before
    // they act, since clicking them leaves the editor open). False, with the editor still open,
    // when the value was refused.
    bool commitEditor();
    // Closes an open cell editor without writing its text.
    void discardEditor();
    bool isEditingCell() const { return state() == QAbstractItemView::EditingState; }
    // Where the record keys (Escape while a change is pending, Insert, Ctrl+Delete) go instead of
    // acting at once, as the navigator's buttons they stand for.
    void setRecordDispatcher(std::function<void(RecordNavigator::Button)> dispatcher)
    {
        m_recordDispatcher = std::move(dispatcher);
    }
    using QTableView::edit;

signals:
    // A cell editor opened or closed: what is typed there counts as a pending change.
    void cellEditingChanged();

protected:
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void followEditor(qint64 row);

    // Runs a record key's action, or hands it to the dispatcher.
    void recordKey(RecordNavigator::Button button);

    ResultModel *m_model = nullptr;
    bool m_syncing = false;
    std::function<void(RecordNavigator::Button)> m_recordDispatcher;
};
