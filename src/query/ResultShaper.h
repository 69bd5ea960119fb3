#pragma once

#include "db/DataAccess.h"
#include "query/RowFilter.h"
#include "query/RowSorter.h"

#include <QList>
#include <QLocale>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class Query;
class RowEditor;

// The sort and the filters of the result on show, and who applies them.
//
// A result whose rows are all in memory (complete, none spilled to disk, not more than
// largeRows()) is sorted and filtered here, off the window's thread through the work runner
// (progress and Cancel): the record editor then shows its rows in that order (RowEditor::setView),
// none copied. A result still arriving, spilled, cut short or larger is sorted and filtered by its
// database: the statement runs again wrapped (shaping::wrap), its rows stream in in order. Only a
// statement that plainly reads can be wrapped; for another one rows still arriving are waited for
// and then sorted here, and a result beyond memory is refused with the reason (refusal()).
//
// A result run again (Refresh) keeps its sort and filters: the database's are part of the
// statement run; the grid's are applied again once its last row is in, the rows hidden until then.
// A new statement (Query::setSql) starts without any. Nothing is ever stored.
class ResultShaper : public QObject
{
    Q_OBJECT

public:
    enum class Site { None, Grid, Database };

    ResultShaper(Query *query, RowEditor *editor, QObject *parent = nullptr);

    // Runs the work of the grid's own sort and filter: off the window's thread with a Cancel
    // in the program (the same runner as the connection's); directly by default.
    void setWorkRunner(WorkRunner runner);
    // The collation of text sorted here; the system's by default.
    void setCollation(const QLocale &collation) { m_collation = collation; }
    QLocale collation() const { return m_collation; }
    // Results of more rows than this are sorted and filtered by the database when it can.
    void setLargeRows(qint64 rows) { m_largeRows = rows; }
    qint64 largeRows() const { return m_largeRows; }
    static constexpr qint64 defaultLargeRows = 1000000;

    const QList<SortColumn> &sort() const { return m_sort; }
    const QList<ColumnFilter> &filters() const { return m_filters; }
    // The filter text of a column as the user typed it; empty when none.
    QString filterText(int column) const;
    Site site() const { return m_site; }
    bool isShaped() const { return !m_sort.isEmpty() || !m_filters.isEmpty(); }

    // A click on a column's header: alone (add false) the column becomes the sort, ascending,
    // then descending, then no sort; with add (Shift) it joins the sort as its last column, or
    // moves on from ascending to descending to out of it. False when nothing changed: refusal()
    // then says why, unless Cancel was pressed or a pending change could not be posted.
    bool sortBy(int column, bool add);
    bool setSort(const QList<SortColumn> &sort);
    // The filter text of each column (empty for none), all applied together.
    bool setFilterTexts(const QStringList &texts);
    // The rows in the result's own order, unfiltered.
    bool clear();
    bool clearSort() { return setSort({}); }
    bool clearFilters() { return setFilterTexts({}); }

    // Why the last change was refused, and the column it was asked for; empty when it was not.
    QString refusal() const { return m_refusal; }
    int refusalColumn() const { return m_refusalColumn; }

    // Rows before the filters: every row of the result shown unfiltered, when that is known;
    // -1 when the filtered rows came from the database without a complete count beforehand.
    qint64 totalRows() const;
    // " n of m rows match" while a filter applies; empty otherwise.
    QString matchText() const;

signals:
    // The sort, the filters, who applied them or the refusal changed.
    void shapeChanged();

private:
    enum class Plan { Grid, Database, Wait, Refuse };

    bool change(QList<SortColumn> sort, QList<ColumnFilter> filters, QStringList texts, int column,
                bool filter);
    Plan plan(bool databaseRows, QString &reason) const;
    bool applyHere(const QList<SortColumn> &sort, const QList<ColumnFilter> &filters);
    bool applyByDatabase(const QList<SortColumn> &sort, const QList<ColumnFilter> &filters, QString &reason);
    void resultReplaced();
    void fetchEnded();
    void applyAgainWhenIdle();
    void applyAgain();
    void refuse(const QString &reason, int column, bool filter);
    bool databaseFiltered() const;
    void noteTotal();
    bool runWork(const std::function<void(const std::atomic<bool> &)> &work);

    QPointer<Query> m_query;
    RowEditor *m_editor;
    WorkRunner m_runner;
    QLocale m_collation;
    qint64 m_largeRows = defaultLargeRows;

    QList<SortColumn> m_sort;
    QList<ColumnFilter> m_filters;
    QStringList m_filterTexts;
    Site m_site = Site::None;
    // The statement whose result is shaped (Query::textSerial).
    quint64 m_serial = 0;
    // The grid's shape waits for the last row of a result run again.
    bool m_pending = false;
    bool m_applying = false;
    // Rows of the result unfiltered, when a complete one was seen; -1 otherwise.
    qint64 m_unfilteredRows = -1;
    QString m_refusal;
    int m_refusalColumn = -1;
};
