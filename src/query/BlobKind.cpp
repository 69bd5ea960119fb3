#include "query/BlobKind.h"

namespace blobkind {

namespace {

quint32 littleEndian32(QByteArrayView bytes, qsizetype at)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

quint16 littleEndian16(QByteArrayView bytes, qsizetype at)
{
    return quint16(static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8);
}

} // namespace

Kind detect(QByteArrayView head)
{
    if (head.startsWith("\x89PNG\r\n\x1a\n"))
        return Kind::Png;
    if (head.startsWith("\xff\xd8\xff"))
        return Kind::Jpeg;
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a"))
        return Kind::Gif;
    if (head.size() >= 12 && head.startsWith("RIFF") && head.sliced(8, 4) == QByteArrayView("WEBP"))
        return Kind::WebP;
    if (head.startsWith(QByteArrayView("II*\0", 4)) || head.startsWith(QByteArrayView("MM\0*", 4)))
        return Kind::Tiff;
    // "BM" alone starts many texts: the size of the header that follows must be one of the
    // bitmap headers'.
    if (head.size() >= 18 && head.startsWith("BM")) {
        switch (littleEndian32(head, 14)) {
        case 12:
        case 40:
        case 52:
        case 56:
        case 64:
        case 108:
        case 124:
            return Kind::Bmp;
        default:
            break;
        }
    }
    // An icon directory: reserved 0, type 1, at least one image whose reserved byte is 0.
    if (head.size() >= 22 && head.startsWith(QByteArrayView("\0\0\1\0", 4)) && littleEndian16(head, 4) > 0 &&
        head[9] == '\0')
        return Kind::Icon;
    return Kind::Binary;
}

bool isImage(Kind kind)
{
    return kind != Kind::Binary;
}

QString formatName(Kind kind)
{
    switch (kind) {
    case Kind::Png:
        return QStringLiteral("PNG");
    case Kind::Jpeg:
        return QStringLiteral("JPEG");
    case Kind::Gif:
        return QStringLiteral("GIF");
    case Kind::Bmp:
        return QStringLiteral("BMP");
    case Kind::WebP:
        return QStringLiteral("WebP");
    case Kind::Tiff:
        return QStringLiteral("TIFF");
    case Kind::Icon:
        return QStringLiteral("ICO");
    case Kind::Binary:
        break;
    }
    return QString();
}

} // namespace blobkind
