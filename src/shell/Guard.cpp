#include "shell/Guard.h"

#include "shell/Prompt.h"

QString generalErrorText(const QString &text)
{
    if (text.isEmpty())
        return text;
    const ushort last = text.back().unicode();
    if (last <= u'.')
        return text;
    return text + QLatin1Char('.');
}

void reportGeneralError(const QString &text)
{
    try {
        prompt().errorReport(nullptr, generalErrorText(text));
    } catch (...) {
        // Nothing is left to report an error of the error report itself.
    }
}
