// TMainView operations of the result grid and the memo editor.
#include "shell/UMainView.h"

#include "shell/Guard.h"
#include "shell/Prompt.h"
#include "sql/AdoQuery.h"
#include "sql/DbNavigator.h"
#include "sql/FieldTypes.h"
#include "sql/ResultGrid.h"
#include "sql/ResultModel.h"
#include "sql/RowEditor.h"
#include "sql/UMemoEditor.h"

namespace {

bool isMemoField(const FieldInfo &field)
{
    const QString type = fieldTypeName(field);
    return type == QLatin1String("Memo") || type == QLatin1String("WideMemo");
}

} // namespace

void TMainView::initGridPart()
{
    DataSource1->editor()->setErrorHandler([this](const QString &text) { reportError(text); });
    DBNavigator1->setEditor(DataSource1->editor());
    connect(DBGrid1, &QAbstractItemView::doubleClicked, this,
            [this] { guarded([this] { DBGrid1DblClick(); }); });
}

void TMainView::DBGrid1DblClick()
{
    const int field = DBGrid1->selectedField();
    const Recordset *recordset = ADOQuery1->recordset();
    if (field < 0 || !recordset || !isMemoField(recordset->fields().at(field)) || !MemoEditor)
        return;
    MemoEditor->resize(qMax(width() * 40 / 100, MemoEditor->minimumWidth()),
                       qMax(height() * 40 / 100, MemoEditor->minimumHeight()));
    MemoEditor->setWindowTitle(TMemoEditor::captionFor(recordset->fields().at(field).name));
    MemoEditor->bind(DataSource1, field);
    MemoEditor->centreOver(this);
    prompt().showModal(MemoEditor);
}
