#pragma once

#include "shell/Prompt.h"

#include <QString>

class ConnectPrompts;
class Workspace;

// The commands of the connection and its profiles: Connect, Disconnect, Edit, Refresh, Load and
// Save; what happens after every open and close of the connection (the after-connect analysis,
// which fills the tree, and the disconnect handling); and the work area without a connection.
class SessionCommands
{
public:
    explicit SessionCommands(Workspace &workspace);

    void connect();
    void disconnect();
    void edit();
    void refresh();
    void load();
    void save();
    void loadProfile(const QString &fileName);
    void saveProfile(const QString &fileName);

    // The last session went away under the program, not by a Disconnect, and a connection string
    // is pending (the lost one, unless Load or Edit put another): Refresh opens it again.
    bool lostSessionPending() const;
    // Caption, tree, grids and editor as they are without a connection.
    void resetWorkArea();

private:
    void onConnected();
    void onDisconnected();
    void fillTree();
    // A session lost with a change of the grid still pending: nothing more can be written, so what
    // was typed goes to the log, and the change and the result are dropped.
    void dropWhatTheLostSessionHeld();

    Workspace &m_workspace;
    // Passwords a profile does not keep, and the SSH tunnel's questions; a child of the window.
    ConnectPrompts *m_prompts = nullptr;
    FileDialogOptions m_openDialog;
    FileDialogOptions m_saveDialog;
};
