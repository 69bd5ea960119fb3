#include "about/VersionInfo.h"

#include "common/AppError.h"

#include <QCoreApplication>
#include <QFile>
#include <QMetaProperty>
#include <QStringDecoder>

#include <cstring>

namespace {

constexpr char blockMagic[4] = {'O', 'V', 'V', 'R'};
constexpr quint16 blockLayout = 1;
constexpr int blockHeaderSize = 32;
// The record is a few hundred bytes; anything near this is not a record of ours.
constexpr quint64 maxBlockSize = 1 << 20;
constexpr char sectionName[] = ".orvessa_version";

quint16 le16(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint16(u[0] | (u[1] << 8));
}

quint32 le32(const char *p)
{
    return quint32(le16(p)) | (quint32(le16(p + 2)) << 16);
}

quint64 le64(const char *p)
{
    return quint64(le32(p)) | (quint64(le32(p + 4)) << 32);
}

bool readAt(QFile &file, quint64 offset, quint64 size, QByteArray &out)
{
    const quint64 fileSize = quint64(file.size());
    if (offset > fileSize || size > fileSize - offset || !file.seek(qint64(offset)))
        return false;
    out = file.read(qint64(size));
    return quint64(out.size()) == size;
}

// Reads the parts of the block in order; any read past its end marks it broken.
class BlockReader
{
public:
    explicit BlockReader(const QByteArray &data) : m_data(data) {}

    bool ok() const { return m_ok; }
    bool atEnd() const { return m_pos == m_data.size(); }

    quint16 u16()
    {
        if (!take(2))
            return 0;
        return le16(m_data.constData() + m_pos - 2);
    }

    quint32 u32()
    {
        if (!take(4))
            return 0;
        return le32(m_data.constData() + m_pos - 4);
    }

    QString string()
    {
        const quint16 length = u16();
        if (!take(length))
            return {};
        QStringDecoder decoder(QStringDecoder::Utf8);
        QString text = decoder(QByteArrayView(m_data.constData() + m_pos - length, length));
        if (decoder.hasError())
            m_ok = false;
        return text;
    }

    bool skip(qsizetype n) { return take(n); }

private:
    bool take(qsizetype n)
    {
        if (!m_ok || n > m_data.size() - m_pos) {
            m_ok = false;
            return false;
        }
        m_pos += n;
        return true;
    }

    const QByteArray &m_data;
    qsizetype m_pos = 0;
    bool m_ok = true;
};

QString versionText(const std::array<quint16, 4> &parts)
{
    return QStringLiteral("%1.%2.%3.%4").arg(parts[0]).arg(parts[1]).arg(parts[2]).arg(parts[3]);
}

} // namespace

ElfSection findElfSection(const QString &path, const QByteArray &name)
{
    ElfSection result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    QByteArray header;
    if (!readAt(file, 0, 52, header) || !header.startsWith("\x7f"
                                                           "ELF"))
        return result;
    const bool is64 = header[4] == 2;
    if ((header[4] != 1 && !is64) || header[5] != 1) // little-endian ELF32/ELF64 only
        return result;
    if (is64 && !readAt(file, 0, 64, header))
        return result;

    const char *h = header.constData();
    const quint64 shoff = is64 ? le64(h + 0x28) : le32(h + 0x20);
    const quint16 shentsize = le16(h + (is64 ? 0x3A : 0x2E));
    quint64 shnum = le16(h + (is64 ? 0x3C : 0x30));
    quint32 shstrndx = le16(h + (is64 ? 0x3E : 0x32));
    if (shoff == 0 || shentsize < (is64 ? 64 : 40))
        return result;

    auto sectionHeader = [&](quint64 index, QByteArray &out) {
        return readAt(file, shoff + index * shentsize, shentsize, out);
    };
    struct Header
    {
        quint32 name = 0, type = 0, link = 0;
        quint64 offset = 0, size = 0;
    };
    auto decode = [&](const QByteArray &raw) {
        const char *p = raw.constData();
        Header s;
        s.name = le32(p);
        s.type = le32(p + 4);
        s.offset = is64 ? le64(p + 24) : le32(p + 16);
        s.size = is64 ? le64(p + 32) : le32(p + 20);
        s.link = le32(p + (is64 ? 40 : 24));
        return s;
    };

    QByteArray raw;
    // Large files keep the real counts in the first section header.
    if (shnum == 0 || shstrndx == 0xFFFF) {
        if (!sectionHeader(0, raw))
            return result;
        const Header first = decode(raw);
        if (shnum == 0)
            shnum = first.size;
        if (shstrndx == 0xFFFF)
            shstrndx = first.link;
    }
    if (shnum == 0 || shstrndx >= shnum || shnum > quint64(file.size()) / shentsize)
        return result;

    QByteArray table;
    if (!sectionHeader(shstrndx, raw))
        return result;
    const Header strings = decode(raw);
    if (strings.size > quint64(file.size()) || !readAt(file, strings.offset, strings.size, table))
        return result;

    for (quint64 i = 1; i < shnum; ++i) {
        if (!sectionHeader(i, raw))
            return result;
        const Header s = decode(raw);
        if (s.name >= quint64(table.size()))
            continue;
        const char *sectionNameText = table.constData() + s.name;
        const auto length = qstrnlen(sectionNameText, uint(table.size() - s.name));
        if (QByteArrayView(sectionNameText, length) != name)
            continue;
        result.found = true;
        result.offset = s.offset;
        result.size = s.size;
        result.noBits = s.type == 8; // SHT_NOBITS
        return result;
    }
    return result;
}

void SetControlText(QObject *control, const QString &text)
{
    if (!control)
        return;
    // Qt's own controls spell the property "text".
    const QMetaObject *meta = control->metaObject();
    for (const char *name : {"Caption", "Text", "text"}) {
        const int index = meta->indexOfProperty(name);
        if (index >= 0) {
            const QMetaProperty property = meta->property(index);
            if (property.metaType().id() == QMetaType::QString && property.isWritable()) {
                property.write(control, text);
                return;
            }
        } else if (control->property(name).isValid()) { // a dynamic property counts as well
            control->setProperty(name, text);
            return;
        }
    }
}

QString VersionInfo::keyName(Key key)
{
    static const char *const names[KeyCount] = {
        "CompanyName",    "FileDescription",  "FileVersion", "InternalName",
        "LegalCopyRight", "OriginalFileName", "ProductName", "ProductVersion",
    };
    return QString::fromLatin1(names[key]);
}

VersionInfo::VersionInfo(QObject *owner) : QObject(owner)
{
    FFileName.clear();
    OpenFile(QString());
}

VersionInfo::~VersionInfo()
{
    freeBlock();
}

QString VersionInfo::runningExecutable()
{
    QString path = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    if (path.isEmpty() && QCoreApplication::instance())
        path = QCoreApplication::applicationFilePath();
    return path;
}

void VersionInfo::freeBlock()
{
    FInfo.clear();
    FInfoSize = 0;
    FLang = 0;
    m_hasTranslation = false;
    m_fileVersion = {};
    m_productVersion = {};
    m_tables.clear();
}

void VersionInfo::OpenFile(const QString &fileName)
{
    freeBlock();
    // The kernel's link reads the running image even when its file has been replaced.
    const QString path = fileName.isEmpty() ? QStringLiteral("/proc/self/exe") : fileName;
    const QString shownName = fileName.isEmpty() ? runningExecutable() : fileName;

    const ElfSection section = findElfSection(path, sectionName);
    if (!section.found)
        return;

    const auto fail = [&] {
        freeBlock();
        throw AppError(QStringLiteral("Cannot retrieve Version Information for ") + shownName);
    };
    if (section.noBits || section.size < blockHeaderSize || section.size > maxBlockSize)
        fail();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !readAt(file, section.offset, section.size, FInfo))
        fail();
    FInfoSize = qint32(FInfo.size());
    if (!parseBlock())
        fail();

    UpdateBoundControls();
}

bool VersionInfo::parseBlock()
{
    if (std::memcmp(FInfo.constData(), blockMagic, sizeof blockMagic) != 0)
        return false;
    const quint32 size = le32(FInfo.constData() + 4);
    // The section may carry padding after the block (alignment, sanitizer red zones).
    if (size < blockHeaderSize || size > quint32(FInfo.size()))
        return false;
    const QByteArray block = FInfo.left(size);
    BlockReader in(block);
    in.skip(8);
    if (in.u16() != blockLayout)
        return false;
    const quint16 translations = in.u16();
    for (auto &part : m_fileVersion)
        part = in.u16();
    for (auto &part : m_productVersion)
        part = in.u16();
    const quint16 tables = in.u16();
    in.u16();
    for (quint16 i = 0; i < translations; ++i) {
        const quint32 entry = in.u32();
        if (i == 0) {
            FLang = entry;
            m_hasTranslation = true;
        }
    }
    for (quint16 t = 0; t < tables && in.ok(); ++t) {
        StringTable table;
        table.name = in.string();
        const quint16 entries = in.u16();
        for (quint16 e = 0; e < entries && in.ok(); ++e) {
            StringEntry entry;
            entry.key = in.string();
            entry.value = in.string();
            table.entries.append(entry);
        }
        m_tables.append(table);
    }
    return in.ok() && in.atEnd();
}

void VersionInfo::Close()
{
    freeBlock();
    FFileName.clear();
}

QString VersionInfo::queryValue(const QString &path) const
{
    if (FInfoSize <= 0)
        return {};
    const QStringList parts = path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    const auto is = [](const QString &a, const char *b) {
        return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
    };
    if (parts.size() == 2 && is(parts[0], "VarFileInfo") && is(parts[1], "Translation")) {
        if (!m_hasTranslation)
            return {};
        return QStringLiteral("%1%2")
            .arg(FLang & 0xFFFF, 4, 16, QLatin1Char('0'))
            .arg(FLang >> 16, 4, 16, QLatin1Char('0'));
    }
    if (parts.size() != 3 || !is(parts[0], "StringFileInfo"))
        return {};
    for (const StringTable &table : m_tables) {
        if (table.name.compare(parts[1], Qt::CaseInsensitive) != 0)
            continue;
        for (const StringEntry &entry : table.entries) {
            if (entry.key.compare(parts[2], Qt::CaseInsensitive) == 0)
                return entry.value;
        }
        return {};
    }
    return {};
}

QString VersionInfo::GetKey(const QString &key) const
{
    if (FInfoSize <= 0 || !m_hasTranslation)
        return {};
    const QString path = QStringLiteral("\\StringFileInfo\\%1%2\\%3")
                             .arg(FLang & 0xFFFF, 4, 16, QLatin1Char('0'))
                             .arg(FLang >> 16, 4, 16, QLatin1Char('0'))
                             .arg(key);
    return queryValue(path);
}

QString VersionInfo::fixedFileVersion() const
{
    return FInfoSize > 0 ? versionText(m_fileVersion) : QString();
}

QString VersionInfo::fixedProductVersion() const
{
    return FInfoSize > 0 ? versionText(m_productVersion) : QString();
}

void VersionInfo::setFileName(const QString &fileName)
{
    FFileName = fileName.isEmpty() ? runningExecutable() : fileName;
    OpenFile(fileName);
}

void VersionInfo::bindControl(Key key, QObject *control)
{
    m_controls[key] = control;
    UpdateBoundControls();
}

void VersionInfo::UpdateBoundControls()
{
    for (int key = 0; key < KeyCount; ++key)
        SetControlText(m_controls[key], GetKey(keyName(Key(key))));
}
