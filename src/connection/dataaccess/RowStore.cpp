#include "connection/dataaccess/RowStore.h"

RowStore::RowStore(int columnCount) : m_columnCount(columnCount) {}
qint64 RowStore::rowCount() const { return qint64(m_rowOffsets.size()); }
void RowStore::beginRow() {}
void RowStore::addNull() {}
void RowStore::addInt(qint64) {}
void RowStore::addDouble(double) {}
void RowStore::addBool(bool) {}
void RowStore::addText(const char *, qsizetype) {}
void RowStore::addBlob(const char *, qsizetype) {}
void RowStore::endRow() {}
RowStore::CellKind RowStore::kind(qint64, int) const { return CellKind::Null; }
QVariant RowStore::value(qint64, int) const { return QVariant(); }
qsizetype RowStore::payloadSize(qint64, int) const { return 0; }
void RowStore::appendRow(const QList<QVariant> &) {}
void RowStore::setRow(qint64, const QList<QVariant> &) {}
void RowStore::removeRow(qint64) {}
qsizetype RowStore::memoryUsage() const { return 0; }
const std::uint8_t *RowStore::cell(qint64, int) const { return nullptr; }
void RowStore::addVariant(const QVariant &) {}
