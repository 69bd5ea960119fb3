#include "query/ResultShaper.h"

#include "query/LocalWork.h"
#include "query/Query.h"
#include "query/RowEditor.h"
#include "query/ShapedStatement.h"
#include "query/ValueOrder.h"
#include "shell/Language.h"
#include "shell/texts/UiTexts.h"

#include <numeric>

namespace {

const GridTexts &gridTexts()
{
    return uiTexts().grid;
}

QString reasonOf(shaping::Refusal refusal)
{
    switch (refusal) {
    case shaping::Refusal::NotOneStatement:
        return gridTexts().reasonNotOneStatement;
    case shaping::Refusal::NotAQuery:
        return gridTexts().reasonNotAQuery;
    case shaping::Refusal::Writes:
        return gridTexts().reasonWrites;
    default:
        return QString();
    }
}

void runDirectly(const std::function<void()> &work, const std::function<void()> &)
{
    work();
}

} // namespace

ResultShaper::ResultShaper(Query *query, RowEditor *editor, QObject *parent)
    : QObject(parent)
    , m_query(query)
    , m_editor(editor)
    , m_runner(runDirectly)
    , m_collation(QLocale::system().collation())
{
    // The record editor takes the new result first (it connected first), then this.
    connect(query, &Query::opened, this, &ResultShaper::resultReplaced);
    connect(query, &Query::fetchEnded, this, &ResultShaper::fetchEnded);
    m_serial = query->textSerial();
}

void ResultShaper::setWorkRunner(WorkRunner runner)
{
    m_runner = runner ? std::move(runner) : WorkRunner(runDirectly);
}

QString ResultShaper::filterText(int column) const
{
    return m_filterTexts.value(column);
}

bool ResultShaper::sortBy(int column, bool add)
{
    QList<SortColumn> sort = m_sort;
    qsizetype at = -1;
    for (qsizetype i = 0; i < sort.size(); ++i) {
        if (sort[i].column == column)
            at = i;
    }
    if (!add) {
        if (sort.size() == 1 && at == 0) {
            if (!sort[0].descending)
                sort[0].descending = true;
            else
                sort.clear();
        } else {
            sort = {SortColumn{column, false}};
        }
    } else if (at < 0) {
        sort.append(SortColumn{column, false});
    } else if (!sort[at].descending) {
        sort[at].descending = true;
    } else {
        sort.removeAt(at);
    }
    return change(sort, m_filters, m_filterTexts, column, false);
}

bool ResultShaper::setSort(const QList<SortColumn> &sort)
{
    return change(sort, m_filters, m_filterTexts, sort.isEmpty() ? -1 : sort.front().column, false);
}

bool ResultShaper::setFilterTexts(const QStringList &typed)
{
    m_refusal.clear();
    m_refusalColumn = -1;
    const Recordset *rs = m_editor->recordset();
    if (!rs)
        return false;
    QList<ColumnFilter> filters;
    QStringList kept;
    for (qsizetype column = 0; column < typed.size() && column < rs->fields().size(); ++column) {
        ColumnFilter::Problem problem = ColumnFilter::Problem::None;
        QString value;
        const FieldInfo &field = rs->fields().at(column);
        const std::optional<ColumnFilter> f =
            ColumnFilter::parse(int(column), field, typed[column], m_editor->locale(), &problem, &value);
        if (problem != ColumnFilter::Problem::None) {
            const QString &reason = problem == ColumnFilter::Problem::NotANumber
                                        ? gridTexts().reasonNotANumber
                                        : gridTexts().reasonNotADate;
            refuse(reason.arg(value, field.name), int(column), true);
            return false;
        }
        if (f)
            filters.append(*f);
    }
    for (const QString &text : typed)
        kept.append(text.trimmed());
    return change(m_sort, filters, kept, filters.isEmpty() ? -1 : filters.front().column(), true);
}

bool ResultShaper::clear()
{
    return change({}, {}, {}, -1, false);
}

void ResultShaper::refuse(const QString &reason, int column, bool filter)
{
    m_refusal = (filter ? gridTexts().cannotFilter : gridTexts().cannotSort).arg(reason);
    m_refusalColumn = column;
    emit shapeChanged();
}

bool ResultShaper::runWork(const std::function<void(const std::atomic<bool> &)> &work)
{
    bool done = false;
    m_editor->attempt([&] { done = runLocalWork(m_runner, work); });
    return done;
}

ResultShaper::Plan ResultShaper::plan(bool databaseRows, QString &reason) const
{
    const Recordset *rs = m_editor->recordset();
    const bool fetching = m_query->isFetching();
    const shaping::PlainRead read = shaping::plainRead(m_query->sql(), m_query->connection()->dialect());
    const bool plain = read.refusal == shaping::Refusal::None;
    const bool inMemory = rs->rows().spilledBytes() == 0;
    const bool complete = !fetching && !rs->incomplete();
    const bool large = rs->rowCount() > m_largeRows;
    if (plain && (databaseRows || !complete || !inMemory || large))
        return Plan::Database;
    if (fetching)
        return Plan::Wait;
    if (!inMemory) {
        reason = gridTexts().reasonSpilled.arg(reasonOf(read.refusal));
        return Plan::Refuse;
    }
    return Plan::Grid;
}

bool ResultShaper::change(QList<SortColumn> sort, QList<ColumnFilter> filters, QStringList texts, int column,
                          bool filter)
{
    m_refusal.clear();
    m_refusalColumn = -1;
    if (!m_query || !m_editor->isOpen() || !m_editor->post())
        return false;
    const bool empty = sort.isEmpty() && filters.isEmpty();
    // The rows in memory are those a database filter let through: another shape needs the database.
    const bool databaseRows = m_site == Site::Database && !m_filters.isEmpty();
    if (empty && m_site != Site::Database) {
        if (!m_editor->clearView())
            return false;
        m_sort.clear();
        m_filters.clear();
        m_filterTexts = texts;
        m_site = Site::None;
        emit shapeChanged();
        return true;
    }

    QString reason;
    Plan p = empty ? Plan::Database : plan(databaseRows, reason);
    if (p == Plan::Wait) {
        // A statement that cannot be run again is sorted here once its last row is in.
        if (!m_editor->attempt([this] { m_query->finishFetch(false); }) || m_query->isFetching() ||
            !m_editor->isOpen())
            return false;
        p = plan(databaseRows, reason);
    }
    switch (p) {
    case Plan::Refuse:
    case Plan::Wait:
        refuse(reason, column, filter);
        return false;
    case Plan::Grid:
        if (!applyHere(sort, filters))
            return false;
        m_site = Site::Grid;
        break;
    case Plan::Database: {
        const QList<SortColumn> oldSort = m_sort;
        const QList<ColumnFilter> oldFilters = m_filters;
        const Site oldSite = m_site;
        if (!empty && m_site == Site::Grid && !m_editor->clearView())
            return false;
        // The shape is in place before the rows come, so that the new result is known as its own.
        m_sort = sort;
        m_filters = filters;
        m_site = empty ? Site::None : Site::Database;
        if (!applyByDatabase(sort, filters, reason)) {
            m_sort = oldSort;
            m_filters = oldFilters;
            m_site = oldSite;
            if (!reason.isEmpty()) {
                refuse(reason, column, filter);
            } else {
                // The statement failed (or was cancelled) and took the rows with it.
                m_sort.clear();
                m_filters.clear();
                m_site = Site::None;
                emit shapeChanged();
            }
            return false;
        }
        break;
    }
    }
    m_sort = sort;
    m_filters = filters;
    m_filterTexts = texts;
    emit shapeChanged();
    return true;
}

bool ResultShaper::applyHere(const QList<SortColumn> &sort, const QList<ColumnFilter> &filters)
{
    const Recordset *rs = m_editor->recordset();
    const RowStore &rows = rs->rows();
    const QList<FieldInfo> fields = rs->fields();
    const SqlDialect dialect = m_query->connection()->dialect();
    const qint64 count = rs->rowCount();
    const QLocale collation = m_collation;
    std::vector<int> view;
    const bool done = runWork([&](const std::atomic<bool> &cancel) {
        std::vector<int> order(static_cast<size_t>(count));
        std::iota(order.begin(), order.end(), 0);
        if (!filters.isEmpty())
            order = RowFilter(filters, dialect, collation).apply(rows, order, &cancel);
        if (!sort.isEmpty())
            order = sortRows(rows, fields, std::move(order), sort,
                             SortRules{collation, valueorder::nullsLargest(dialect)}, &cancel);
        view = std::move(order);
    });
    return done && m_editor->setView(std::move(view));
}

bool ResultShaper::applyByDatabase(const QList<SortColumn> &sort, const QList<ColumnFilter> &filters,
                                   QString &reason)
{
    Connection &connection = *m_query->connection();
    const SqlDialect dialect = connection.dialect();
    const QList<FieldInfo> fields = m_editor->recordset()->fields();
    if (sort.isEmpty() && filters.isEmpty()) {
        m_applying = true;
        const bool ran = m_editor->attempt([this] { m_query->runUnshaped(); });
        m_applying = false;
        return ran;
    }
    const shaping::PlainRead read = shaping::plainRead(m_query->sql(), dialect);
    const shaping::Statement statement =
        shaping::wrap(read.statement, fields, filters, sort, dialect,
                      [&connection](int i) { return connection.placeholder(i); });
    if (statement.refusal == shaping::Refusal::RepeatedName) {
        QString name;
        for (const ColumnFilter &f : filters) {
            for (qsizetype i = 0; i < fields.size(); ++i) {
                if (i != f.column() &&
                    fields[i].name.compare(fields.value(f.column()).name, Qt::CaseInsensitive) == 0)
                    name = fields[i].name;
            }
        }
        reason = gridTexts().reasonRepeatedName.arg(name);
        return false;
    }
    if (m_unfilteredRows < 0 && !databaseFiltered() && !m_query->isFetching() &&
        !m_editor->recordset()->incomplete())
        m_unfilteredRows = m_editor->recordset()->rowCount();
    m_applying = true;
    const bool ran = m_editor->attempt([&] { m_query->runShaped(statement.sql, statement.params); });
    m_applying = false;
    if (!ran && !connection.cancelRequested() && connection.isOpen()) {
        // Show the rows again as the statement gives them.
        m_applying = true;
        m_editor->attempt([this] { m_query->runUnshaped(); });
        m_applying = false;
    }
    return ran;
}

bool ResultShaper::databaseFiltered() const
{
    return m_site == Site::Database && !m_filters.isEmpty();
}

void ResultShaper::noteTotal()
{
    const Recordset *rs = m_query ? m_query->recordset() : nullptr;
    if (rs && !m_query->isFetching() && !rs->incomplete() && !databaseFiltered())
        m_unfilteredRows = rs->rowCount();
}

void ResultShaper::resultReplaced()
{
    if (m_applying) {
        // The statement this runs: the shape is set already.
        noteTotal();
        emit shapeChanged();
        return;
    }
    const quint64 serial = m_query->textSerial();
    if (serial != m_serial || !isShaped() || m_site == Site::None) {
        m_serial = serial;
        m_sort.clear();
        m_filters.clear();
        m_filterTexts.clear();
        m_site = Site::None;
        m_pending = false;
        m_unfilteredRows = -1;
        m_refusal.clear();
        m_refusalColumn = -1;
        noteTotal();
        emit shapeChanged();
        return;
    }
    if (m_site == Site::Grid) {
        // Run again: the rows stay hidden until the grid has sorted them again.
        m_pending = true;
        m_editor->setView({});
        if (!m_query->isFetching())
            applyAgainWhenIdle();
    }
    noteTotal();
    emit shapeChanged();
}

void ResultShaper::fetchEnded()
{
    noteTotal();
    if (m_pending)
        applyAgainWhenIdle();
    emit shapeChanged();
}

void ResultShaper::applyAgainWhenIdle()
{
    // The sort waits in the work runner: never inside the wait of the command that ended the fetch
    // or ran the statement again, but once the connection is idle.
    if (!m_query)
        return;
    m_query->connection()->whenIdle([self = QPointer<ResultShaper>(this)] {
        if (self)
            self->applyAgain();
    });
}

void ResultShaper::applyAgain()
{
    if (!m_pending || !m_query || !m_editor->isOpen() || m_query->isFetching())
        return;
    m_pending = false;
    if (!applyHere(m_sort, m_filters)) {
        // Cancelled: the rows as they came.
        m_sort.clear();
        m_filters.clear();
        m_filterTexts.clear();
        m_site = Site::None;
        m_editor->clearView();
    }
    emit shapeChanged();
}

qint64 ResultShaper::totalRows() const
{
    const Recordset *rs = m_query ? m_query->recordset() : nullptr;
    if (!rs)
        return -1;
    if (databaseFiltered())
        return m_unfilteredRows;
    return m_query->rowCount();
}

QString ResultShaper::matchText() const
{
    if (m_filters.isEmpty() || !m_editor->isOpen())
        return QString();
    const qint64 shown = m_editor->rowCount();
    const qint64 total = totalRows();
    return total < 0 ? gridTexts().rowsMatchUnknown.arg(shown) : gridTexts().rowsMatch.arg(shown).arg(total);
}
