#pragma once

#include "db/DataAccess.h"

struct UiTexts;

// What the after-connect analysis says about how the session reaches its database.
namespace sessionsecurity {

// The log line: through which tunnel, encrypted or not, with which protocol and cipher, whether
// the certificate was verified and for which name. Empty for a session that stays on this
// machine (a file, a local socket).
QString logLine(const SessionSecurity &security, const UiTexts &texts);

// The caption, marked when the session crosses a network in clear.
QString caption(const QString &caption, const SessionSecurity &security, const UiTexts &texts);

} // namespace sessionsecurity
