// TMainView operations of the result grid and the memo editor.
#include "shell/UMainView.h"

#include "query/CellValues.h"
#include "query/FieldTypes.h"
#include "query/MemoEditor.h"
#include "query/Query.h"
#include "query/RecordNavigator.h"
#include "query/ResultGrid.h"
#include "query/ResultModel.h"
#include "query/RowEditor.h"
#include "shell/Guard.h"
#include "shell/Language.h"
#include "shell/Prompt.h"

namespace {

bool isMemoField(const FieldInfo &field)
{
    const QString type = fieldTypeName(field);
    return type == QLatin1String("Memo") || type == QLatin1String("WideMemo");
}

} // namespace

void TMainView::initGridPart()
{
    RowEditor *editor = DataSource1->editor();
    editor->setErrorHandler([this](const QString &text) { reportError(text); });
    // Numbers are typed the way the interface language writes them.
    editor->setLocaleProvider([] { return CellValues::localeForLanguage(uiLanguage()); });
    DBNavigator1->setEditor(editor);
    DBNavigator1->setGrid(DBGrid1);
    connect(DBGrid1, &QAbstractItemView::doubleClicked, this,
            [this] { guarded([this] { DBGrid1DblClick(); }); });
}

bool TMainView::postPendingEdit()
{
    // A refused value or a failed post has been reported (beep, Messages page, log) and stays
    // on screen; the command that asked does not run.
    return DBGrid1->commitEditor() && DataSource1->editor()->post();
}

void TMainView::DBGrid1DblClick()
{
    const int field = DBGrid1->selectedField();
    const Recordset *recordset = ADOQuery1->recordset();
    if (field < 0 || !recordset || !m_memoEditor)
        return;
    // Text that the one-line cell editor would cut or flatten is edited here as well.
    const QModelIndex cell = DBGrid1->currentIndex();
    const bool wholeTextOnly = cell.isValid() && cell.data(Qt::EditRole).typeId() == QMetaType::QString &&
                               !DataSource1->fitsCellEditor(cell.row(), cell.column());
    if (!isMemoField(recordset->fields().at(field)) && !wholeTextOnly)
        return;
    m_memoEditor->resize(qMax(width() * 40 / 100, m_memoEditor->minimumWidth()),
                         qMax(height() * 40 / 100, m_memoEditor->minimumHeight()));
    m_memoEditor->setWindowTitle(MemoEditor::captionFor(recordset->fields().at(field).name));
    m_memoEditor->bind(DataSource1, field);
    m_memoEditor->centreOver(this);
    prompt().showModal(m_memoEditor);
}
