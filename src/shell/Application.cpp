#include "shell/Application.h"

#include "shell/Guard.h"

Application::Application(int &argc, char **argv) : QApplication(argc, argv)
{
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    bool result = false;
    guarded([&] { result = QApplication::notify(receiver, event); });
    return result;
}
