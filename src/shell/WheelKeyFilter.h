#pragma once

#include <QObject>

class QWidget;

// Application-wide filter: every mouse-wheel event over the program's own windows becomes one
// Up or Down key press for the widget the wheel addressed, whatever the wheel distance. Dialogs
// that stand for the desktop's own (file and print dialogs, and any window carrying the
// property kNoWheelRewrite) keep their wheel.
class WheelKeyFilter : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *kNoWheelRewrite = "orvessaNoWheelRewrite";

    explicit WheelKeyFilter(QObject *parent = nullptr);

    bool eventFilter(QObject *watched, QEvent *event) override;

    // Whether the wheel over this widget is left as it is.
    static bool keepsWheel(const QWidget *widget);
};
