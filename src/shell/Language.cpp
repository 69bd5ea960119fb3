#include "shell/Language.h"

namespace {
QString g_language = QStringLiteral("en-US");
} // namespace

QString uiLanguage()
{
    return g_language;
}

void setUiLanguage(const QString &language)
{
    g_language = language;
}

const UiTexts &uiTexts()
{
    return textsFor(g_language);
}

QString languageForLocale(const QLocale &locale)
{
    if (locale.language() == QLocale::Portuguese && locale.territory() == QLocale::Brazil)
        return QStringLiteral("pt-BR");
    return QStringLiteral("en-US");
}
