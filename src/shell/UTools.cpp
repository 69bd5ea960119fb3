#include "shell/UTools.h"

#include "shell/Prompt.h"

QString CurrentLanguage = QStringLiteral("en-US");

int ShowMessageDialog(const QString &text, DialogKind, unsigned, int, QWidget *parent)
{
    DialogDescription d;
    d.text = text;
    return prompt().messageDialog(parent, d);
}

QString TimeZoneOffsetTextForBias(int biasMinutes)
{
    const int a = biasMinutes < 0 ? -biasMinutes : biasMinutes;
    return QString::asprintf("%s%.2d:%.2d", biasMinutes > 0 ? "-" : "+", a / 60, a % 60);
}

QString TimeZoneOffsetText(const QDateTime &at)
{
    return TimeZoneOffsetTextForBias(-at.offsetFromUtc() / 60);
}

QString DateTimeToIso8601(const QDateTime &local)
{
    return local.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")) + TimeZoneOffsetText(local);
}
