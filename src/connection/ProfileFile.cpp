#include "connection/ProfileFile.h"

#include "common/AppError.h"
#include "common/SafeFile.h"
#include "common/TextEncoding.h"
#include "connection/PasswordMask.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <optional>

namespace {

// Splits at CRLF, CR or LF. Done by hand: a regular expression gives up on text that is not
// valid UTF-16 (a lone surrogate read from a damaged file), and the lines would run together.
QStringList splitLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines.append(text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

QString trimmedName(QStringView s)
{
    return s.trimmed().toString();
}

// The section name of a line "[name]", or nothing when the line is not a section header.
std::optional<QString> sectionOf(const QString &line)
{
    const QStringView t = QStringView(line).trimmed();
    if (!t.startsWith(QLatin1Char('[')))
        return std::nullopt;
    qsizetype close = t.indexOf(QLatin1Char(']'));
    if (close < 0)
        close = t.size();
    return trimmedName(t.mid(1, close - 1));
}

// The key name of a line "key=value" (or a bare "key").
QString keyOf(const QString &line)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return trimmedName(eq < 0 ? QStringView(line) : QStringView(line).left(eq));
}

QString valueOf(const QString &line)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return QString();
    QString v = line.mid(eq + 1).trimmed();
    if (v.size() >= 2 && (v.front() == QLatin1Char('"') || v.front() == QLatin1Char('\'')) &&
        v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return v;
}

// "Unable to write to <file>"; another user's link that stands in the way is named as the
// reason, the system's own reasons are not.
AppError unableToWrite(const QString &full)
{
    const QString refusal = linkRefusal(full);
    return AppError(QStringLiteral("Unable to write to %1").arg(full) +
                    (refusal.isEmpty() ? QString() : QStringLiteral(": ") + refusal));
}

} // namespace

QString ProfileFile::decode(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xFE")) {
        // The mark was taken off here; a second one is text and must stay.
        QStringDecoder utf16(QStringConverter::Utf16LE,
                             QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
        QString s = utf16(bytes.mid(2));
        return s;
    }
    QByteArray body = bytes;
    const bool bom = body.startsWith("\xEF\xBB\xBF");
    if (bom)
        body.remove(0, 3);
    QStringDecoder utf8(QStringConverter::Utf8,
                        QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    QString s = utf8(body);
    if (bom || !utf8.hasError())
        return s;
    return fromCp1252(bytes);
}

ProfileFile ProfileFile::fromBytes(const QByteArray &bytes)
{
    ProfileFile p;
    p.m_lines = splitLines(decode(bytes));
    return p;
}

ProfileFile ProfileFile::load(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return ProfileFile();
    return fromBytes(file.readAll());
}

QString ProfileFile::value(const QString &section, const QString &key) const
{
    const QString wantedSection = section.trimmed();
    const QString wantedKey = key.trimmed();
    bool inSection = false;
    bool seenSection = false;
    for (const QString &line : m_lines) {
        if (const auto name = sectionOf(line)) {
            // Only the first section of that name counts.
            if (inSection)
                return QString();
            inSection = !seenSection && name->compare(wantedSection, Qt::CaseInsensitive) == 0;
            seenSection = seenSection || inSection;
            continue;
        }
        if (inSection && keyOf(line).compare(wantedKey, Qt::CaseInsensitive) == 0 && !keyOf(line).isEmpty())
            return valueOf(line);
    }
    return QString();
}

void ProfileFile::setValue(const QString &section, const QString &key, const QString &value)
{
    const QString wantedSection = section.trimmed();
    const QString wantedKey = key.trimmed();
    const QString newLine = wantedKey + QLatin1Char('=') + value;
    qsizetype sectionStart = -1;
    qsizetype lastEntry = -1; // last non-blank line of the section
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const QString &line = m_lines[i];
        if (const auto name = sectionOf(line)) {
            if (sectionStart >= 0)
                break;
            if (name->compare(wantedSection, Qt::CaseInsensitive) == 0) {
                sectionStart = i;
                lastEntry = i;
            }
            continue;
        }
        if (sectionStart < 0)
            continue;
        if (!line.trimmed().isEmpty())
            lastEntry = i;
        if (keyOf(line).compare(wantedKey, Qt::CaseInsensitive) == 0 && !keyOf(line).isEmpty()) {
            m_lines[i] = newLine;
            return;
        }
    }
    if (sectionStart < 0) {
        m_lines.append(QLatin1Char('[') + wantedSection + QLatin1Char(']'));
        m_lines.append(newLine);
        return;
    }
    m_lines.insert(lastEntry + 1, newLine);
}

QByteArray ProfileFile::toBytes() const
{
    QString text;
    for (const QString &line : m_lines)
        text += line + QLatin1String("\r\n");
    // Windows-1252 only when it reads back as the same text: bytes that also form valid UTF-8
    // (or a byte-order mark) would be read as something else.
    if (const auto ansi = toCp1252(text); ansi && decode(*ansi) == text)
        return *ansi;
    QStringEncoder utf16(QStringConverter::Utf16LE);
    return QByteArray("\xFF\xFE", 2) + QByteArray(utf16(text));
}

bool ProfileFile::holdsPassword() const
{
    return std::any_of(m_lines.begin(), m_lines.end(), [](const QString &line) {
        const QString value = valueOf(line);
        return maskPasswords(value) != value;
    });
}

ProfileFile::Written ProfileFile::save(const QString &fileName) const
{
    const QString full = QFileInfo(fileName).absoluteFilePath();
    // A profile may hold a password: a new one is for its owner's eyes only, and so is an old one
    // from the moment it holds one.
    ReplacementFile file;
    if (!file.open(full, 0600, nullptr))
        throw unableToWrite(full);
    const mode_t previous = file.mode();
    if (holdsPassword())
        file.narrowMode(0600);
    if (!writeAndSync(file.descriptor(), toBytes()) || !file.commit(nullptr))
        throw unableToWrite(full);
    Written written;
    written.notOnDisk = file.notOnDisk();
    if (file.mode() != previous)
        written.narrowedFrom = previous;
    return written;
}

QString ProfileFile::readString(const QString &fileName, const QString &section, const QString &key)
{
    return load(fileName).value(section, key);
}

ProfileFile::Written ProfileFile::writeString(const QString &fileName, const QString &section,
                                              const QString &key, const QString &value)
{
    QFile existing(fileName);
    // A file that exists but cannot be read would lose its other sections: refuse instead.
    // (A dangling symlink names no file yet: writing creates its target.) A link another user
    // planted is not even read.
    if (!linkRefusal(fileName).isEmpty() ||
        (QFileInfo::exists(fileName) && !existing.open(QIODevice::ReadOnly)))
        throw unableToWrite(QFileInfo(fileName).absoluteFilePath());
    ProfileFile p = existing.isOpen() ? fromBytes(existing.readAll()) : ProfileFile();
    existing.close();
    p.setValue(section, key, value);
    return p.save(fileName);
}
