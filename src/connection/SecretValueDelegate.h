#pragma once

#include <QStyledItemDelegate>

// The value column of a name/value table of a connection string: the values of secret entries
// (Password, PWD, ...: the name in column 0) are shown as a password field shows them, to the
// eye and to assistive technology, and edited in a field that masks what is typed, until the
// user asks to see them.
class SecretValueDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit SecretValueDelegate(QObject *parent = nullptr);

    bool revealed() const { return m_revealed; }
    void setRevealed(bool revealed) { m_revealed = revealed; }

    // True when the row of index holds a secret entry.
    static bool isSecret(const QModelIndex &index);
    // What a masked value shows: one mark a character, as a password field shows it.
    static QString masked(const QString &value);
    // The text assistive technology reads for the value at index (the model's
    // Qt::AccessibleTextRole); empty where the value is read as it is.
    QString accessibleText(const QModelIndex &index) const;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    bool hides(const QModelIndex &index) const { return !m_revealed && isSecret(index); }

    bool m_revealed = false;
};
