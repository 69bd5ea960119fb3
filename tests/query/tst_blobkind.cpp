// Images told from their first bytes, as the result grid shows binary values.
#include "query/BlobKind.h"

#include <QBuffer>
#include <QImage>
#include <QTest>

Q_DECLARE_METATYPE(blobkind::Kind)

namespace {

QByteArray encoded(const char *format)
{
    QImage image(5, 3, QImage::Format_ARGB32);
    image.fill(Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

} // namespace

class TestBlobKind : public QObject
{
    Q_OBJECT

private slots:
    void imagesAreToldFromTheirHeaders_data();
    void imagesAreToldFromTheirHeaders();
};

void TestBlobKind::imagesAreToldFromTheirHeaders_data()
{
    using blobkind::Kind;
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("name");
    QTest::newRow("PNG written by Qt") << encoded("PNG") << Kind::Png << "PNG";
    QTest::newRow("JPEG written by Qt") << encoded("JPEG") << Kind::Jpeg << "JPEG";
    QTest::newRow("BMP written by Qt") << encoded("BMP") << Kind::Bmp << "BMP";
    QTest::newRow("GIF") << QByteArray("GIF89a\x05\x00\x03\x00", 10) << Kind::Gif << "GIF";
    QTest::newRow("WebP") << QByteArray("RIFF\x24\x00\x00\x00WEBPVP8 ", 16) << Kind::WebP << "WebP";
    QTest::newRow("TIFF, little-endian") << QByteArray("II*\x00\x08\x00\x00\x00", 8) << Kind::Tiff << "TIFF";
    QTest::newRow("TIFF, big-endian") << QByteArray("MM\x00*\x00\x00\x00\x08", 8) << Kind::Tiff << "TIFF";
    QTest::newRow("icon") << QByteArray(
                                 "\x00\x00\x01\x00\x01\x00\x10\x10\x00\x00\x01\x00\x20\x00\x68\x04\x00\x00"
                                 "\x16\x00\x00\x00",
                                 22)
                          << Kind::Icon << "ICO";
    QTest::newRow("text that starts with BM")
        << QByteArray("BMW and Audi, a list of cars") << Kind::Binary << "";
    QTest::newRow("a PNG cut before its signature ends")
        << QByteArray("\x89PNG\r\n", 6) << Kind::Binary << "";
    QTest::newRow("RIFF that is sound")
        << QByteArray("RIFF\x24\x00\x00\x00WAVEfmt ", 16) << Kind::Binary << "";
    QTest::newRow("zero bytes") << QByteArray(64, '\0') << Kind::Binary << "";
    QTest::newRow("empty") << QByteArray() << Kind::Binary << "";
}

void TestBlobKind::imagesAreToldFromTheirHeaders()
{
    QFETCH(QByteArray, bytes);
    QFETCH(blobkind::Kind, kind);
    QFETCH(QString, name);
    QCOMPARE(blobkind::detect(bytes.first(qMin(bytes.size(), blobkind::headerSize))), kind);
    QCOMPARE(blobkind::isImage(kind), !name.isEmpty());
    QCOMPARE(blobkind::formatName(kind), name);
}

QTEST_GUILESS_MAIN(TestBlobKind)
#include "tst_blobkind.moc"
