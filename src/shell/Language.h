#pragma once

#include "shell/texts/UiTexts.h"

#include <QLocale>
#include <QString>

// "en-US" or "pt-BR": the language of the user interface, chosen at start-up from the locale and
// changed by the Language menu; never stored.
QString uiLanguage();
void setUiLanguage(const QString &language);
// The texts of the interface language.
const UiTexts &uiTexts();

// The interface language a locale starts in: "pt-BR" for Portuguese (Brazil), else "en-US".
QString languageForLocale(const QLocale &locale);
