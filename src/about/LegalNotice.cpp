#include "about/LegalNotice.h"

QString legalNotice(bool english)
{
    if (english) {
        return QStringLiteral(
            "This program is protected by copyright law and international treaties. Any "
            "unauthorised use, reproduction or distribution of this program, or of any part of "
            "it, is forbidden and may lead to civil and criminal penalties.");
    }
    return QStringLiteral(
        "Este programa é protegido pela lei de direitos autorais e por tratados internacionais. "
        "O uso, a reprodução ou a distribuição não autorizados deste programa, ou de qualquer "
        "parte dele, são proibidos e podem resultar em sanções civis e criminais.");
}
