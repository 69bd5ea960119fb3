#include "shell/TimeStamp.h"

QString timeZoneOffsetTextForBias(int biasMinutes)
{
    const int a = biasMinutes < 0 ? -biasMinutes : biasMinutes;
    return QString::asprintf("%s%.2d:%.2d", biasMinutes > 0 ? "-" : "+", a / 60, a % 60);
}

QString timeZoneOffsetText(const QDateTime &at)
{
    // The offset in effect at that instant, daylight saving included.
    return timeZoneOffsetTextForBias(-at.offsetFromUtc() / 60);
}

QString dateTimeToIso8601(const QDateTime &local)
{
    return local.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")) + timeZoneOffsetText(local);
}
