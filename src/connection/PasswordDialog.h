#pragma once

#include "shell/Prompt.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;

// Asks for a password or passphrase: the text, a masked field, and "remember in the keyring"
// (disabled, with the reason beside it, where no keyring can keep it).
class PasswordDialog : public QDialog
{
    Q_OBJECT

public:
    explicit PasswordDialog(const PasswordRequest &request, QWidget *parent = nullptr);
    ~PasswordDialog() override;

    PasswordAnswer answer() const;
    QLineEdit *passwordEdit() const { return m_password; }
    QCheckBox *rememberBox() const { return m_remember; }

private:
    QLineEdit *m_password = nullptr;
    QCheckBox *m_remember = nullptr;
};
