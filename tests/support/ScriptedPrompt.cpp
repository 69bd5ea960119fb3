#include "ScriptedPrompt.h"

ScriptedPrompt::ScriptedPrompt()
{
    setPrompt(this);
}

ScriptedPrompt::~ScriptedPrompt()
{
    setPrompt(nullptr);
}

int ScriptedPrompt::messageDialog(QWidget *, const DialogDescription &dialog)
{
    dialogs.append(dialog);
    return dialogAnswers.isEmpty() ? dialog.escapeResult : dialogAnswers.dequeue();
}

std::optional<QString> ScriptedPrompt::openFileName(QWidget *, const FileDialogOptions &options)
{
    openDialogs.append(options);
    return fileAnswers.isEmpty() ? std::nullopt : fileAnswers.dequeue();
}

std::optional<QString> ScriptedPrompt::saveFileName(QWidget *, const FileDialogOptions &options)
{
    saveDialogs.append(options);
    return fileAnswers.isEmpty() ? std::nullopt : fileAnswers.dequeue();
}

std::optional<SaveAnswer> ScriptedPrompt::saveFileAndType(QWidget *parent, const FileDialogOptions &options)
{
    const QString chosen = filterAnswers.isEmpty() ? QString() : filterAnswers.dequeue();
    std::optional<SaveAnswer> answer = Prompt::saveFileAndType(parent, options);
    if (answer && !chosen.isEmpty())
        answer->filter = chosen;
    return answer;
}

QString ScriptedPrompt::dataLinkDialog(QWidget *, const QString &initial)
{
    dataLinkInitials.append(initial);
    return dataLinkAnswers.isEmpty() ? initial : dataLinkAnswers.dequeue();
}

void ScriptedPrompt::errorReport(QWidget *, const QString &text)
{
    errorReports.append(text);
}

void ScriptedPrompt::openUrl(const QUrl &url)
{
    openedUrls.append(url);
}

void ScriptedPrompt::beep()
{
    ++beeps;
}

int ScriptedPrompt::showModal(QDialog *dialog)
{
    modalShown.append(dialog);
    return modalAnswers.isEmpty() ? 0 : modalAnswers.dequeue();
}

bool ScriptedPrompt::printDialog(QWidget *, QPrinter *)
{
    ++printDialogs;
    return printAnswers.isEmpty() ? false : printAnswers.dequeue();
}

std::optional<PasswordAnswer> ScriptedPrompt::passwordDialog(QWidget *, const PasswordRequest &request)
{
    passwordRequests.append(request);
    return passwordAnswers.isEmpty() ? std::nullopt : passwordAnswers.dequeue();
}
