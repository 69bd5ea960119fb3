#include "about/VersionInfo.h"
#include "common/AppError.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <optional>

namespace {

QString programPath()
{
    return qEnvironmentVariable("ORVESSA_APP_FOLDER") + QStringLiteral("/orvessa");
}

void put16(QByteArray &out, quint16 v)
{
    out.append(char(v & 0xFF)).append(char(v >> 8));
}

void put32(QByteArray &out, quint32 v)
{
    put16(out, quint16(v & 0xFFFF));
    put16(out, quint16(v >> 16));
}

void putString(QByteArray &out, const QByteArray &utf8)
{
    put16(out, quint16(utf8.size()));
    out.append(utf8);
}

struct Table
{
    QByteArray name;
    QList<QPair<QByteArray, QByteArray>> entries;
};

// A version block in the layout the build writes.
QByteArray versionBlock(const QList<quint32> &translations, const QList<Table> &tables)
{
    QByteArray body;
    for (quint32 t : translations)
        put32(body, t);
    for (const Table &table : tables) {
        putString(body, table.name);
        put16(body, quint16(table.entries.size()));
        for (const auto &[key, value] : table.entries) {
            putString(body, key);
            putString(body, value);
        }
    }
    QByteArray block("OVVR");
    put32(block, quint32(32 + body.size()));
    put16(block, 1);
    put16(block, quint16(translations.size()));
    for (quint16 part : {3, 0, 0, 7, 3, 0, 0, 0})
        put16(block, part);
    put16(block, quint16(tables.size()));
    put16(block, 0);
    return block + body;
}

QByteArray sampleBlock()
{
    return versionBlock({0x04B00409u, 0x04E40416u},
                        {{"040904b0", {{"FileVersion", "3.0.0.7"}, {"ProductName", "Sample"}}},
                         {"041604E4", {{"FileVersion", "9.9.9.9"}}}});
}

// A little-endian ELF64 file with a string table and, when wanted, the version section.
QByteArray elfFile(const std::optional<QByteArray> &section, bool noBits = false, quint64 sectionOffset = 0)
{
    const QByteArray names("\0.shstrtab\0.orvessa_version\0", 28);
    QByteArray file(64, '\0');
    const quint64 namesOffset = file.size();
    file.append(names);
    const quint64 dataOffset = file.size();
    if (section)
        file.append(*section);
    while (file.size() % 8)
        file.append('\0');
    const quint64 shoff = file.size();
    const int count = section ? 3 : 2;

    auto header = [&](quint32 name, quint32 type, quint64 offset, quint64 size) {
        QByteArray h(64, '\0');
        qToLittleEndian<quint32>(name, h.data());
        qToLittleEndian<quint32>(type, h.data() + 4);
        qToLittleEndian<quint64>(offset, h.data() + 24);
        qToLittleEndian<quint64>(size, h.data() + 32);
        file.append(h);
    };
    header(0, 0, 0, 0);
    header(1, 3, namesOffset, quint64(names.size()));
    if (section)
        header(11, noBits ? 8 : 1, sectionOffset ? sectionOffset : dataOffset, quint64(section->size()));

    char *h = file.data();
    memcpy(h,
           "\x7f"
           "ELF\x02\x01\x01",
           7);
    qToLittleEndian<quint16>(2, h + 16);    // executable
    qToLittleEndian<quint16>(0x3E, h + 18); // x86-64
    qToLittleEndian<quint32>(1, h + 20);
    qToLittleEndian<quint64>(shoff, h + 0x28);
    qToLittleEndian<quint16>(64, h + 0x34);
    qToLittleEndian<quint16>(64, h + 0x3A);
    qToLittleEndian<quint16>(quint16(count), h + 0x3C);
    qToLittleEndian<quint16>(1, h + 0x3E);
    return file;
}

void checkAllEmpty(const VersionInfo &info)
{
    QVERIFY(!info.hasBlock());
    for (int key = 0; key < VersionInfo::KeyCount; ++key)
        QCOMPARE(info.GetKey(VersionInfo::keyName(VersionInfo::Key(key))), QString());
    QCOMPARE(info.FileVersion(), QString());
    QCOMPARE(info.fixedFileVersion(), QString());
    QCOMPARE(info.queryValue(QStringLiteral("\\VarFileInfo\\Translation")), QString());
}

} // namespace

class TestVersInfo : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

private slots:
    void readsTheProgramsVersionRecord_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("the program") << programPath();
        QTest::newRow("the running executable") << QString();
    }

    void readsTheProgramsVersionRecord()
    {
        QFETCH(QString, file);
        VersionInfo info;
        info.OpenFile(file);
        QVERIFY(info.hasBlock());
        QCOMPARE(info.CompanyName(), QStringLiteral("Pelmora"));
        QCOMPARE(info.FileDescription(), QStringLiteral("Orvessa"));
        QCOMPARE(info.FileVersion(), QStringLiteral("2.1.3.4"));
        QCOMPARE(info.InternalName(), QStringLiteral("Orvessa"));
        QVERIFY(info.LegalCopyRight().contains(QStringLiteral("Pelmora")));
        QVERIFY(info.LegalCopyRight().startsWith(QStringLiteral("© ")));
        QCOMPARE(info.OriginalFileName(), QStringLiteral("Orvessa.exe"));
        QCOMPARE(info.ProductName(), QString());
        QCOMPARE(info.ProductVersion(), QStringLiteral("2.0"));
        QCOMPARE(info.GetKey(QStringLiteral("Comments")), QString());
        QCOMPARE(info.translation(), 0x04E40416u);
        QCOMPARE(info.queryValue(QStringLiteral("\\VarFileInfo\\Translation")), QStringLiteral("041604e4"));
        QCOMPARE(info.queryValue(QStringLiteral("\\StringFileInfo\\041604E4\\InternalName")),
                 QStringLiteral("Orvessa"));
        QCOMPARE(info.fixedFileVersion(), QStringLiteral("2.1.3.4"));
        QCOMPARE(info.fixedProductVersion(), QStringLiteral("2.1.3.4"));
        // OpenFile leaves the name alone; the constructor left it empty.
        QCOMPARE(info.FileName(), QString());
    }

    void keysIgnoreLetterCase_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("lower") << "fileversion"
                               << "2.1.3.4";
        QTest::newRow("upper") << "FILEVERSION"
                               << "2.1.3.4";
        QTest::newRow("OriginalFileName") << "OriginalFileName"
                                          << "Orvessa.exe";
        QTest::newRow("originalfilename") << "originalfilename"
                                          << "Orvessa.exe";
        QTest::newRow("unknown key") << "LegalTrademarksX"
                                     << "";
    }

    void keysIgnoreLetterCase()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        VersionInfo info;
        QCOMPARE(info.GetKey(key), value);
        // "LegalCopyRight" finds the standard key LegalCopyright.
        QCOMPARE(info.LegalCopyRight(), info.GetKey(QStringLiteral("LegalCopyright")));
    }

    void aFileWithoutRecordGivesEmptyValues_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("executable without the section") << QStringLiteral("/bin/true");
        QTest::newRow("not an ELF file") << writeFile(QStringLiteral("notes.txt"), "just text\n");
        QTest::newRow("missing file") << m_dir.filePath(QStringLiteral("missing"));
        QTest::newRow("ELF without the section")
            << writeFile(QStringLiteral("plain.elf"), elfFile(std::nullopt));
        const QByteArray noTranslation = versionBlock({}, {{"041604E4", {{"FileVersion", "1.0.0.0"}}}});
        QTest::newRow("record without translation")
            << writeFile(QStringLiteral("untranslated.elf"), elfFile(noTranslation));
    }

    void aFileWithoutRecordGivesEmptyValues()
    {
        QFETCH(QString, file);
        VersionInfo info;
        QVERIFY(info.hasBlock());
        info.OpenFile(file);
        if (info.hasBlock()) // the untranslated record is held, but answers nothing
            QCOMPARE(info.FileVersion(), QString());
        else
            checkAllEmpty(info);
    }

    void theFirstTranslationChoosesTheTable()
    {
        const QByteArray block = sampleBlock();
        VersionInfo info;
        info.OpenFile(writeFile(QStringLiteral("sample.elf"), elfFile(block)));
        QCOMPARE(info.FileVersion(), QStringLiteral("3.0.0.7"));
        QCOMPARE(info.ProductName(), QStringLiteral("Sample"));
        QCOMPARE(info.CompanyName(), QString());
        QCOMPARE(info.queryValue(QStringLiteral("\\StringFileInfo\\041604e4\\FileVersion")),
                 QStringLiteral("9.9.9.9"));
        QCOMPARE(info.fixedFileVersion(), QStringLiteral("3.0.0.7"));
    }

    void aDamagedRecordRaisesAnError_data()
    {
        QTest::addColumn<QByteArray>("file");
        const QByteArray good = sampleBlock();
        auto withSize = [&](qint64 delta) {
            QByteArray b = good;
            qToLittleEndian<quint32>(quint32(good.size() + delta), b.data() + 4);
            return b;
        };
        QByteArray badMagic = good;
        badMagic[0] = 'X';
        QByteArray badLayout = good;
        badLayout[8] = 2;
        QByteArray badUtf8 = good;
        badUtf8[badUtf8.indexOf("Sample")] = char(0xFF);
        const QByteArray headerOnly = good.left(16);

        QTest::newRow("wrong magic") << elfFile(badMagic);
        QTest::newRow("unknown layout") << elfFile(badLayout);
        QTest::newRow("size beyond the section") << elfFile(good.left(good.size() - 3));
        QTest::newRow("string cut by the size") << elfFile(withSize(-3));
        QTest::newRow("bytes left over") << elfFile(withSize(2).append("xx"));
        QTest::newRow("invalid UTF-8") << elfFile(badUtf8);
        QTest::newRow("shorter than a header") << elfFile(headerOnly);
        QTest::newRow("section without data") << elfFile(good, true);
        QTest::newRow("section past the end of the file") << elfFile(good, false, 1u << 30);
    }

    void aDamagedRecordRaisesAnError()
    {
        QFETCH(QByteArray, file);
        const QString path = writeFile(QStringLiteral("damaged.elf"), file);
        VersionInfo info;
        try {
            info.OpenFile(path);
            QFAIL("no error raised");
        } catch (const AppError &e) {
            QCOMPARE(e.text(), QStringLiteral("Cannot retrieve Version Information for ") + path);
        }
        checkAllEmpty(info);
    }

    void openingAgainReplacesTheRecord()
    {
        const QByteArray block = sampleBlock();
        const QString sample = writeFile(QStringLiteral("again.elf"), elfFile(block));
        VersionInfo info;
        info.OpenFile(sample);
        QCOMPARE(info.FileVersion(), QStringLiteral("3.0.0.7"));
        info.OpenFile(QStringLiteral("/bin/true"));
        checkAllEmpty(info);
        info.OpenFile(programPath());
        QCOMPARE(info.FileVersion(), QStringLiteral("2.1.3.4"));
        info.OpenFile(sample);
        QCOMPARE(info.FileVersion(), QStringLiteral("3.0.0.7"));
    }

    void closeEmptiesValuesAndName()
    {
        VersionInfo info;
        info.setFileName(programPath());
        QCOMPARE(info.FileName(), programPath());
        QCOMPARE(info.FileVersion(), QStringLiteral("2.1.3.4"));
        info.Close();
        checkAllEmpty(info);
        QCOMPARE(info.FileName(), QString());
    }

    void anEmptyFileNameMeansTheRunningExecutable()
    {
        VersionInfo info;
        info.Close();
        info.setFileName(QString());
        QCOMPARE(info.FileName(), QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());
        QCOMPARE(info.FileVersion(), QStringLiteral("2.1.3.4"));
    }

    void boundControlsReceiveTheirValues()
    {
        VersionInfo info;
        QLabel version;
        QLabel captioned;
        captioned.setProperty("Caption", QString());
        QObject plain;
        info.setCtlFileVersion(&version);
        info.setCtlCompanyName(&captioned);
        info.setCtlProductVersion(&plain);
        QCOMPARE(version.text(), QStringLiteral("2.1.3.4"));
        // "Caption" is written before "Text".
        QCOMPARE(captioned.property("Caption").toString(), QStringLiteral("Pelmora"));
        QCOMPARE(captioned.text(), QString());
        QCOMPARE(info.CtlProductVersion(), &plain);
        QVERIFY(plain.dynamicPropertyNames().isEmpty());

        const QByteArray block = sampleBlock();
        info.OpenFile(writeFile(QStringLiteral("bound.elf"), elfFile(block)));
        QCOMPARE(version.text(), QStringLiteral("3.0.0.7"));
        QCOMPARE(captioned.property("Caption").toString(), QString());
    }

    void aDestroyedControlIsUnbound()
    {
        VersionInfo info;
        auto *label = new QLabel;
        info.setCtlFileVersion(label);
        info.setCtlInternalName(label);
        delete label;
        QCOMPARE(info.CtlFileVersion(), nullptr);
        QCOMPARE(info.CtlInternalName(), nullptr);
        info.OpenFile(QString()); // writes to no control
        QCOMPARE(info.FileVersion(), QStringLiteral("2.1.3.4"));
    }
};

QTEST_MAIN(TestVersInfo)
#include "tst_versioninfo.moc"
