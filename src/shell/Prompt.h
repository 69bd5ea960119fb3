#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

class QDialog;
class QPrinter;
class QWidget;

// Icon of a message dialog; None is the English dialog of the Custom kind.
enum class DialogIcon { None, Warning, Error, Information, Question };

struct DialogButtonInfo
{
    int result = 0;   // DialogResult returned when pressed; 0 for Help (does not close)
    QString label;    // with '&' marking the accelerator where the dialog has one
    int minWidth = 0; // 0: the dialog's common width
};

// Everything a message dialog shows, decided before it is shown.
struct DialogDescription
{
    QString caption;
    QString text;
    DialogIcon icon = DialogIcon::None;
    QList<DialogButtonInfo> buttons;
    int defaultResult = 0;
    int escapeResult = 0;
    bool platformBox = false; // true where the original showed the system message box
};

struct FileDialogOptions
{
    QString caption;
    QString folder;   // initial folder
    QString fileName; // preset name (may carry a folder)
    QString filter;   // Qt filter string
    QString defaultSuffix;
    QString selectedFilter; // the entry of filter chosen at first; empty for the first
};

// A save dialog's answer where the file type chosen in it matters.
struct SaveAnswer
{
    QString fileName;
    QString filter; // the entry of FileDialogOptions::filter chosen when the name was confirmed
};

// The password dialog: masked entry, and the option to keep the password in the keyring.
struct PasswordRequest
{
    QString caption;
    QString text; // what is asked for, and of whom
    // The "remember in the keyring" option is offered; otherwise it shows disabled with the
    // note saying why (no keyring in this session, no profile to keep it by).
    bool keyringOffered = false;
    QString keyringLabel;
    QString keyringNote;
};

struct PasswordAnswer
{
    QString secret;
    bool remember = false;
};

// The one door for every modal interaction, so tests can script the answers.
class Prompt
{
public:
    virtual ~Prompt() = default;

    // Shows a message dialog and returns the DialogResult of the chosen button.
    virtual int messageDialog(QWidget *parent, const DialogDescription &dialog) = 0;
    virtual std::optional<QString> openFileName(QWidget *parent, const FileDialogOptions &options) = 0;
    virtual std::optional<QString> saveFileName(QWidget *parent, const FileDialogOptions &options) = 0;
    // The save dialog, answering also the file type chosen in it. The default asks saveFileName
    // and answers the entry that was chosen at first.
    virtual std::optional<SaveAnswer> saveFileAndType(QWidget *parent, const FileDialogOptions &options);
    // Returns the composed connection string on OK, the initial string on Cancel.
    virtual QString dataLinkDialog(QWidget *parent, const QString &initial) = 0;
    // Asks for a password or passphrase; nothing when the user cancels. Never logged.
    virtual std::optional<PasswordAnswer> passwordDialog(QWidget *parent, const PasswordRequest &request) = 0;
    // The general error report: caption "Orvessa", error icon, one OK button.
    virtual void errorReport(QWidget *parent, const QString &text) = 0;
    virtual void openUrl(const QUrl &url) = 0;
    virtual void beep() = 0;
    // Shows a program window modally (About box, memo editor) and returns its result.
    virtual int showModal(QDialog *dialog) = 0;
    // The print dialog; true when the user confirmed it.
    virtual bool printDialog(QWidget *parent, QPrinter *printer) = 0;
};

// The prompt in use; the program installs the Qt one at start-up, tests a scripted one.
Prompt &prompt();
void setPrompt(Prompt *prompt);
