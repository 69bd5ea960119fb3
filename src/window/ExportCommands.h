#pragma once

#include <QString>

#include <optional>

class TableCommands;
class Workspace;

// Tools > Export data: the statement of the result on show, or a query of the table selected in
// the tree, run again on the connection's worker with its rows streamed straight into a CSV,
// workbook or JSON Lines file.
class ExportCommands
{
public:
    ExportCommands(Workspace &workspace, TableCommands &tables);

    void exportData();

private:
    // The statement to run again (empty when there is nothing to export); none when the selected
    // table cannot be read, which has been reported.
    std::optional<QString> statement();

    Workspace &m_workspace;
    TableCommands &m_tables;
    // The folder of the last export, where the next one proposes its file; empty at first.
    QString m_folder;
};
