#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPlainTextEdit;
class QPushButton;
struct UiTexts;

// AboutBox: the About box, created hidden at start-up and shown modally. Its labels are filled
// once, from the running executable's version record.
class AboutBox : public QDialog
{
    Q_OBJECT

public:
    explicit AboutBox(QWidget *parent = nullptr);

    // The maker's site behind siteLink.
    static QString siteUrl();

    // FileVersion as read at creation, for texts that put another word before it.
    QString fileVersion() const { return m_fileVersion; }

    QLabel *banner = nullptr;
    QLabel *emblem = nullptr;
    QLabel *productLine = nullptr;
    QLabel *descriptionLine = nullptr;
    QLabel *versionLine = nullptr;
    QLabel *copyrightLine = nullptr;
    QLabel *siteLink = nullptr;
    QPlainTextEdit *legalText = nullptr;
    QPushButton *okButton = nullptr;

    // Fills the lines from the running executable's version record.
    void readVersionRecord();
    // The caption, the version line's word and the legal notice in the language of texts.
    void applyTexts(const UiTexts &texts);
    void openSite(const QString &link);

private:
    QString m_fileVersion;
};
