// The main window on an SQLite database with a slow statement in the SQL editor, for a screen
// reader's tests driven from outside through the accessibility bus.
//   a11y_harness DATABASE_FILE
#include "editor/SqlEditor.h"
#include "shell/Language.h"
#include "shell/QtPrompt.h"
#include "window/MainWindow.h"
#include "window/Session.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    QApplication::setApplicationName(QStringLiteral("orvessa-a11y-harness"));
    QtPrompt prompt;
    setPrompt(&prompt);
    setUiLanguage(QStringLiteral("en-US"));
    MainWindow window;
    Connection &connection = window.session().connection();
    connection.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") +
                                   QString::fromLocal8Bit(argv[1]));
    connection.open();
    // Seconds of work before its one row: the progress dialog shows while it runs.
    window.findChild<SqlEditor *>(QStringLiteral("sqlEditor"))
        ->setText(QStringLiteral("WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c "
                                 "WHERE i < 100000000) SELECT count(*) FROM c"));
    window.updateCommands();
    window.show();
    const int result = QApplication::exec();
    setPrompt(nullptr);
    return result;
}
