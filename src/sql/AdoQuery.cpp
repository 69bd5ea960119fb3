#include "sql/AdoQuery.h"

AdoQuery::AdoQuery(Connection *connection, QObject *parent) : QObject(parent), m_connection(connection)
{
}

AdoQuery::~AdoQuery() = default;

bool AdoQuery::run()
{
    close();
    ExecResult result;
    m_connection->run([&] {
        result = m_connection->execute(m_sql);
        if (result.recordset && m_rowsStep)
            m_rowsStep(*result.recordset);
    });
    m_recordsAffected = result.recordsAffected;
    if (!result.recordset)
        return false;
    m_recordset = std::move(result.recordset);
    m_tags = QList<int>(m_recordset->fields().size(), 0);
    emit opened();
    return true;
}

void AdoQuery::open()
{
    if (!run())
        throw DataAccessError(QStringLiteral("The statement returned no rows."));
}

void AdoQuery::close()
{
    if (!m_recordset)
        return;
    m_recordset.reset();
    m_tags.clear();
    emit closed();
}

int AdoQuery::tag(int field) const
{
    return field >= 0 && field < m_tags.size() ? m_tags[field] : 0;
}

void AdoQuery::setTag(int field, int tag)
{
    if (field >= 0 && field < m_tags.size())
        m_tags[field] = tag;
}

QString AdoQuery::firstRowText(const QString &fieldName) const
{
    if (!m_recordset || m_recordset->rowCount() == 0)
        return QString();
    const int index = m_recordset->fieldIndex(fieldName);
    if (index < 0)
        return QString();
    return m_recordset->value(0, index).toString();
}
