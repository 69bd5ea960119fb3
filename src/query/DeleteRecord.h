#pragma once

class QWidget;
class RowEditor;

// The delete of the navigator and of Ctrl+Delete in the grid: a record that cannot be deleted
// says why without a question; otherwise "Delete record?" is asked in the interface language
// (a Confirmation with Yes and No) and only Yes deletes. True when the record was deleted.
bool deleteCurrentRecord(RowEditor &editor, QWidget *parent);
