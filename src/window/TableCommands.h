#pragma once

#include <QString>

#include <exception>

class TableDescription;
class Workspace;

// The commands of one table of the tree: its structure in the structure grid (a click), a query
// of its rows (a double-click), and the grid sent to the spreadsheet.
class TableCommands
{
public:
    explicit TableCommands(Workspace &workspace);

    void describeSelectedTable();
    void querySelectedTable();
    bool tableSelected() const;
    void sendStructureToSpreadsheet();

    // Reads a table's description: the key and column lists through the connection, then the
    // field definitions through the table reader, as one piece of work. The key errors are logged
    // once the work is over; an error that leaves no description is thrown.
    TableDescription read(const QString &schema, const QString &name);
    // The error of a table or view the user asked for: logged with its name and the beep, or only
    // noted when the user cancelled the reading; a lost session is said as itself.
    void reportObjectError(const QString &objectName, const std::exception &error);

private:
    void describe(const QString &schema, const QString &name);

    Workspace &m_workspace;
};
