#pragma once

#include "shell/Prompt.h"

#include <QHash>

#include <memory>

class QAbstractButton;
class QFileDialog;
class QMessageBox;

// The prompt of the real program: Qt dialogs.
class QtPrompt : public Prompt
{
public:
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

    // The message box of a description, not yet shown; results maps each button to the
    // DialogResult it returns (0 for Help, which does not close the box).
    static std::unique_ptr<QMessageBox> buildMessageBox(QWidget *parent, const DialogDescription &dialog,
                                                        QHash<QAbstractButton *, int> &results);
    // The file dialog for these options, not yet shown.
    static std::unique_ptr<QFileDialog> buildFileDialog(QWidget *parent, const FileDialogOptions &options,
                                                        bool save);
};
