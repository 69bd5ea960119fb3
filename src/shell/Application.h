#pragma once

#include <QApplication>

// The application object. Every handler of the program runs through guarded(); notify() is the
// backstop for an exception thrown anywhere else during event delivery, so none crosses the
// event loop.
class Application : public QApplication
{
    Q_OBJECT

public:
    Application(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;
};
