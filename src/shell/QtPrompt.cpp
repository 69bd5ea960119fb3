#include "shell/QtPrompt.h"

#include "connection/DataLinkDialog.h"
#include "connection/PasswordDialog.h"
#include "shell/WheelKeyFilter.h"
#include "shell/texts/UiTexts.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

namespace {
// Every button of the English dialog is at least this wide.
constexpr int kMinimumButtonWidth = 75;

QMessageBox::Icon messageIcon(DialogIcon icon)
{
    switch (icon) {
    case DialogIcon::Warning:
        return QMessageBox::Warning;
    case DialogIcon::Error:
        return QMessageBox::Critical;
    case DialogIcon::Information:
        return QMessageBox::Information;
    case DialogIcon::Question:
        return QMessageBox::Question;
    default:
        return QMessageBox::NoIcon;
    }
}
} // namespace

std::unique_ptr<QMessageBox> QtPrompt::buildMessageBox(QWidget *parent, const DialogDescription &dialog,
                                                       QHash<QAbstractButton *, int> &results)
{
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(dialog.caption);
    box->setText(dialog.text);
    box->setTextFormat(Qt::PlainText);
    box->setIcon(messageIcon(dialog.icon));
    if (dialog.platformBox)
        box->setProperty(WheelKeyFilter::kNoWheelRewrite, true);
    auto *buttonBox = box->findChild<QDialogButtonBox *>();
    // One role for all keeps the buttons in the order given.
    QList<QPushButton *> buttons;
    for (const DialogButtonInfo &entry : dialog.buttons) {
        QPushButton *button = box->addButton(entry.label, QMessageBox::ActionRole);
        button->setAutoDefault(false);
        results.insert(button, entry.result);
        if (entry.result == 0 && buttonBox) {
            // Help asks for help and leaves the box open.
            QObject::disconnect(button, nullptr, buttonBox, nullptr);
        }
        if (entry.result != 0 && entry.result == dialog.defaultResult)
            box->setDefaultButton(button);
        if (entry.result != 0 && entry.result == dialog.escapeResult)
            box->setEscapeButton(button);
        buttons.append(button);
    }
    if (!dialog.platformBox) {
        int common = kMinimumButtonWidth;
        for (int i = 0; i < buttons.size(); ++i) {
            if (dialog.buttons[i].minWidth == 0)
                common = std::max(common, buttons[i]->sizeHint().width());
        }
        for (int i = 0; i < buttons.size(); ++i) {
            const int width = dialog.buttons[i].minWidth ? dialog.buttons[i].minWidth : common;
            buttons[i]->setFixedWidth(std::max(width, buttons[i]->sizeHint().width()));
        }
    }
    return box;
}

int QtPrompt::messageDialog(QWidget *parent, const DialogDescription &dialog)
{
    QHash<QAbstractButton *, int> results;
    std::unique_ptr<QMessageBox> box = buildMessageBox(parent, dialog, results);
    box->exec();
    return results.value(box->clickedButton(), 0);
}

std::unique_ptr<QFileDialog> QtPrompt::buildFileDialog(QWidget *parent, const FileDialogOptions &options,
                                                       bool save)
{
    auto dialog = std::make_unique<QFileDialog>(parent, options.caption);
    dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // Only the description shows; the patterns behind it take both cases of the extension.
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    if (!options.filter.isEmpty())
        dialog->setNameFilter(options.filter);
    if (!options.selectedFilter.isEmpty())
        dialog->selectNameFilter(options.selectedFilter);
    if (!options.defaultSuffix.isEmpty())
        dialog->setDefaultSuffix(options.defaultSuffix);
    const QFileInfo preset(options.fileName);
    const bool nameHasFolder = options.fileName.contains(u'/');
    if (nameHasFolder)
        dialog->setDirectory(preset.absolutePath());
    else if (!options.folder.isEmpty())
        dialog->setDirectory(options.folder);
    if (!options.fileName.isEmpty())
        dialog->selectFile(nameHasFolder ? preset.fileName() : options.fileName);
    return dialog;
}

std::optional<QString> QtPrompt::openFileName(QWidget *parent, const FileDialogOptions &options)
{
    std::unique_ptr<QFileDialog> dialog = buildFileDialog(parent, options, false);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return std::nullopt;
    return dialog->selectedFiles().constFirst();
}

std::optional<QString> QtPrompt::saveFileName(QWidget *parent, const FileDialogOptions &options)
{
    std::unique_ptr<QFileDialog> dialog = buildFileDialog(parent, options, true);
    // The profile save asks its own questions before it overwrites.
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return std::nullopt;
    return dialog->selectedFiles().constFirst();
}

std::optional<SaveAnswer> QtPrompt::saveFileAndType(QWidget *parent, const FileDialogOptions &options)
{
    std::unique_ptr<QFileDialog> dialog = buildFileDialog(parent, options, true);
    // The caller asks its own question before it overwrites.
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return std::nullopt;
    return SaveAnswer{dialog->selectedFiles().constFirst(), dialog->selectedNameFilter()};
}

QString QtPrompt::dataLinkDialog(QWidget *parent, const QString &initial)
{
    return DataLinkDialog::run(parent, initial);
}

void QtPrompt::errorReport(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Critical, texts::applicationTitle(), text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void QtPrompt::openUrl(const QUrl &url)
{
    QDesktopServices::openUrl(url);
}

void QtPrompt::beep()
{
    QApplication::beep();
}

int QtPrompt::showModal(QDialog *dialog)
{
    return dialog->exec();
}

bool QtPrompt::printDialog(QWidget *parent, QPrinter *printer)
{
    QPrintDialog dialog(printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

std::optional<PasswordAnswer> QtPrompt::passwordDialog(QWidget *parent, const PasswordRequest &request)
{
    PasswordDialog dialog(request, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.answer();
}
