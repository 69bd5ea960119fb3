#include "query/Query.h"

#include "common/ErrorText.h"

#include <limits>

namespace {

QString textOf(const std::exception_ptr &error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &e) {
        return errorText(e);
    } catch (...) {
        return QStringLiteral("Unexpected error");
    }
}

} // namespace

Query::Query(Connection *connection, QObject *parent) : QObject(parent), m_connection(connection)
{
    m_announcer.setInterval(announceMs);
    connect(&m_announcer, &QTimer::timeout, this, &Query::announceRows);
}

Query::~Query()
{
    // The fetch writes into the rows owned here: it ends before they go.
    if (m_fetching)
        m_connection->dropStream();
}

bool Query::run()
{
    return runWith(m_streaming);
}

void Query::open()
{
    if (!runWith(false))
        throw DataAccessError(QStringLiteral("The statement returned no rows."));
}

bool Query::runShaped(const QString &statement, const QList<QVariant> &params)
{
    m_shapedSql = statement;
    m_shapedParams = params;
    return runWith(m_streaming);
}

bool Query::runUnshaped()
{
    m_shapedSql = QString();
    m_shapedParams.clear();
    return runWith(m_streaming);
}

bool Query::runWith(bool streaming)
{
    close();
    m_fetchError.clear();
    const QString sql = runningSql();
    const QList<QVariant> params = m_shapedSql.isNull() ? QList<QVariant>() : m_shapedParams;
    ExecResult result;
    if (streaming) {
        StreamOptions options;
        options.params = params;
        options.firstRowsMs = m_firstRowsMs;
        options.endStep = m_rowsStep;
        options.ended = [this] {
            QMetaObject::invokeMethod(
                this,
                [this] {
                    // By now the fetch may have been finished by another call, and another one
                    // begun: only one that has ended is finished here.
                    if (m_connection->streamDone())
                        m_connection->finishStream(false);
                },
                Qt::QueuedConnection);
        };
        options.finished = [this](StreamEnd end) { fetchFinished(std::move(end)); };
        result = m_connection->stream(sql, std::move(options));
    } else {
        m_connection->run([&] {
            result = params.isEmpty() ? m_connection->execute(sql) : m_connection->executeParams(sql, params);
            if (result.recordset && m_rowsStep && !result.recordset->incomplete())
                m_rowsStep(result.recordset->fields());
        });
    }
    m_recordsAffected = result.recordsAffected;
    if (!result.recordset)
        return false;
    // The connection streams only for a result it handed out unfinished: this one.
    m_fetching = streaming && m_connection->streaming();
    setRecordset(std::move(result.recordset));
    if (m_fetching)
        m_announcer.start();
    emit opened();
    return true;
}

void Query::adopt(std::unique_ptr<Recordset> recordset, const QString &sql)
{
    close();
    m_fetchError.clear();
    m_sql = sql;
    m_recordsAffected = -1;
    if (!recordset)
        return;
    setRecordset(std::move(recordset));
    emit opened();
}

void Query::setRecordset(std::unique_ptr<Recordset> recordset)
{
    m_recordset = std::move(recordset);
    m_tags = QList<int>(m_recordset->fields().size(), 0);
    m_announced = m_recordset->rowCount();
}

void Query::close()
{
    finishFetch(true);
    if (m_fetching)
        throw DataAccessError(QStringLiteral("The rows of the result are still arriving."));
    if (!m_recordset)
        return;
    m_recordset.reset();
    m_tags.clear();
    emit closed();
}

qint64 Query::rowCount() const
{
    if (!m_recordset)
        return 0;
    return m_fetching ? m_announced : m_recordset->rowCount();
}

void Query::announceRows()
{
    if (!m_recordset)
        return;
    // The grid counts rows in int.
    const qint64 arrived = qMin<qint64>(m_recordset->rowCount(), std::numeric_limits<int>::max());
    if (arrived <= m_announced)
        return;
    const qint64 first = m_announced;
    emit rowsAboutToArrive(first, arrived - 1);
    m_announced = arrived;
    emit rowsArrived(first, arrived - 1);
}

void Query::cancelFetch()
{
    if (m_fetching)
        m_connection->cancelStream();
}

void Query::finishFetch(bool cancel)
{
    if (m_fetching)
        m_connection->finishStream(cancel);
}

void Query::fetchFinished(StreamEnd end)
{
    m_announcer.stop();
    announceRows();
    m_fetching = false;
    m_recordsAffected = end.recordsAffected;
    if (end.error)
        m_fetchError = textOf(end.error);
    if (end.later) {
        // A later statement of the text gave the text's result.
        setRecordset(std::move(end.later));
        emit opened();
    } else {
        if (end.fields)
            m_recordset->fields() = std::move(*end.fields);
        if (end.incomplete)
            m_recordset->setIncomplete(true);
    }
    emit fetchEnded();
}

int Query::tag(int field) const
{
    return field >= 0 && field < m_tags.size() ? m_tags[field] : 0;
}

void Query::setTag(int field, int tag)
{
    if (field >= 0 && field < m_tags.size())
        m_tags[field] = tag;
}

QString Query::firstRowText(const QString &fieldName) const
{
    if (!m_recordset || m_recordset->rowCount() == 0)
        return QString();
    const int index = m_recordset->fieldIndex(fieldName);
    if (index < 0)
        return QString();
    return m_recordset->value(0, index).toString();
}
