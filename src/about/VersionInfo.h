#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <cstdint>

// VersionInfo: reads the version record of an executable (the ELF section ".orvessa_version"
// that the build fills from resources/version.ini) and answers its string keys. Values can be
// written into bound controls: any QObject with a "Caption" or "Text"/"text" property.
class VersionInfo : public QObject
{
    Q_OBJECT

public:
    // The eight keys, in the order shared by values, bound controls and updates.
    enum Key {
        KeyCompanyName,
        KeyFileDescription,
        KeyFileVersion,
        KeyInternalName,
        KeyLegalCopyRight,
        KeyOriginalFileName,
        KeyProductName,
        KeyProductVersion,
        KeyCount
    };
    static QString keyName(Key key);

    // Loads the block of the running executable at once.
    explicit VersionInfo(QObject *owner = nullptr);
    ~VersionInfo() override;

    // Loads the block of fileName (empty: the running executable). A file without a version
    // record leaves no block and no error; a record that cannot be read throws AppError
    // "Cannot retrieve Version Information for <file>". FileName is not changed.
    void OpenFile(const QString &fileName);
    void Close();
    // A string key of the first translation; empty without a block or without the key.
    // Key names are compared without regard to letter case.
    QString GetKey(const QString &key) const;

    // The version query: "\VarFileInfo\Translation" answers the first entry as eight hex
    // digits (language, then code page); "\StringFileInfo\<table>\<key>" answers the value.
    // Names are compared without regard to case; an unknown path answers empty.
    QString queryValue(const QString &path) const;
    bool hasBlock() const { return FInfoSize > 0; }
    // The first translation entry: language in the low 16 bits, code page in the high 16 bits.
    quint32 translation() const { return FLang; }
    // The fixed part, "a.b.c.d"; empty without a block.
    QString fixedFileVersion() const;
    QString fixedProductVersion() const;

    QString CompanyName() const { return GetKey(keyName(KeyCompanyName)); }
    QString FileDescription() const { return GetKey(keyName(KeyFileDescription)); }
    QString FileVersion() const { return GetKey(keyName(KeyFileVersion)); }
    QString InternalName() const { return GetKey(keyName(KeyInternalName)); }
    QString LegalCopyRight() const { return GetKey(keyName(KeyLegalCopyRight)); }
    QString OriginalFileName() const { return GetKey(keyName(KeyOriginalFileName)); }
    QString ProductName() const { return GetKey(keyName(KeyProductName)); }
    QString ProductVersion() const { return GetKey(keyName(KeyProductVersion)); }

    QString FileName() const { return FFileName; }
    // Stores the name (the running executable's path when empty) and opens the file.
    void setFileName(const QString &fileName);

    QObject *boundControl(Key key) const { return m_controls[key]; }
    // Binds a control to a key and writes every bound control at once.
    void bindControl(Key key, QObject *control);
    QObject *CtlCompanyName() const { return boundControl(KeyCompanyName); }
    QObject *CtlFileDescription() const { return boundControl(KeyFileDescription); }
    QObject *CtlFileVersion() const { return boundControl(KeyFileVersion); }
    QObject *CtlInternalName() const { return boundControl(KeyInternalName); }
    QObject *CtlLegalCopyRight() const { return boundControl(KeyLegalCopyRight); }
    QObject *CtlOriginalFileName() const { return boundControl(KeyOriginalFileName); }
    QObject *CtlProductName() const { return boundControl(KeyProductName); }
    QObject *CtlProductVersion() const { return boundControl(KeyProductVersion); }
    void setCtlCompanyName(QObject *c) { bindControl(KeyCompanyName, c); }
    void setCtlFileDescription(QObject *c) { bindControl(KeyFileDescription, c); }
    void setCtlFileVersion(QObject *c) { bindControl(KeyFileVersion, c); }
    void setCtlInternalName(QObject *c) { bindControl(KeyInternalName, c); }
    void setCtlLegalCopyRight(QObject *c) { bindControl(KeyLegalCopyRight, c); }
    void setCtlOriginalFileName(QObject *c) { bindControl(KeyOriginalFileName, c); }
    void setCtlProductName(QObject *c) { bindControl(KeyProductName, c); }
    void setCtlProductVersion(QObject *c) { bindControl(KeyProductVersion, c); }

    // The path of the running executable.
    static QString runningExecutable();

private:
    struct StringEntry
    {
        QString key;
        QString value;
    };
    struct StringTable
    {
        QString name;
        QList<StringEntry> entries;
    };

    void freeBlock();
    // Parses FInfo into the tables; false when the block is malformed.
    bool parseBlock();
    void UpdateBoundControls();

    QString FFileName;
    QByteArray FInfo;
    qint32 FInfoSize = 0;
    quint32 FLang = 0;
    bool m_hasTranslation = false;
    std::array<quint16, 4> m_fileVersion{};
    std::array<quint16, 4> m_productVersion{};
    QList<StringTable> m_tables;
    // QPointer: a destroyed control drops out of every binding it had.
    std::array<QPointer<QObject>, KeyCount> m_controls;
};

// Writes text into the control's "Caption" property when it has one, else into "Text" or
// "text", else nowhere. A null control is ignored.
void SetControlText(QObject *control, const QString &text);

// Locates a named section in an ELF file. Found: offset and size in the file; the section
// may still lie (partly) outside the file, which the caller checks.
struct ElfSection
{
    bool found = false;
    quint64 offset = 0;
    quint64 size = 0;
    bool noBits = false;
};
// Returns not found for a file that is not ELF or whose headers cannot be read.
ElfSection findElfSection(const QString &path, const QByteArray &name);
