#include "shell/MessageDialog.h"

#include "shell/Language.h"

#include "shell/texts/UiTexts.h"

namespace {
// System message-box styles.
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_OKCANCEL = 0x1;
constexpr unsigned MB_ABORTRETRYIGNORE = 0x2;
constexpr unsigned MB_YESNOCANCEL = 0x3;
constexpr unsigned MB_YESNO = 0x4;
constexpr unsigned MB_RETRYCANCEL = 0x5;
constexpr unsigned MB_HELP = 0x4000;
constexpr unsigned MB_ICONERROR = 0x10;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONWARNING = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
constexpr unsigned MB_TASKMODAL = 0x2000;
constexpr unsigned MB_TYPEMASK = 0xF;
constexpr unsigned MB_ICONMASK = 0xF0;

// DialogResult of each button bit; Help has none.
constexpr int kResultOfBit[12] = {mrYes,    mrNo,  mrOk,      mrCancel,   mrAbort, mrRetry,
                                  mrIgnore, mrAll, mrNoToAll, mrYesToAll, mrNone,  mrClose};

DialogIcon englishIcon(DialogKind kind)
{
    switch (kind) {
    case mtWarning:
        return DialogIcon::Warning;
    case mtError:
        return DialogIcon::Error;
    case mtInformation:
        return DialogIcon::Information;
    case mtConfirmation:
        return DialogIcon::Question;
    default:
        return DialogIcon::None;
    }
}

// The system box's buttons, in its own order, for a button style.
QList<int> systemBoxResults(unsigned style)
{
    QList<int> results;
    switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL:
        results = {mrOk, mrCancel};
        break;
    case MB_ABORTRETRYIGNORE:
        results = {mrAbort, mrRetry, mrIgnore};
        break;
    case MB_YESNOCANCEL:
        results = {mrYes, mrNo, mrCancel};
        break;
    case MB_YESNO:
        results = {mrYes, mrNo};
        break;
    case MB_RETRYCANCEL:
        results = {mrRetry, mrCancel};
        break;
    default:
        results = {mrOk};
        break;
    }
    if (style & MB_HELP)
        results.append(mrNone);
    return results;
}

DialogIcon systemBoxIcon(unsigned style)
{
    switch (style & MB_ICONMASK) {
    case MB_ICONERROR:
        return DialogIcon::Error;
    case MB_ICONQUESTION:
        return DialogIcon::Question;
    case MB_ICONWARNING:
        return DialogIcon::Warning;
    case MB_ICONINFORMATION:
        return DialogIcon::Information;
    default:
        return DialogIcon::None;
    }
}

bool hasResult(const QList<DialogButtonInfo> &buttons, int result)
{
    for (const DialogButtonInfo &b : buttons) {
        if (b.result == result && result != mrNone)
            return true;
    }
    return false;
}

int escapeOf(const QList<DialogButtonInfo> &buttons)
{
    for (int result : {mrCancel, mrNo, mrOk}) {
        if (hasResult(buttons, result))
            return result;
    }
    return mrNone;
}

DialogDescription systemMessageBox(const QString &text, DialogKind kind, unsigned style,
                                   bool systemIsPortuguese)
{
    DialogDescription d;
    d.platformBox = true;
    d.caption = dialogtexts::portugueseCaption(kind);
    d.text = text;
    d.icon = systemBoxIcon(style);
    for (int result : systemBoxResults(style))
        d.buttons.append({result, dialogtexts::systemBoxLabel(result, systemIsPortuguese), 0});
    // The system box defaults to its first button.
    d.defaultResult = d.buttons.first().result;
    d.escapeResult = escapeOf(d.buttons);
    return d;
}
} // namespace

unsigned messageBoxStyle(DialogKind kind, unsigned buttons)
{
    unsigned style = 0;
    switch (buttons) {
    case mbOK:
        style = MB_OK;
        break;
    case mbOK | mbCancel:
        style = MB_OKCANCEL;
        break;
    case mbAbort | mbRetry | mbIgnore:
        style = MB_ABORTRETRYIGNORE;
        break;
    case mbYes | mbNo | mbCancel:
        style = MB_YESNOCANCEL;
        break;
    case mbYes | mbNo:
        style = MB_YESNO;
        break;
    case mbRetry | mbCancel:
        style = MB_RETRYCANCEL;
        break;
    case mbHelp:
        style = MB_HELP;
        break;
    default:
        return 0;
    }
    switch (kind) {
    case mtError:
        style |= MB_ICONERROR;
        break;
    case mtInformation:
        style |= MB_ICONINFORMATION;
        break;
    case mtConfirmation:
        style |= MB_ICONQUESTION;
        break;
    default: // Warning and Custom
        style |= MB_ICONWARNING;
        break;
    }
    return style | MB_TASKMODAL;
}

DialogDescription englishMessageDialog(const QString &text, DialogKind kind, unsigned buttons)
{
    DialogDescription d;
    d.caption = dialogtexts::englishCaption(kind);
    d.text = text;
    d.icon = englishIcon(kind);
    for (int bit = 0; bit < 12; ++bit) {
        if (buttons & (1u << bit))
            d.buttons.append({kResultOfBit[bit], dialogtexts::englishLabel(bit), 0});
    }
    for (int result : {mrOk, mrYes, mrRetry}) {
        if (hasResult(d.buttons, result)) {
            d.defaultResult = result;
            break;
        }
    }
    d.escapeResult = escapeOf(d.buttons);
    return d;
}

DialogDescription describeMessageDialog(const QString &text, DialogKind kind, unsigned buttons,
                                        int helpContext, const QString &language, bool systemIsPortuguese)
{
    if (helpContext > 0 || language != QLatin1String("pt-BR"))
        return englishMessageDialog(text, kind, buttons);
    const unsigned style = messageBoxStyle(kind, buttons);
    if (style != 0)
        return systemMessageBox(text, kind, style, systemIsPortuguese);
    DialogDescription d = englishMessageDialog(text, kind, buttons);
    d.caption = dialogtexts::portugueseCaption(kind);
    for (DialogButtonInfo &b : d.buttons) {
        if (b.result >= mrOk && b.result <= mrYesToAll)
            b.label = dialogtexts::portugueseLabel(b.result);
        if (b.result == mrNoToAll || b.result == mrYesToAll)
            b.minWidth = 100;
    }
    return d;
}

int showMessageDialog(const QString &text, DialogKind kind, unsigned buttons, int helpContext,
                      QWidget *parent)
{
    const bool systemIsPortuguese = QLocale::system().language() == QLocale::Portuguese;
    const DialogDescription d =
        describeMessageDialog(text, kind, buttons, helpContext, uiLanguage(), systemIsPortuguese);
    const bool relabelled = helpContext <= 0 && uiLanguage() == QLatin1String("pt-BR") && !d.platformBox;
    if (!relabelled)
        return prompt().messageDialog(parent, d);
    try {
        return prompt().messageDialog(parent, d);
    } catch (...) {
        return prompt().messageDialog(parent, englishMessageDialog(text, kind, buttons));
    }
}

QString withFileName(QString templ, const QString &fileName)
{
    const qsizetype at = templ.indexOf(QLatin1String("%s"));
    if (at >= 0)
        templ.replace(at, 2, fileName);
    return templ;
}
