#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// TAbout: the About box, created hidden at start-up and shown modally.
class TAbout : public QDialog
{
    Q_OBJECT

public:
    explicit TAbout(QWidget *parent = nullptr);

    QLabel *Image1 = nullptr;
    QLabel *Image2 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *LinkLabel1 = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
    QPushButton *Button1 = nullptr;
};

extern TAbout *About;
