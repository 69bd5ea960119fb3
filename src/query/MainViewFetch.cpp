// TMainView operations of results shown while their rows arrive: the running count with its
// Cancel in the status bar, the runner's texts once the rows are in, and the gate that ends a
// fetch before a command that needs the connection.
#include "shell/UMainView.h"

#include "query/Query.h"
#include "query/RunStatus.h"
#include "shell/Guard.h"
#include "shell/Language.h"
#include "shell/texts/UiTexts.h"

#include <QToolButton>

void TMainView::initFetchPart()
{
    // The SQL runner's results show their first rows at once; the rest stream in.
    ADOQuery1->setStreaming(true);
    connect(ADOQuery1.get(), &Query::rowsArrived, this, [this] { showFetchStatus(); });
    connect(ADOQuery1.get(), &Query::fetchEnded, this,
            [this] { guarded([this] { ADOQuery1FetchEnded(); }); });
    connect(btCancelFetch, &QToolButton::clicked, this,
            [this] { guarded([this] { ADOQuery1->cancelFetch(); }); });
}

void TMainView::endFetch(FetchRule rule)
{
    ADOQuery1->finishFetch(rule == FetchRule::Cancel);
}

void TMainView::showFetchStatus()
{
    if (!ADOQuery1->isFetching()) {
        btCancelFetch->hide();
        return;
    }
    setStatusText(uiTexts().fetchingRecords.arg(ADOQuery1->rowCount()));
    btCancelFetch->show();
}

void TMainView::ADOQuery1FetchEnded()
{
    btCancelFetch->hide();
    const Recordset *rows = ADOQuery1->recordset();
    if (!rows)
        return;
    const QString error = ADOQuery1->fetchError();
    const RowsEnd end =
        !rows->incomplete() ? RowsEnd::Complete : (error.isEmpty() ? RowsEnd::Cancelled : RowsEnd::Failed);
    setStatusText(selectedRecordsText(rows->rowCount(), end));
    // The rows so far stay on show; the failure is reported as a failed run is.
    if (!error.isEmpty())
        reportError(error);
}
