#pragma once

#include <QDateTime>
#include <QString>

// "yyyy-mm-ddThh:nn:ss" followed by the zone offset in effect at that instant.
QString dateTimeToIso8601(const QDateTime &local);
// The zone offset at the given instant (now by default): sign, hh, ":", mm.
QString timeZoneOffsetText(const QDateTime &at = QDateTime::currentDateTime());
// The offset text for a bias in minutes (UTC = local + bias).
QString timeZoneOffsetTextForBias(int biasMinutes);
