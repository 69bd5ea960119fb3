#include "query/MemoEditor.h"

#include "query/MemoText.h"
#include "query/ResultModel.h"
#include "query/RowEditor.h"

#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextDocument>
#include <QVBoxLayout>

MemoEditor::MemoEditor(QWidget *parent) : QDialog(parent)
{
    // Only the close button in the title bar; the frame stays resizable.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    memoText = new QPlainTextEdit(this);
    memoText->setLineWrapMode(QPlainTextEdit::NoWrap);
    memoText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memoText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    layout->addWidget(memoText);
    connect(memoText, &QPlainTextEdit::textChanged, this, &MemoEditor::memoChanged);
    sizeToScreen();
}

QSize MemoEditor::formSize(std::optional<QSize> screen)
{
    const int width = screen ? screen->width() : 800;
    const int height = screen ? screen->height() - 7 : 572;
    return QSize(width / 3, height / 3);
}

void MemoEditor::sizeToScreen()
{
    std::optional<QSize> screen;
    if (const QScreen *primary = QGuiApplication::primaryScreen())
        screen = QSize(primary->geometry().width(), primary->availableGeometry().height());
    const QSize size = formSize(screen);
    resize(size);
    setMinimumSize(size);
}

void MemoEditor::bind(ResultModel *model, int field)
{
    detach();
    m_model = model;
    m_field = field;
    if (!m_model || field < 0 || field >= m_model->columnCount())
        return;
    const qint64 row = m_model->editor()->currentRow();
    m_storedValue = row >= 0 ? m_model->index(int(row), field).data(Qt::EditRole) : QVariant();
    m_stored = m_storedValue.toString();
    m_loading = true;
    memoText->setPlainText(m_stored);
    m_shownRaw = memoText->document()->toRawText();
    m_loading = false;
    memoText->setReadOnly(row < 0 || !m_model->editor()->canEditRow(row));
}

void MemoEditor::detach()
{
    m_model = nullptr;
    m_field = -1;
    m_storedValue = QVariant();
    m_stored.clear();
    m_shownRaw.clear();
    m_loading = true;
    memoText->clear();
    m_loading = false;
    memoText->setReadOnly(false);
}

void MemoEditor::memoChanged()
{
    if (m_loading || !m_model || m_field < 0)
        return;
    const qint64 row = m_model->editor()->currentRow();
    if (row < 0)
        return;
    const QString raw = memoText->document()->toRawText();
    // Back to the text as loaded: the stored value itself (NULL stays NULL).
    const QVariant value =
        raw == m_shownRaw ? m_storedValue : QVariant(MemoText::merge(m_stored, m_shownRaw, raw));
    m_model->setData(m_model->index(int(row), m_field), value, Qt::EditRole);
}

void MemoEditor::centreOver(const QWidget *window)
{
    if (!window)
        return;
    const QRect frame = window->frameGeometry();
    QRect mine(QPoint(0, 0), size());
    mine.moveCenter(frame.center());
    move(mine.topLeft());
}
