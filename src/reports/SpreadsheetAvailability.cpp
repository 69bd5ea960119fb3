#include "reports/SpreadsheetAvailability.h"

bool isSpreadsheetAppRegistered() { return false; }
