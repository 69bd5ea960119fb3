#pragma once

// Everything the user can have the main window do. Each command is one entry of the command
// table (CommandTable), whatever starts it: its menu item, its tool button, a key, a click in the
// work area or a test.
enum class Command {
    // The menus and the tool bar, in the order the dispatcher tests them.
    Connect,
    Disconnect,
    Load,
    Save,
    Exit,
    Edit,
    Expand,
    Collapse,
    Refresh,
    Run,
    Stats,
    Report,
    Compact,
    ShowStructure,
    ShowSql,
    ShowMessages,
    English,
    Portuguese,
    WebSite,
    About,
    ExportData,
    // The work area.
    DescribeTable, // a click on a table in the tree, or Space
    QueryTable,    // a double-click on a table in the tree, or Return
    SendStructureToSpreadsheet,
    EditMemo,
    PrintReport,
    ClearLog,
    CancelFetch,
    // The record navigator's buttons and the result grid's keys, in the navigator's order.
    FirstRecord,
    PriorRecord,
    NextRecord,
    LastRecord,
    InsertRecord,
    DeleteRecord,
    EditRecord,
    PostRecord,
    CancelRecord,
    RefreshRecords,
    // The result grid's own commands (ResultGrid::Action: copy, NULL, binary values, find, sort
    // and filter, widths), from its keys, its context menu, its titles and filter row, and the
    // Tools > Result grid menu: the grid runs the oldest it was asked for.
    GridAction,
    // The close box, Exit and the end of the session with the desktop.
    CloseWindow,
    // The SQL page's workbench, in the Tools menu after the items above.
    RunStatement, // Ctrl+Enter: the statement under the cursor, or the selection
    RunScript,    // F5, Ctrl+Shift+Enter: the whole text, statement by statement
    ContinueScriptOnError,
    Find,
    OpenSqlFile,
    SaveSqlFile,
    SaveSqlFileAs,
    ShowHistory,
};
