#pragma once

#include "db/DataAccess.h"
#include "export/CopyText.h"
#include "query/ColumnWidths.h"
#include "query/RecordNavigator.h"

#include <QTableView>
#include <QTimer>

#include <deque>
#include <functional>

class BlobViewer;
class GridFindBar;
class QAction;
class QMenu;
class ResultHeader;
class ResultModel;

// The result grid. An 11-pixel indicator column at the left marks the current record
// (an arrow, "I" while it is edited, "*" for a new record); column and row lines; resizable
// columns; editable in place when the result can be written back. The current row follows the
// record editor, and moving to another row posts a pending edit.
//
// Beyond that, what people do with rows in every such grid, each a command of the context menu
// with its key (commands()):
// - a click on a column title sorts, Shift+click adds a column (ResultShaper decides whether the
//   grid or the database sorts), Ctrl+click selects the column;
// - the filter row under the titles (Ctrl+Shift+F), each box a column's filter;
// - the find bar (Ctrl+F; F3 and Shift+F3 find on), through every row, also those on disk;
// - Ctrl+C copies the selection as tab-separated text, with the titles when whole columns are
//   selected; Copy as writes CSV, JSON, a Markdown table or INSERT statements;
// - Ctrl+0 sets the current cell to NULL in an editable grid (a pending change, posted as any);
// - a binary cell shows its kind and size; opening it (double click) shows its bytes and, for an
//   image, the picture, with Save to file and, where the row can be changed, Load from file;
// - column widths grow to the widest value scrolled past, never shrinking by themselves; a double
//   click on a title's edge fits the column, Ctrl+Shift+W fits them all.
// Long work (a sort here, a search, a large copy) runs off the window's thread with the work
// runner's progress and Cancel.
class ResultGrid : public QTableView
{
    Q_OBJECT

public:
    // The grid's own commands: those of its context menu, in that order, then a click on a column
    // title and Return in the filter row.
    enum class Action {
        Copy,
        CopyTsv,
        CopyCsv,
        CopyJson,
        CopyMarkdown,
        CopyInsert,
        SetNull,
        OpenValue,
        SaveValue,
        LoadValue,
        Find,
        FindNext,
        FindPrevious,
        FilterRow,
        ClearFilters,
        OriginalOrder,
        SelectColumn,
        FitColumn,
        FitAllColumns,
        SortByColumn,
        ApplyFilters,
    };

    explicit ResultGrid(QWidget *parent = nullptr);
    ~ResultGrid() override;

    static constexpr int indicatorWidth = 11;
    // Rows looked at when the columns are sized after a query opens.
    static constexpr int sizingRows = 100;
    static constexpr int maxInitialColumnWidth = 320;
    // How wide columns grow by themselves as wider values come into view, and how wide a fit makes
    // them.
    static constexpr int maxGrownColumnWidth = 480;
    static constexpr int maxFitColumnWidth = 800;

    void setModel(QAbstractItemModel *model) override;
    ResultModel *resultModel() const { return m_model; }
    ResultHeader *resultHeader() const { return m_header; }
    GridFindBar *findBar() const { return m_findBar; }
    BlobViewer *blobViewer() const { return m_viewer; }
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

    // Runs the grid's own long work (sort, search, copy); the program's runner shows progress
    // and Cancel, the default runs it directly.
    void setWorkRunner(WorkRunner runner);

    // The menu item (with its key) of an action of the context menu; null for the others.
    QAction *action(Action action) const;
    // Those items, in the order of the context menu, for the window's menu too.
    QList<QAction *> commands() const;
    // Where the actions go instead of running at once (the window runs them as commands, one at a
    // time): told once per action asked for, which runNextAction() then runs in turn.
    void setActionDispatcher(std::function<void()> dispatcher) { m_actionDispatcher = std::move(dispatcher); }
    void runNextAction();
    // Texts of the commands, the header and the find bar in the interface language.
    void applyLanguage();
    // The grid's commands added to a menu: its context menu, or the window's.
    void fillMenu(QMenu *menu);
    // The menu the grid shows on a right click, made for the current cell.
    QMenu *makeContextMenu(QWidget *parent);

    // The commands' work.
    void copyAs(CopyFormat format);
    void setCurrentCellNull();
    void openValue();
    void saveValue();
    void loadValue();
    void showFindBar();
    void find(bool backwards);
    void setFilterRowVisible(bool visible);
    void fitColumn(int column);
    void fitAllColumns();
    void sortByColumn(int column, Qt::KeyboardModifiers modifiers);

    // The widest value seen so far in a column, in pixels with its padding.
    int widestSeen(int column) const { return m_widths.widest(column); }

signals:
    // A cell editor opened or closed: what is typed there counts as a pending change.
    void cellEditingChanged();
    // A line for the message log (a value saved, a sort refused, ...).
    void notice(const QString &text);
    // The sort or filters changed: the status bar's "n of m rows match" may too.
    void shapeChanged();

protected:
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void updateGeometries() override;
    int sizeHintForColumn(int column) const override;

private:
    void followEditor(qint64 row);
    // An action asked for, with what it needs: the column and keys of a title click, the filter
    // texts, the check of the filter row.
    struct Request
    {
        explicit Request(Action a, int c = -1, Qt::KeyboardModifiers m = {}, QStringList t = {},
                         bool on = false)
            : action(a), column(c), modifiers(m), texts(std::move(t)), checked(on)
        {
        }
        Action action;
        int column;
        Qt::KeyboardModifiers modifiers;
        QStringList texts;
        bool checked;
    };
    void request(Request request);
    void run(const Request &request);
    void makeCommands();
    void updateCommands();
    void shapeRefused(bool filter);
    QByteArray currentBytes(bool *binary) const;
    BlobViewer *valueViewer();
    bool currentCellEditable() const;
    // Widths.
    int cellWidth(const QString &text) const;
    int titleWidth(int column) const;
    void fitShapedColumns();
    void showFirstRows();
    void measureVisibleRows() const;
    void growColumns();
    void setWidth(int column, int width);
    bool runWork(const std::function<void(const std::atomic<bool> &)> &work);

    // Runs a record key's action, or hands it to the dispatcher.
    void recordKey(RecordNavigator::Button button);

    ResultModel *m_model = nullptr;
    ResultHeader *m_header;
    GridFindBar *m_findBar;
    BlobViewer *m_viewer = nullptr;
    QList<QAction *> m_commands;
    QMenu *m_copyMenu = nullptr;
    WorkRunner m_runner;
    bool m_syncing = false;
    mutable ColumnWidths m_widths;
    QStringList m_sizedFields;
    QStringList m_appliedFilters;
    QTimer m_growTimer;
    bool m_sizing = false;
    std::function<void(RecordNavigator::Button)> m_recordDispatcher;
    std::function<void()> m_actionDispatcher;
    std::deque<Request> m_requests;
};
