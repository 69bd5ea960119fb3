#include "window/CommandTable.h"

#include "db/DataAccess.h"
#include "shell/Guard.h"

#include <QAction>
#include <QPointer>
#include <QToolButton>

#include <optional>

CommandTable::CommandTable(Connection &connection, QObject *parent)
    : QObject(parent), m_connection(connection)
{
}

CommandTable::~CommandTable() = default;

void CommandTable::add(Command command, Options options, std::function<void()> operation)
{
    Entry &entry = m_entries[command];
    entry.options = options;
    entry.operation = std::move(operation);
}

void CommandTable::bind(Command command, QAction *action)
{
    m_entries[command].action = action;
    connect(action, &QAction::triggered, this, [this, command] { trigger(command); });
}

void CommandTable::bind(Command command, QToolButton *button)
{
    m_entries[command].button = button;
    connect(button, &QToolButton::clicked, this, [this, command] { trigger(command); });
}

QAction *CommandTable::action(Command command) const
{
    return m_entries.value(command).action;
}

QToolButton *CommandTable::button(Command command) const
{
    return m_entries.value(command).button;
}

void CommandTable::setGates(std::function<bool()> postPendingEdit, std::function<void(FetchRule)> endFetch)
{
    m_postPendingEdit = std::move(postPendingEdit);
    m_endFetch = std::move(endFetch);
}

void CommandTable::setUpdate(std::function<void()> updateCommands)
{
    m_update = std::move(updateCommands);
}

void CommandTable::trigger(Command command)
{
    const auto entry = m_entries.constFind(command);
    if (entry == m_entries.constEnd())
        return;
    if (entry->options.immediate) {
        dispatch(command);
        return;
    }
    ++m_pending;
    m_connection.whenIdle([self = QPointer<CommandTable>(this), command] {
        if (!self)
            return;
        --self->m_pending;
        self->dispatch(command);
    });
}

void CommandTable::dispatch(Command command)
{
    const Entry entry = m_entries.value(command);
    const bool queued = !entry.options.immediate;
    // While it runs, nothing handed to the connection for later starts, even from the event loops
    // of its questions and waits.
    std::optional<Connection::Hold> hold;
    if (queued) {
        hold.emplace(m_connection);
        m_running = true;
    }
    guarded([&] {
        if (entry.options.applies && !entry.options.applies())
            return;
        bool go = !(m_interceptor && m_interceptor(command));
        if (go && entry.options.gate.postEdit && m_postPendingEdit && !m_postPendingEdit())
            go = false;
        if (go) {
            if (entry.options.gate.fetch != FetchRule::None && m_endFetch)
                m_endFetch(entry.options.gate.fetch);
            if (entry.operation)
                entry.operation();
        }
        if (entry.options.updatesCommands && m_update)
            m_update();
    });
    if (queued)
        m_running = false;
    emit finished(command);
}
