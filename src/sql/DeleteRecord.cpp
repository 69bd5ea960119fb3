#include "sql/DeleteRecord.h"

#include "shell/UTools.h"
#include "shell/texts/UiTexts.h"
#include "sql/RowEditor.h"

bool deleteCurrentRecord(RowEditor &editor, QWidget *parent)
{
    if (!editor.canRemove())
        return false;
    if (ShowMessageDialog(textsFor(CurrentLanguage).deleteRecordQuestion, mtConfirmation, mbYes | mbNo, 0,
                          parent) != mrYes)
        return false;
    return editor.remove();
}
