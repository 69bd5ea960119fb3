#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>

class QToolButton;
class ResultGrid;
class RowEditor;

// The record navigator: ten buttons acting on the current record of the result grid, in this order:
// first, prior, next, last, insert, delete, edit, post, cancel, refresh.
//
// Enabled states: nothing but insert and refresh without rows; first/prior off on the first
// record, next/last off on the last; edit off while a change is pending; post and cancel only
// while one is (text typed in an open cell editor counts). On a read-only result insert, delete and edit stay
// enabled on purpose: pressing them logs why the result cannot be changed instead of leaving the user
// guessing.
class RecordNavigator : public QWidget
{
    Q_OBJECT

public:
    enum Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh, ButtonCount };

    explicit RecordNavigator(QWidget *parent = nullptr);

    // The hints of the ten buttons, in button order.
    void setHints(const QStringList &hints);
    QStringList hints() const;
    QToolButton *button(int index) const;

    void setEditor(RowEditor *editor);
    RowEditor *editor() const { return m_editor; }
    // The grid whose open cell editor is written into the record before a button acts (Cancel
    // drops it instead): clicking a button does not take the focus from the cell editor.
    void setGrid(ResultGrid *grid);
    // Runs the button's action on the current record; Delete asks first.
    void click(Button button);
    // Where a pressed button goes instead of acting at once (the window's command table, which
    // comes back to click()); without one, a button acts when pressed.
    void setDispatcher(std::function<void(Button)> dispatcher) { m_dispatcher = std::move(dispatcher); }

private:
    void updateButtons();

    QList<QToolButton *> m_buttons;
    RowEditor *m_editor = nullptr;
    QPointer<ResultGrid> m_grid;
    std::function<void(Button)> m_dispatcher;
};
