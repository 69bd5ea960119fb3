#include "ExportReader.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QtGlobal>

QJsonObject readExport(const QString &kind, const QString &path)
{
    // Debian's own interpreter, which has openpyxl; another python3 may come first on the path.
    const QString python = QFileInfo::exists(QStringLiteral("/usr/bin/python3"))
                               ? QStringLiteral("/usr/bin/python3")
                               : QStringLiteral("python3");
    const QString script =
        qEnvironmentVariable("ORVESSA_SOURCE_DIR") + QStringLiteral("/tests/export/read_export.py");
    QProcess process;
    process.start(python, {script, kind, path});
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        qWarning("read_export.py %s failed: %s", qPrintable(kind),
                 process.readAllStandardError().constData());
        return QJsonObject();
    }
    return QJsonDocument::fromJson(process.readAllStandardOutput()).object();
}

QJsonArray exportedRows(const QJsonObject &read, int sheet)
{
    return read.value(QStringLiteral("sheets"))
        .toArray()
        .at(sheet)
        .toObject()
        .value(QStringLiteral("rows"))
        .toArray();
}

void feedRows(CellSink &sink, const QList<QList<Cell>> &rows)
{
    for (const QList<Cell> &row : rows) {
        sink.beginRow();
        for (const Cell &cell : row) {
            if (std::holds_alternative<std::monostate>(cell))
                sink.addNull();
            else if (const auto *i = std::get_if<qint64>(&cell))
                sink.addInt(*i);
            else if (const auto *d = std::get_if<double>(&cell))
                sink.addDouble(*d);
            else if (const auto *b = std::get_if<bool>(&cell))
                sink.addBool(*b);
            else if (const auto *t = std::get_if<Text>(&cell))
                sink.addText(t->utf8.constData(), t->utf8.size());
            else if (const auto *blob = std::get_if<Blob>(&cell))
                sink.addBlob(blob->bytes.constData(), blob->bytes.size());
        }
        sink.endRow();
    }
}

FieldInfo field(const QString &name, AdoType type)
{
    FieldInfo f;
    f.name = name;
    f.type = type;
    return f;
}
