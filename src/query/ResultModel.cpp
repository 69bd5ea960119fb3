#include "query/ResultModel.h"

#include "db/fetch/RowStore.h"
#include "query/CellValues.h"
#include "query/Query.h"
#include "query/RowEditor.h"
#include "shell/Contrast.h"

#include <QFont>
#include <QGuiApplication>

#include <limits>

namespace {

bool isBinary(AdoType t)
{
    return t == AdoType::Binary || t == AdoType::VarBinary || t == AdoType::LongVarBinary;
}

// One line of at most displayLength characters.
QString singleLine(QString text)
{
    if (text.size() > ResultModel::displayLength)
        text.truncate(ResultModel::displayLength);
    for (QChar &c : text) {
        if (CellValues::breaksLine(c))
            c = QLatin1Char(' ');
    }
    return text;
}

QString formatValue(const QVariant &v)
{
    if (v.typeId() == QMetaType::QByteArray)
        return ResultModel::blobText(v.toByteArray().size());
    return singleLine(CellValues::text(v));
}

// Palette-dependent colours, worked out again only when the application's palette changes.
struct Shades
{
    qint64 paletteKey = -1;
    QColor row;
    QColor nullText;
};

const Shades &shadesOf(const QPalette &palette)
{
    static Shades cache;
    if (cache.paletteKey != palette.cacheKey()) {
        cache.row = ResultModel::rowShade(palette);
        cache.nullText = ResultModel::nullTextColor(palette);
        cache.paletteKey = palette.cacheKey();
    }
    return cache;
}

} // namespace

QColor ResultModel::rowShade(const QPalette &palette)
{
    if (!contrast::isDark(palette))
        return lightRowColor();
    return contrast::blend(palette.color(QPalette::Base), palette.color(QPalette::Text), 0.1);
}

QColor ResultModel::nullTextColor(const QPalette &palette)
{
    // Half way between text and base reads as dimmed; it moves toward the text until it is
    // readable on both the plain and the shaded rows.
    const QColor text = palette.color(QPalette::Text);
    const QColor base = palette.color(QPalette::Base);
    return contrast::readableOn(contrast::blend(text, base, 0.5), text, {base, rowShade(palette)});
}

ResultModel::ResultModel(Query *query, QObject *parent)
    : QAbstractTableModel(parent), m_query(query), m_editor(new RowEditor(query, this))
{
    connect(m_editor, &RowEditor::aboutToReset, this, [this] { beginResetModel(); });
    connect(m_editor, &RowEditor::reset, this, [this] {
        m_markerRow = -1;
        endResetModel();
    });
    connect(m_editor, &RowEditor::rowAboutToBeInserted, this,
            [this](qint64 row) { beginInsertRows(QModelIndex(), int(row), int(row)); });
    connect(m_editor, &RowEditor::rowInserted, this, [this] { endInsertRows(); });
    connect(m_editor, &RowEditor::rowAboutToBeRemoved, this, [this](qint64 row) {
        if (m_markerRow == row)
            m_markerRow = -1;
        beginRemoveRows(QModelIndex(), int(row), int(row));
    });
    connect(m_editor, &RowEditor::rowRemoved, this, [this] { endRemoveRows(); });
    // Rows still arriving join in batches, a few times a second.
    connect(m_editor, &RowEditor::rowsAboutToArrive, this,
            [this](qint64 first, qint64 last) { beginInsertRows(QModelIndex(), int(first), int(last)); });
    connect(m_editor, &RowEditor::rowsArrived, this, [this] { endInsertRows(); });
    connect(m_editor, &RowEditor::rowChanged, this, [this](qint64 row) {
        if (row >= 0 && row < rowCount() && columnCount() > 0)
            emit dataChanged(index(int(row), 0), index(int(row), columnCount() - 1));
    });
    connect(m_editor, &RowEditor::currentRowChanged, this, &ResultModel::markerMoved);
    connect(m_editor, &RowEditor::stateChanged, this, &ResultModel::markerMoved);
}

void ResultModel::markerMoved()
{
    const int rows = rowCount();
    const int old = m_markerRow;
    m_markerRow = int(m_editor->currentRow());
    if (old >= 0 && old < rows)
        emit headerDataChanged(Qt::Vertical, old, old);
    if (m_markerRow >= 0 && m_markerRow < rows && m_markerRow != old)
        emit headerDataChanged(Qt::Vertical, m_markerRow, m_markerRow);
}

QString ResultModel::blobText(qsizetype bytes)
{
    return QStringLiteral("(BLOB, %1 bytes)").arg(bytes);
}

int ResultModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return int(qMin<qint64>(m_editor->rowCount(), std::numeric_limits<int>::max()));
}

int ResultModel::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return m_editor->fieldCount();
}

bool ResultModel::isNull(qint64 row, int column) const
{
    if (m_editor->state() != RowEditor::State::Browse && row == m_editor->currentRow())
        return m_editor->value(row, column).isNull();
    return m_editor->recordset()->rows().kind(row, column) == RowStore::CellKind::Null;
}

QString ResultModel::displayText(qint64 row, int column) const
{
    if (m_editor->state() != RowEditor::State::Browse && row == m_editor->currentRow()) {
        const QVariant v = m_editor->value(row, column);
        return v.isNull() ? nullText() : formatValue(v);
    }
    const RowStore &rows = m_editor->recordset()->rows();
    switch (rows.kind(row, column)) {
    case RowStore::CellKind::Null:
        return nullText();
    case RowStore::CellKind::Blob:
        // The size is known without decoding the bytes.
        return blobText(rows.payloadSize(row, column));
    default:
        return formatValue(rows.value(row, column));
    }
}

QVariant ResultModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_editor->recordset() || index.row() >= rowCount() ||
        index.column() >= columnCount())
        return QVariant();
    const int row = index.row();
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return displayText(row, column);
    case Qt::EditRole:
        return m_editor->value(row, column);
    case Qt::ForegroundRole:
        if (isNull(row, column))
            return shadesOf(QGuiApplication::palette()).nullText;
        return QVariant();
    case Qt::FontRole:
        if (isNull(row, column)) {
            QFont font;
            font.setItalic(true);
            return font;
        }
        return QVariant();
    case Qt::BackgroundRole:
        // Records are numbered from 1; the even ones are shaded.
        if ((row + 1) % 2 == 0)
            return shadesOf(QGuiApplication::palette()).row;
        return QVariant();
    case Qt::TextAlignmentRole:
        if (isNumberType(m_editor->recordset()->fields().at(column).type))
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return QVariant();
    }
}

QVariant ResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || !m_editor->recordset())
        return QVariant();
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= columnCount())
            return QVariant();
        return m_editor->recordset()->fields().at(section).name;
    }
    if (section < 0 || section >= rowCount() || section != m_editor->currentRow())
        return QString();
    switch (m_editor->state()) {
    case RowEditor::State::Insert:
        return insertMarker();
    case RowEditor::State::Edit:
        return editMarker();
    default:
        return currentMarker();
    }
}

Qt::ItemFlags ResultModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (!index.isValid() || !m_editor->recordset() || index.row() >= rowCount())
        return f;
    // Only the stored answer of the analysis and the row's own values are read: no query here.
    if (isBinary(m_editor->fieldType(index.column())) || !m_editor->canEditRow(index.row()))
        return f;
    return fitsCellEditor(index.row(), index.column()) ? f | Qt::ItemIsEditable : f;
}

bool ResultModel::fitsCellEditor(qint64 row, int column) const
{
    const RowStore &rows = m_editor->recordset()->rows();
    const bool stored = m_editor->state() == RowEditor::State::Browse || row != m_editor->currentRow();
    // A UTF-16 character takes at most three bytes of UTF-8: longer text needs no decoding.
    if (stored && rows.kind(row, column) == RowStore::CellKind::Text &&
        rows.payloadSize(row, column) > 3 * displayLength)
        return false;
    const QVariant v = m_editor->value(row, column);
    return v.typeId() != QMetaType::QString || CellValues::fitsOneLine(v.toString(), displayLength);
}

bool ResultModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.row() >= rowCount() ||
        index.column() >= columnCount())
        return false;
    if (!m_editor->setCurrentRow(index.row()))
        return false;
    return m_editor->setValue(index.column(), value);
}
