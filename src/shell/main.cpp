#include "about/AboutBox.h"
#include "query/MemoEditor.h"
#include "shell/Application.h"
#include "shell/Guard.h"
#include "shell/QtPrompt.h"
#include "shell/SingleInstance.h"
#include "shell/texts/UiTexts.h"
#include "window/MainWindow.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    // The program reads no arguments; Qt sees only the program's own name.
    (void)argc;
    int qtArgc = 1;

    const QString InstanceName = texts::applicationTitle();
    SingleInstance instance(InstanceName);
    if (instance.isAlreadyRunning()) {
        // A second start shows nothing: it asks the running copy to come to the front and ends,
        // also when nobody answers.
        QCoreApplication core(qtArgc, argv);
        instance.activatePreviousInstance();
        return 0;
    }

    Application app(qtArgc, argv);
    QApplication::setApplicationName(InstanceName);
    QtPrompt qtPrompt;
    setPrompt(&qtPrompt);

    MainWindow mainWindow;
    MemoEditor memoEditor(&mainWindow);
    mainWindow.setMemoEditor(&memoEditor);
    AboutBox aboutBox(&mainWindow);
    mainWindow.setAboutBox(&aboutBox);

    QObject::connect(&instance, &SingleInstance::activateRequested, &mainWindow,
                     [&mainWindow] { guarded([&mainWindow] { mainWindow.bringToFront(); }); });
    instance.listen();

    mainWindow.show();
    Application::exec();
    setPrompt(nullptr);
    return 0;
}
