#include "editor/SqlEditor.h"

SqlEditor::SqlEditor(QWidget *parent) : QsciScintilla(parent) {}

void SqlEditor::setDialect(SqlHighlightDialect dialect)
{
    m_dialect = dialect;
}

void SqlEditor::appendLine(const QString &line)
{
    if (text().isEmpty())
        setText(line);
    else
        append(QStringLiteral("\n") + line);
}
