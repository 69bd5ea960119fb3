#include "reports/SpreadsheetAvailability.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringList>
#include <QTextStream>

namespace {

QString envOr(const char *name, const QString &fallback)
{
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
}

QStringList pathList(const char *name, const QString &fallback)
{
    QStringList dirs;
    const QStringList parts = envOr(name, fallback).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        // Relative entries are invalid in the XDG lists and are ignored.
        if (QDir::isAbsolutePath(part))
            dirs.append(QDir::cleanPath(part));
    }
    return dirs;
}

QString configHome()
{
    return envOr("XDG_CONFIG_HOME", QDir::homePath() + QStringLiteral("/.config"));
}

QString dataHome()
{
    return envOr("XDG_DATA_HOME", QDir::homePath() + QStringLiteral("/.local/share"));
}

// The folders that hold .desktop files, most important first.
QStringList applicationFolders()
{
    QStringList folders{dataHome() + QStringLiteral("/applications")};
    for (const QString &dir : pathList("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share")))
        folders.append(dir + QStringLiteral("/applications"));
    return folders;
}

// A desktop file ID "vendor-app.desktop" may live as applications/vendor/app.desktop.
bool desktopFileExists(const QString &id, const QStringList &folders)
{
    if (id.isEmpty() || id.contains(QLatin1Char('/')) || !id.endsWith(QStringLiteral(".desktop")))
        return false;
    for (const QString &folder : folders) {
        if (QFileInfo(folder + QLatin1Char('/') + id).isFile())
            return true;
        QString nested = id;
        for (qsizetype dash = nested.indexOf(QLatin1Char('-')); dash > 0;
             dash = nested.indexOf(QLatin1Char('-'), dash + 1)) {
            nested[dash] = QLatin1Char('/');
            if (QFileInfo(folder + QLatin1Char('/') + nested).isFile())
                return true;
        }
    }
    return false;
}

struct Associations
{
    QStringList listed;    // desktop IDs named for the type
    QSet<QString> removed; // desktop IDs taken away by a more important file
};

// Reads the entries for the spreadsheet type from the given sections of one key file.
void readAssociations(const QString &path, const QStringList &sections, Associations &into)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    const QString mimeType = QString::fromLatin1(kSpreadsheetMimeType);
    QString section;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0 || line.left(eq).trimmed() != mimeType)
            continue;
        const QStringList ids = line.mid(eq + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        if (section == QStringLiteral("Removed Associations")) {
            for (const QString &id : ids)
                into.removed.insert(id.trimmed());
        } else if (sections.contains(section)) {
            for (const QString &id : ids) {
                if (!into.removed.contains(id.trimmed()))
                    into.listed.append(id.trimmed());
            }
        }
    }
}

} // namespace

bool isSpreadsheetAppRegistered()
{
    const QStringList mimeAppsSections{QStringLiteral("Default Applications"),
                                       QStringLiteral("Added Associations")};
    QStringList desktops;
    for (const QString &desktop :
         qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        desktops.append(desktop.toLower());

    // mimeapps.list files in the order of precedence; a removal hides the entries of the files after it.
    QStringList mimeAppsFiles;
    QStringList configDirs{configHome()};
    configDirs += pathList("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    QStringList dataAppDirs = applicationFolders();
    for (const QStringList *dirs : {&configDirs, &dataAppDirs}) {
        for (const QString &dir : *dirs) {
            for (const QString &desktop : desktops)
                mimeAppsFiles.append(dir + QLatin1Char('/') + desktop + QStringLiteral("-mimeapps.list"));
            mimeAppsFiles.append(dir + QStringLiteral("/mimeapps.list"));
        }
    }

    Associations associations;
    for (const QString &path : mimeAppsFiles)
        readAssociations(path, mimeAppsSections, associations);
    for (const QString &dir : dataAppDirs)
        readAssociations(dir + QStringLiteral("/mimeinfo.cache"), {QStringLiteral("MIME Cache")},
                         associations);

    for (const QString &id : associations.listed) {
        if (desktopFileExists(id, dataAppDirs))
            return true;
    }
    return false;
}
