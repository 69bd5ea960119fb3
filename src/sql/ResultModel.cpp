#include "sql/ResultModel.h"

#include "connection/dataaccess/RowStore.h"
#include "sql/AdoQuery.h"
#include "sql/RowEditor.h"

#include <QDate>
#include <QDateTime>
#include <QFont>
#include <QTime>

namespace {

bool isNumeric(AdoType t)
{
    switch (t) {
    case AdoType::SmallInt:
    case AdoType::Integer:
    case AdoType::Single:
    case AdoType::Double:
    case AdoType::Currency:
    case AdoType::Decimal:
    case AdoType::TinyInt:
    case AdoType::UnsignedTinyInt:
    case AdoType::UnsignedSmallInt:
    case AdoType::UnsignedInt:
    case AdoType::BigInt:
    case AdoType::UnsignedBigInt:
    case AdoType::Numeric:
    case AdoType::VarNumeric:
        return true;
    default:
        return false;
    }
}

bool isBinary(AdoType t)
{
    return t == AdoType::Binary || t == AdoType::VarBinary || t == AdoType::LongVarBinary;
}

bool isMemo(AdoType t)
{
    return t == AdoType::LongVarChar || t == AdoType::LongVarWChar;
}

// One line of at most displayLength characters.
QString singleLine(QString text)
{
    if (text.size() > ResultModel::displayLength)
        text.truncate(ResultModel::displayLength);
    for (QChar &c : text) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t'))
            c = QLatin1Char(' ');
    }
    return text;
}

QString formatValue(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(v.toDouble(), 'g', 15);
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        return dt.toString(dt.time().msec() ? QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")
                                            : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    case QMetaType::QDate:
        return v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case QMetaType::QTime:
        return v.toTime().toString(QStringLiteral("HH:mm:ss"));
    case QMetaType::QByteArray:
        return ResultModel::blobText(v.toByteArray().size());
    default:
        return singleLine(v.toString());
    }
}

} // namespace

ResultModel::ResultModel(AdoQuery *query, QObject *parent)
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
    return int(m_editor->rowCount());
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
            return QColor(Qt::gray);
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
            return lightRowColor();
        return QVariant();
    case Qt::TextAlignmentRole:
        if (isNumeric(m_editor->recordset()->fields().at(column).type))
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
    const AdoType type = m_editor->recordset()->fields().at(index.column()).type;
    if (isBinary(type) || !m_editor->isEditable())
        return f;
    // The cell editor holds one line: text of several lines, or too long to show whole, is
    // edited in the memo editor so that it cannot be flattened or cut by accident.
    if (isMemo(type)) {
        const QString text = m_editor->value(index.row(), index.column()).toString();
        if (text.size() > displayLength || text.contains(QLatin1Char('\n')) ||
            text.contains(QLatin1Char('\r')))
            return f;
    }
    return f | Qt::ItemIsEditable;
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
