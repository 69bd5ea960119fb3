#pragma once

#include <QDialog>

class QPlainTextEdit;

// TMemoEditor: edits one memo field of the current record in a window of its own.
class TMemoEditor : public QDialog
{
    Q_OBJECT

public:
    explicit TMemoEditor(QWidget *parent = nullptr);

    void FormCreate();
    QPlainTextEdit *DBMemo1 = nullptr;
};

extern TMemoEditor *MemoEditor;
