#pragma once

#include <QDialog>
#include <QVariant>

#include <optional>

class QPlainTextEdit;
class ResultModel;

// MemoEditor: edits one memo field of the current record in a window of its own. What the
// user types goes into the record's pending edit; the record is posted (or cancelled) by the
// navigator or by moving to another record, never by closing this window. Only the span the
// user changed is written back: line ends, no-break spaces and line separators elsewhere keep
// their stored form (MemoText).
class MemoEditor : public QDialog
{
    Q_OBJECT

public:
    explicit MemoEditor(QWidget *parent = nullptr);

    // Sizes the form to a third of the screen and makes that its minimum size.
    void sizeToScreen();
    // A third of the screen width and of the maximised height less 7; 800 by 572 when the
    // screen cannot be read.
    static QSize formSize(std::optional<QSize> screenWidthAndMaximisedHeight);
    static QString captionFor(const QString &fieldName)
    {
        return QStringLiteral("Memo Editor (") + fieldName + QLatin1Char(')');
    }

    // Shows the field of the model's current record and writes edits back to it.
    void bind(ResultModel *model, int field);
    // Drops the binding (before a new query replaces the rows).
    void detach();
    ResultModel *boundModel() const { return m_model; }
    int boundField() const { return m_field; }

    // Places the window over the centre of the given one.
    void centreOver(const QWidget *window);

    QPlainTextEdit *memoText = nullptr;

private:
    void memoChanged();

    ResultModel *m_model = nullptr;
    int m_field = -1;
    bool m_loading = false;
    QVariant m_storedValue; // the field's value when bound
    QString m_stored;       // ... as text
    QString m_shownRaw;     // the editor's raw text right after loading it
};
