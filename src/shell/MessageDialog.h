#pragma once

#include "shell/Prompt.h"

#include <QString>

class QWidget;

enum DialogKind { mtWarning = 0, mtError = 1, mtInformation = 2, mtConfirmation = 3, mtCustom = 4 };

// Buttons as a bit mask.
enum DialogButton : unsigned {
    mbYes = 1,
    mbNo = 2,
    mbOK = 4,
    mbCancel = 8,
    mbAbort = 16,
    mbRetry = 32,
    mbIgnore = 64,
    mbAll = 128,
    mbNoToAll = 256,
    mbYesToAll = 512,
    mbHelp = 1024,
    mbClose = 2048,
};

enum DialogResult {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
    mrAll = 8,
    mrNoToAll = 9,
    mrYesToAll = 10,
    mrClose = 11
};

// A message template's one "%s" filled with a file name.
QString withFileName(QString templ, const QString &fileName);

// The modal question or notice whose caption and buttons follow the interface language.
int showMessageDialog(const QString &text, DialogKind kind, unsigned buttons, int helpContext = 0,
                      QWidget *parent = nullptr);

// The dialog showMessageDialog shows, decided without showing it. systemIsPortuguese tells in
// which language the system's own message box draws its buttons.
DialogDescription describeMessageDialog(const QString &text, DialogKind kind, unsigned buttons,
                                        int helpContext, const QString &language, bool systemIsPortuguese);
// The English dialog of a text, kind and button set.
DialogDescription englishMessageDialog(const QString &text, DialogKind kind, unsigned buttons);
// The system message-box style of a kind and button set (icon, buttons, task-modal), 0 for a
// button set the system box cannot show.
unsigned messageBoxStyle(DialogKind kind, unsigned buttons);
