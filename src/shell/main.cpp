#include "about/AboutBox.h"
#include "query/MemoEditor.h"
#include "shell/Application.h"
#include "shell/Guard.h"
#include "shell/QtPrompt.h"
#include "shell/SingleInstance.h"
#include "shell/UMainView.h"
#include "shell/texts/UiTexts.h"

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

    TMainView mainView;
    MainView = &mainView;
    MemoEditor memoEditor(&mainView);
    mainView.setMemoEditor(&memoEditor);
    AboutBox about(&mainView);
    mainView.setAbout(&about);

    QObject::connect(&instance, &SingleInstance::activateRequested, &mainView,
                     [&mainView] { guarded([&mainView] { mainView.bringToFront(); }); });
    instance.listen();

    mainView.show();
    Application::exec();
    setPrompt(nullptr);
    return 0;
}
