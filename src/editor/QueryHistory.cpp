#include "editor/QueryHistory.h"

#include "common/SafeFile.h"
#include "common/UserFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

QByteArray encode(const HistoryEntry &entry)
{
    QJsonObject object;
    object.insert(QStringLiteral("time"), entry.time.toUTC().toString(Qt::ISODateWithMs));
    object.insert(QStringLiteral("source"), entry.source);
    object.insert(QStringLiteral("ms"), entry.elapsedMs);
    object.insert(QStringLiteral("rows"), entry.rows);
    object.insert(QStringLiteral("failed"), entry.failed);
    object.insert(QStringLiteral("sql"), entry.sql);
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

// A line cut short by a crash, or anything else that is no entry, is passed over.
std::optional<HistoryEntry> decode(const QByteArray &line)
{
    const QJsonDocument document = QJsonDocument::fromJson(line);
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    if (!object.value(QStringLiteral("sql")).isString())
        return std::nullopt;
    HistoryEntry entry;
    entry.time = QDateTime::fromString(object.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs)
                     .toLocalTime();
    entry.source = object.value(QStringLiteral("source")).toString();
    entry.sql = object.value(QStringLiteral("sql")).toString();
    entry.elapsedMs = qint64(object.value(QStringLiteral("ms")).toDouble());
    entry.rows = qint64(object.value(QStringLiteral("rows")).toDouble(-1));
    entry.failed = object.value(QStringLiteral("failed")).toBool();
    return entry;
}

} // namespace

QString QueryHistory::defaultPath()
{
    return userDataFolder() + QStringLiteral("/history");
}

QueryHistory::QueryHistory(QString path, qint64 maxBytes) : m_path(std::move(path)), m_maxBytes(maxBytes)
{
}

bool QueryHistory::usable(QString *error) const
{
    if (m_refused) {
        *error = m_refusal;
        return false;
    }
    return isOwnFolder(QFileInfo(m_path).path(), error);
}

bool QueryHistory::load(QString *error)
{
    m_entries.clear();
    m_fileBytes = 0;
    m_refused = false;
    QString reason;
    const auto refuse = [&](const QString &text) {
        m_refused = true;
        m_refusal = text;
        *error = text;
        return false;
    };
    if (!usable(&reason))
        return refuse(reason);
    const int fd = openOwnFile(m_path, O_RDONLY, &reason);
    if (fd < 0)
        return reason.isEmpty() ? true : refuse(reason);
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return refuse(m_path);
    }
    const QByteArray bytes = file.readAll();
    m_fileBytes = bytes.size();
    for (const QByteArray &line : bytes.split('\n')) {
        if (const std::optional<HistoryEntry> entry = decode(line))
            m_entries.append(*entry);
    }
    return true;
}

bool QueryHistory::add(const HistoryEntry &entry, QString *error)
{
    m_entries.append(entry);
    if (!usable(error))
        return false;
    const QByteArray line = encode(entry);
    if (line.size() > m_maxBytes / 4)
        return true;
    if (!makeFolder(error))
        return false;
    const int fd = openOwnFile(m_path, O_WRONLY | O_APPEND | O_CREAT, error);
    if (fd < 0)
        return false;
    bool written = writeAndSync(fd, line);
    if (!written)
        *error = m_path + QStringLiteral(": ") + systemError(errno);
    ::close(fd);
    if (!written)
        return false;
    m_fileBytes += line.size();
    return m_fileBytes <= m_maxBytes || rewrite(error);
}

bool QueryHistory::remove(QList<int> indexes, QString *error)
{
    std::sort(indexes.begin(), indexes.end(), std::greater<>());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    for (int index : std::as_const(indexes)) {
        if (index >= 0 && index < m_entries.size())
            m_entries.removeAt(index);
    }
    return rewrite(error);
}

bool QueryHistory::clear(QString *error)
{
    m_entries.clear();
    return rewrite(error);
}

bool QueryHistory::makeFolder(QString *error) const
{
    return makeOwnFolder(QFileInfo(m_path).path(), error);
}

bool QueryHistory::rewrite(QString *error)
{
    if (!usable(error) || !makeFolder(error))
        return false;
    // Newest first until the budget is spent: three quarters of the bound, so that the next
    // entries append for a while before the file is written whole again.
    const qint64 budget = m_fileBytes > m_maxBytes ? m_maxBytes * 3 / 4 : m_maxBytes;
    QList<QByteArray> lines;
    qint64 total = 0;
    qsizetype kept = 0;
    for (qsizetype i = m_entries.size() - 1; i >= 0; --i) {
        const QByteArray line = encode(m_entries[i]);
        if (line.size() > m_maxBytes / 4)
            continue;
        if (total + line.size() > budget)
            break;
        total += line.size();
        lines.prepend(line);
        kept = m_entries.size() - i;
    }
    m_entries = m_entries.mid(m_entries.size() - kept);
    struct stat st
    {
    };
    const QByteArray path = QFile::encodeName(m_path);
    if (::lstat(path.constData(), &st) == 0 && (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid())) {
        *error = QStringLiteral("The file %1 is not a file of your own.").arg(m_path);
        return false;
    }
    if (!replaceFileAtomically(m_path, lines.join(), 0600, error))
        return false;
    m_fileBytes = total;
    return true;
}
