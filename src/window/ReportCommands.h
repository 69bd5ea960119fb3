#pragma once

class TableCommands;
class Workspace;

// The structure report: written into the private folder and shown on the report page, from
// which it prints.
class ReportCommands
{
public:
    ReportCommands(Workspace &workspace, TableCommands &tables);

    void writeStructureReport();
    void printReport();

private:
    // The page is complete once the event loop has shown it, as a browser reports it.
    void onReportShown();

    Workspace &m_workspace;
    TableCommands &m_tables;
};
