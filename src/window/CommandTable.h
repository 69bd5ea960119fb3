#pragma once

#include "window/Command.h"

#include <QHash>
#include <QObject>

#include <functional>

class Connection;
class QAction;
class QToolButton;

// What a command does with rows still arriving before it acts: nothing, wait for the last one
// (its progress dialog's Cancel stops the fetch, and the command goes on), or cancel the fetch
// (the rows so far stay until something replaces them).
enum class FetchRule { None, Wait, Cancel };

// The gate a command passes before its operation. A pending edit of the result grid is posted
// before the commands that replace or drop the grid's rows, or change how typed numbers are
// read; when that fails the command does not run.
struct CommandGate
{
    bool postEdit = false;
    FetchRule fetch = FetchRule::None;
};

// The window's one dispatcher. Every command is one entry: its gate, its operation and the menu
// item and tool button that start it. Every path (mouse, keyboard, menu, tool button, an
// accessibility action, a test) goes through trigger(), so no gate can be skipped.
//
// A command never runs inside the call that triggered it: it starts from the event loop once that
// call has returned, once no other command runs (with its questions and waits) and once the
// connection waits for no work. Commands run one at a time, in the order triggered; work the
// connection was handed to do when idle takes its turn among them.
class CommandTable : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        CommandGate gate;
        // The commands of the menus and the tool bar end with the window's command-state update,
        // whatever their operation did (unless it failed).
        bool updatesCommands = false;
        // Runs at once, outside the queue: only for what stops work (Cancel of a fetch).
        bool immediate = false;
        // Whether the command has anything to act on now; when not, it does nothing, gate included
        // (a double-click on a node of the tree that is not a table).
        std::function<bool()> applies;
    };

    CommandTable(Connection &connection, QObject *parent = nullptr);
    ~CommandTable() override;

    void add(Command command, Options options, std::function<void()> operation);
    // Binds a menu item or tool button: its signal triggers the command.
    void bind(Command command, QAction *action);
    void bind(Command command, QToolButton *button);
    QAction *action(Command command) const;
    QToolButton *button(Command command) const;

    // What the gates do: post the grid's pending edit (false: it failed, the command stops) and
    // end a fetch by a rule; and the command-state update.
    void setGates(std::function<bool()> postPendingEdit, std::function<void(FetchRule)> endFetch);
    void setUpdate(std::function<void()> updateCommands);

    // Runs the command from the event loop, after this call has returned (see above).
    void trigger(Command command);
    // No command is waiting or running.
    bool settled() const { return m_pending == 0 && !m_running; }

    // Test seam: told of each command as it starts; returning true skips its gate and operation
    // (the command-state update still ends a command that has one).
    void setInterceptor(std::function<bool(Command)> interceptor) { m_interceptor = std::move(interceptor); }

signals:
    // A command has run (or stopped at its gate, or failed).
    void finished(Command command);

private:
    struct Entry
    {
        Options options;
        std::function<void()> operation;
        QAction *action = nullptr;
        QToolButton *button = nullptr;
    };

    void dispatch(Command command);

    Connection &m_connection;
    QHash<Command, Entry> m_entries;
    std::function<bool()> m_postPendingEdit;
    std::function<void(FetchRule)> m_endFetch;
    std::function<void()> m_update;
    std::function<bool(Command)> m_interceptor;
    int m_pending = 0;
    bool m_running = false;
};
