// The check of the property blobs libmdb parses while it reads an Access catalogue: every
// length that would make libmdb loop or read past the blob marks it unsound. The first row
// comes from the Access fuzzer, which made libmdb loop for ever on a record length of zero.
#include "db/access/AccessPropertyCheck.h"

#include <QByteArray>
#include <QTest>

namespace {

QByteArray u16(int v)
{
    return QByteArray(1, char(v & 0xFF)) + char((v >> 8) & 0xFF);
}

QByteArray u32(int v)
{
    return u16(v & 0xFFFF) + u16(v >> 16);
}

// A record of the blob: its length (six bytes of header included), its type, its body.
QByteArray record(int type, const QByteArray &body, int length = -1)
{
    return u32(length < 0 ? int(body.size()) + 6 : length) + u16(type) + body;
}

// The property names "A" and "Required" in UTF-16.
QByteArray names()
{
    return u16(2) + QByteArray("A\0", 2) + u16(16) + QByteArray("R\0e\0q\0u\0i\0r\0e\0d\0", 16);
}

// A block of values named "T", holding one value.
QByteArray values(int valueType, const QByteArray &value, int recordLength = -1, int size = -1)
{
    const QByteArray entry = u16(recordLength < 0 ? int(value.size()) + 8 : recordLength) + char(0) +
                             char(valueType) + u16(1) + u16(size < 0 ? int(value.size()) : size) + value;
    return u32(0) + u16(2) + QByteArray("T\0", 2) + entry;
}

} // namespace

class TestAccessProperties : public QObject
{
    Q_OBJECT

private slots:
    void blobs_data()
    {
        QTest::addColumn<QByteArray>("blob");
        QTest::addColumn<bool>("sound");
        const QByteArray kkd("KKD\0", 4);
        QTest::newRow("record length zero") << kkd + record(0x80, names(), 0) << false;
        QTest::newRow("well formed") << kkd + record(0x80, names()) + record(0x00, values(MDB_BOOL, "\x01"))
                                     << true;
        QTest::newRow("MR2 blob") << QByteArray("MR2\0", 4) + record(0x80, names()) << true;
        QTest::newRow("other formats are refused by libmdb itself") << QByteArray("XYZ\0", 4) << true;
        QTest::newRow("no terminated format name") << QByteArray("KKDX") << false;
        QTest::newRow("shorter than its name") << QByteArray("KK") << false;
        QTest::newRow("record past the end") << kkd + record(0x80, names(), 400) << false;
        QTest::newRow("header cut short") << kkd + QByteArray("\x08\0", 2) << false;
        QTest::newRow("name past the end") << kkd + record(0x80, u16(50) + "A") << false;
        QTest::newRow("value record of length zero")
            << kkd + record(0x80, names()) + record(0x00, values(MDB_BOOL, "\x01", 0)) << false;
        QTest::newRow("value larger than its block")
            << kkd + record(0x80, names()) + record(0x00, values(MDB_TEXT, "ab", -1, 90)) << false;
        QTest::newRow("number shorter than its type")
            << kkd + record(0x80, names()) + record(0x00, values(MDB_DOUBLE, "\x01\x02")) << false;
        QTest::newRow("long binary value")
            << kkd + record(0x80, names()) + record(0x00, values(MDB_OLE, "abcd")) << true;
    }
    void blobs()
    {
        QFETCH(QByteArray, blob);
        QFETCH(bool, sound);
        QCOMPARE(propertyBlobIsSound(reinterpret_cast<const unsigned char *>(blob.constData()),
                                     size_t(blob.size())),
                 sound);
    }
};

QTEST_GUILESS_MAIN(TestAccessProperties)
#include "tst_accessproperties.moc"
