#pragma once

#include <QByteArrayView>
#include <QString>

// What a binary value is, told from its first bytes: an image in one of the common formats, or
// just binary data.
namespace blobkind {

enum class Kind { Binary, Png, Jpeg, Gif, Bmp, WebP, Tiff, Icon };

// The bytes needed at most to tell a kind.
constexpr qsizetype headerSize = 32;

Kind detect(QByteArrayView head);
bool isImage(Kind kind);
// "PNG", "JPEG", ...; empty for Binary.
QString formatName(Kind kind);

} // namespace blobkind
