#include "about/UAbout.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

TAbout *About = nullptr;

TAbout::TAbout(QWidget *parent) : QDialog(parent)
{
    Label1 = new QLabel(this);
    Label2 = new QLabel(this);
    Label3 = new QLabel(this);
    Label4 = new QLabel(this);
    Memo1 = new QPlainTextEdit(this);
    Button1 = new QPushButton(QStringLiteral("OK"), this);
}
