#include "query/DeleteRecord.h"

#include "query/RowEditor.h"
#include "shell/Language.h"
#include "shell/MessageDialog.h"
#include "shell/texts/UiTexts.h"

bool deleteCurrentRecord(RowEditor &editor, QWidget *parent)
{
    if (!editor.canRemove())
        return false;
    if (showMessageDialog(uiTexts().deleteRecordQuestion, mtConfirmation, mbYes | mbNo, 0, parent) != mrYes)
        return false;
    return editor.remove();
}
