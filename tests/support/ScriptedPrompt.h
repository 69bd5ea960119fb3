#pragma once

#include "shell/Prompt.h"

#include <QList>
#include <QQueue>
#include <QStringList>

// A prompt for tests: answers come from queues filled by the test, and every question asked
// is recorded. An unscripted question gets the neutral answer (Cancel/No, no file, the
// initial string) and is recorded all the same.
class ScriptedPrompt : public Prompt
{
public:
    ScriptedPrompt();
    ~ScriptedPrompt() override;

    // Answers, consumed in order.
    QQueue<int> dialogAnswers;                  // DialogResult numbers
    QQueue<std::optional<QString>> fileAnswers; // for open and save dialogs
    QQueue<QString> filterAnswers;              // file types chosen in save dialogs that offer them
    QQueue<QString> dataLinkAnswers;            // composed connection strings
    QQueue<int> modalAnswers;                   // results of showModal
    QQueue<bool> printAnswers;
    QQueue<std::optional<PasswordAnswer>> passwordAnswers; // none left: cancelled

    // What was asked.
    QList<DialogDescription> dialogs;
    QList<FileDialogOptions> openDialogs;
    QList<FileDialogOptions> saveDialogs;
    QStringList dataLinkInitials;
    QStringList errorReports;
    QList<QUrl> openedUrls;
    int beeps = 0;
    QList<QDialog *> modalShown;
    int printDialogs = 0;
    QList<PasswordRequest> passwordRequests;

    int messageDialog(QWidget *parent, const DialogDescription &dialog) override;
    std::optional<QString> openFileName(QWidget *parent, const FileDialogOptions &options) override;
    std::optional<QString> saveFileName(QWidget *parent, const FileDialogOptions &options) override;
    std::optional<SaveAnswer> saveFileAndType(QWidget *parent, const FileDialogOptions &options) override;
    QString dataLinkDialog(QWidget *parent, const QString &initial) override;
    std::optional<PasswordAnswer> passwordDialog(QWidget *parent, const PasswordRequest &request) override;
    void errorReport(QWidget *parent, const QString &text) override;
    void openUrl(const QUrl &url) override;
    void beep() override;
    int showModal(QDialog *dialog) override;
    bool printDialog(QWidget *parent, QPrinter *printer) override;

private:
    Prompt *m_previous = nullptr;
};
