#pragma once

#include <QString>

// The legal notice of the About box, in English or in Portuguese (Brazil).
QString legalNotice(bool english);
