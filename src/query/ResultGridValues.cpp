// The result grid's values: Copy as, NULL, and binary values opened, saved and loaded.
#include "query/ResultGrid.h"

#include "connection/WorkRunnerDialog.h"
#include "db/SqlDialectRules.h"
#include "query/BlobViewer.h"
#include "query/CellFinder.h"
#include "query/CellValues.h"
#include "query/DeleteRecord.h"
#include "query/GridFindBar.h"
#include "query/LocalWork.h"
#include "query/Query.h"
#include "query/ResultHeader.h"
#include "query/ResultModel.h"
#include "query/ResultShaper.h"
#include "query/RowEditor.h"
#include "shell/Guard.h"
#include "shell/Language.h"
#include "shell/Prompt.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QToolTip>

void ResultGrid::copyAs(CopyFormat format)
{
    if (!m_model || !m_model->editor()->isOpen())
        return;
    const RowEditor *editor = m_model->editor();
    const Recordset *rs = editor->recordset();
    // The rows and columns of the selection: every row with a selected cell, every column with one.
    QItemSelection selection = selectionModel()->selection();
    if (selection.isEmpty() && currentIndex().isValid())
        selection.select(currentIndex(), currentIndex());
    if (selection.isEmpty())
        return;
    QList<int> columns;
    QList<std::pair<int, int>> spans;
    for (const QItemSelectionRange &range : std::as_const(selection)) {
        for (int c = range.left(); c <= range.right(); ++c) {
            if (!columns.contains(c))
                columns.append(c);
        }
        spans.append({range.top(), range.bottom()});
    }
    std::sort(columns.begin(), columns.end());
    std::sort(spans.begin(), spans.end());
    std::vector<int> rows;
    int next = 0;
    const qint64 pendingRow = editor->state() != RowEditor::State::Browse ? editor->currentRow() : -1;
    for (const auto &[top, bottom] : std::as_const(spans)) {
        for (int r = qMax(top, next); r <= bottom; ++r)
            rows.push_back(r == pendingRow ? -1 : int(editor->storedRow(r)));
        next = qMax(next, bottom + 1);
    }
    std::unique_ptr<RowStore> pending;
    if (pendingRow >= 0) {
        pending = std::make_unique<RowStore>(editor->fieldCount());
        QList<QVariant> values;
        for (int f = 0; f < editor->fieldCount(); ++f)
            values.append(editor->value(pendingRow, f));
        pending->appendRow(values);
    }

    CopyRequest request;
    request.format = format;
    request.fields = rs->fields();
    request.columns = columns;
    // The titles go along when whole columns are copied.
    request.header = std::all_of(columns.begin(), columns.end(),
                                 [this](int c) { return selectionModel()->isColumnSelected(c); });
    if (format == CopyFormat::Insert) {
        const Connection &connection = *m_model->query()->connection();
        request.dialect = connection.dialect();
        const SqlDialectRules &rules = SqlDialectRules::of(request.dialect);
        const EditTarget &target = editor->target();
        QString table = target.table;
        QString schema = target.schema;
        if (table.isEmpty()) {
            table = rs->fields().value(columns.value(0)).baseTable;
            schema = rs->fields().value(columns.value(0)).baseSchema;
        }
        if (table.isEmpty())
            table = QStringLiteral("result");
        request.insertTarget = schema.isEmpty()
                                   ? rules.quoteIdentifier(table)
                                   : rules.quoteIdentifier(schema) + u'.' + rules.quoteIdentifier(table);
        for (const int c : std::as_const(columns)) {
            const QString base = target.columns.value(c);
            request.insertColumns.append(
                rules.quoteIdentifier(base.isEmpty() ? rs->fields().value(c).name : base));
        }
    }
    QString text;
    if (!runWork([&](const std::atomic<bool> &cancel) {
            text = copyText(request, rs->rows(), rows, pending.get(), &cancel);
        }))
        return;
    QGuiApplication::clipboard()->setText(std::move(text));
}

void ResultGrid::setCurrentCellNull()
{
    const QModelIndex index = currentIndex();
    if (!m_model || !index.isValid())
        return;
    discardEditor();
    m_model->setData(index, QVariant(), Qt::EditRole);
}

BlobViewer *ResultGrid::valueViewer()
{
    if (!m_viewer) {
        m_viewer = new BlobViewer(this);
        connect(m_viewer, &BlobViewer::notice, this, &ResultGrid::notice);
        connect(m_viewer, &BlobViewer::loaded, this, [this](const QByteArray &loaded) {
            if (m_model && currentIndex().isValid())
                m_model->setData(currentIndex(), loaded, Qt::EditRole);
        });
    }
    return m_viewer;
}

void ResultGrid::openValue()
{
    bool binary = false;
    const QByteArray bytes = currentBytes(&binary);
    if (!binary) {
        emit notice(uiTexts().grid.noBinaryValue);
        prompt().beep();
        return;
    }
    const QString column = m_model->headerData(currentIndex().column(), Qt::Horizontal).toString();
    valueViewer()->showValue(column, bytes, currentCellEditable());
    prompt().showModal(m_viewer);
}

void ResultGrid::saveValue()
{
    bool binary = false;
    const QByteArray bytes = currentBytes(&binary);
    if (!binary)
        return;
    valueViewer()->showValue(m_model->headerData(currentIndex().column(), Qt::Horizontal).toString(), bytes,
                             currentCellEditable());
    m_viewer->saveToFile();
}

void ResultGrid::loadValue()
{
    if (!currentCellEditable())
        return;
    bool binary = false;
    const QByteArray bytes = currentBytes(&binary);
    valueViewer()->showValue(m_model->headerData(currentIndex().column(), Qt::Horizontal).toString(), bytes,
                             true);
    m_viewer->loadFromFile();
}
