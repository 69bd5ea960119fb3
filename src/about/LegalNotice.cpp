#include "about/LegalNotice.h"

#include "shell/texts/UiTexts.h"

// The notice lives with the other interface texts, so the box shows the same words at
// creation as after a change of language.
QString legalNotice(bool english)
{
    return english ? englishTexts().legalNotice : portugueseTexts().legalNotice;
}
