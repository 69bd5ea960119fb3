#include "connection/PasswordDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

PasswordDialog::PasswordDialog(const PasswordRequest &request, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(request.caption);
    auto *layout = new QVBoxLayout(this);
    auto *text = new QLabel(request.text);
    text->setWordWrap(true);
    layout->addWidget(text);
    m_password = new QLineEdit;
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setAccessibleName(request.caption);
    text->setBuddy(m_password);
    layout->addWidget(m_password);
    m_remember = new QCheckBox(request.keyringLabel);
    m_remember->setAccessibleName(request.keyringLabel);
    m_remember->setEnabled(request.keyringOffered);
    layout->addWidget(m_remember);
    if (!request.keyringOffered && !request.keyringNote.isEmpty()) {
        auto *note = new QLabel(request.keyringNote);
        note->setWordWrap(true);
        note->setEnabled(false);
        m_remember->setToolTip(request.keyringNote);
        m_remember->setAccessibleDescription(request.keyringNote);
        layout->addWidget(note);
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(360);
    m_password->setFocus();
}

PasswordDialog::~PasswordDialog() = default;

PasswordAnswer PasswordDialog::answer() const
{
    return {m_password->text(), m_remember->isEnabled() && m_remember->isChecked()};
}
