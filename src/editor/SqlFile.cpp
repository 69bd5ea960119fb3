#include "editor/SqlFile.h"

#include "common/LineEnds.h"
#include "common/SafeFile.h"
#include "common/TextEncoding.h"

#include <QFile>
#include <QStringDecoder>

namespace {

const QByteArray Utf8Mark("\xEF\xBB\xBF");

SqlFileContent::LineEnds lineEndsOf(const QString &text)
{
    const QString end = mostCommonLineEnd(text);
    if (end == QLatin1StringView("\r\n"))
        return SqlFileContent::LineEnds::CrLf;
    return end == QLatin1StringView("\r") ? SqlFileContent::LineEnds::Cr : SqlFileContent::LineEnds::Lf;
}

} // namespace

SqlFileContent decodeSqlFile(const QByteArray &bytes)
{
    SqlFileContent content;
    QByteArrayView body(bytes);
    if (body.startsWith(Utf8Mark)) {
        content.byteOrderMark = true;
        body = body.sliced(Utf8Mark.size());
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    content.text = decoder.decode(body);
    if (decoder.hasError()) {
        content.utf8 = false;
        content.text = fromCp1252(body.toByteArray());
    }
    content.lineEnds = lineEndsOf(content.text);
    return content;
}

QByteArray encodeSqlFile(const QString &text, bool byteOrderMark)
{
    return byteOrderMark ? Utf8Mark + text.toUtf8() : text.toUtf8();
}

bool readSqlFile(const QString &path, SqlFileContent *content, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return false;
    }
    *content = decodeSqlFile(bytes);
    return true;
}

bool writeSqlFile(const QString &path, const QString &text, bool byteOrderMark, QString *error)
{
    return replaceFileAtomically(path, encodeSqlFile(text, byteOrderMark), newUserFileMode(), error);
}
