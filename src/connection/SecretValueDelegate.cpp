#include "connection/SecretValueDelegate.h"

#include "db/ConnectionString.h"

#include <QApplication>
#include <QLineEdit>
#include <QStyle>

SecretValueDelegate::SecretValueDelegate(QObject *parent) : QStyledItemDelegate(parent)
{
}

bool SecretValueDelegate::isSecret(const QModelIndex &index)
{
    return index.isValid() && isSecretConnectionStringName(index.siblingAtColumn(0).data().toString());
}

QString SecretValueDelegate::masked(const QString &value)
{
    const QChar mark(QApplication::style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter));
    return QString(value.size(), mark);
}

QString SecretValueDelegate::accessibleText(const QModelIndex &index) const
{
    return hides(index) ? masked(index.data().toString()) : QString();
}

QWidget *SecretValueDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                           const QModelIndex &index) const
{
    QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto *line = qobject_cast<QLineEdit *>(editor); line && hides(index))
        line->setEchoMode(QLineEdit::Password);
    return editor;
}

void SecretValueDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (hides(index))
        option->text = masked(option->text);
}
