#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// TAbout: the About box, created hidden at start-up and shown modally. Its labels are filled
// once, from the running executable's version record.
class TAbout : public QDialog
{
    Q_OBJECT

public:
    explicit TAbout(QWidget *parent = nullptr);

    // The maker's site behind LinkLabel1.
    static QString siteUrl();

    // FileVersion as read at creation, for texts that put another word before it.
    QString fileVersion() const { return m_fileVersion; }

    QLabel *Image1 = nullptr;
    QLabel *Image2 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *LinkLabel1 = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
    QPushButton *Button1 = nullptr;

    void FormCreate();
    void LinkLabel1LinkClick(const QString &link);

private:
    QString m_fileVersion;
};

extern TAbout *About;
