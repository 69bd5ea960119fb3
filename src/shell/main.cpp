#include "about/UAbout.h"
#include "shell/QtPrompt.h"
#include "shell/UMainView.h"
#include "sql/UMemoEditor.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QtPrompt qtPrompt;
    setPrompt(&qtPrompt);
    QApplication::setApplicationName(QStringLiteral("Orvessa"));
    TMainView mainView;
    MainView = &mainView;
    TMemoEditor memoEditor(&mainView);
    ::MemoEditor = &memoEditor;
    mainView.setMemoEditor(&memoEditor);
    TAbout about(&mainView);
    ::About = &about;
    mainView.setAbout(&about);
    mainView.show();
    return app.exec();
}
