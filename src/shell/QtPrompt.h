#pragma once

#include "shell/Prompt.h"

// The prompt of the real program: Qt dialogs.
class QtPrompt : public Prompt
{
public:
    int messageDialog(QWidget *parent, const DialogDescription &dialog) override;
    std::optional<QString> openFileName(QWidget *parent, const FileDialogSpec &spec) override;
    std::optional<QString> saveFileName(QWidget *parent, const FileDialogSpec &spec) override;
    QString dataLinkDialog(QWidget *parent, const QString &initial) override;
    void errorReport(QWidget *parent, const QString &text) override;
    void openUrl(const QUrl &url) override;
    void beep() override;
    int showModal(QDialog *dialog) override;
    bool printDialog(QWidget *parent, QPrinter *printer) override;
};
