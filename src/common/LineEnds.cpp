#include "common/LineEnds.h"

QString mostCommonLineEnd(const QString &text)
{
    qsizetype crlf = 0;
    qsizetype cr = 0;
    qsizetype lf = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n') {
                ++crlf;
                ++i;
            } else {
                ++cr;
            }
        } else if (text[i] == u'\n') {
            ++lf;
        }
    }
    if (crlf > 0 && crlf >= cr && crlf >= lf)
        return QStringLiteral("\r\n");
    if (cr > lf)
        return QStringLiteral("\r");
    return QStringLiteral("\n");
}
