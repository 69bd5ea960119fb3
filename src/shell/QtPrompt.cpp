#include "shell/QtPrompt.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

int QtPrompt::messageDialog(QWidget *parent, const DialogDescription &dialog)
{
    QMessageBox box(parent);
    box.setWindowTitle(dialog.caption);
    box.setText(dialog.text);
    return box.exec();
}

std::optional<QString> QtPrompt::openFileName(QWidget *parent, const FileDialogSpec &spec)
{
    const QString name = QFileDialog::getOpenFileName(parent, spec.caption, spec.fileName, spec.filter);
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

std::optional<QString> QtPrompt::saveFileName(QWidget *parent, const FileDialogSpec &spec)
{
    const QString name = QFileDialog::getSaveFileName(parent, spec.caption, spec.fileName, spec.filter);
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

QString QtPrompt::dataLinkDialog(QWidget *, const QString &initial)
{
    return initial;
}

void QtPrompt::errorReport(QWidget *parent, const QString &text)
{
    QMessageBox::critical(parent, QStringLiteral("Orvessa"), text);
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
