#pragma once

#include <QString>

class Workspace;

// Compact: the open database file compacted in place, the connection closed around it.
class MaintenanceCommands
{
public:
    explicit MaintenanceCommands(Workspace &workspace);

    void compact();
    // The file the Compact command works on: the Access file found by the after-connect analysis,
    // or the SQLite file the connection string names.
    QString compactionTarget() const;

private:
    void compactDatabase(const QString &sourcePath);

    Workspace &m_workspace;
};
