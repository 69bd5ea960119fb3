#include "sql/UMemoEditor.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

TMemoEditor *MemoEditor = nullptr;

TMemoEditor::TMemoEditor(QWidget *parent) : QDialog(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    DBMemo1 = new QPlainTextEdit(this);
    layout->addWidget(DBMemo1);
    FormCreate();
}

void TMemoEditor::FormCreate() {}
