#pragma once

#include "connection/DataLinkSettings.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class SecretValueDelegate;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTabWidget;
class QTableWidget;

// The data-link dialog: pick a provider, fill in where the data is, test it, or edit every
// name=value pair of the connection string directly.
class DataLinkDialog : public QDialog
{
    Q_OBJECT

public:
    explicit DataLinkDialog(const QString &initial, QWidget *parent = nullptr);
    ~DataLinkDialog() override;

    // The composed string on OK (password included), the initial string on Cancel.
    static QString run(QWidget *parent, const QString &initial);

    // The string the dialog's pages compose now.
    QString connectionString();
    void testConnection();

    enum Page { ProviderPage, ConnectionPage, AllPage };
    QTabWidget *tabs() const { return m_tabs; }
    QListWidget *providerList() const { return m_providers; }
    QLineEdit *fileEdit() const { return m_file; }
    QLineEdit *hostEdit() const { return m_host; }
    QLineEdit *portEdit() const { return m_port; }
    QLineEdit *databaseEdit() const { return m_database; }
    QLineEdit *userEdit() const { return m_user; }
    QLineEdit *passwordEdit() const { return m_password; }
    QTableWidget *allTable() const { return m_all; }

private:
    QWidget *buildProviderPage();
    QWidget *buildConnectionPage();
    QWidget *buildAllPage();
    void showSettings();
    void collect();
    void fillAllTable();
    void takeAllTable();
    // What a screen reader hears of a value: masked like the eye sees it while it is secret.
    void updateAccessibleValues();
    void tabChanged(int index);
    void providerChanged();
    void browse();
    void updateOdbcMode();

    DataLinkSettings m_settings;
    int m_lastTab = -1;

    QTabWidget *m_tabs = nullptr;
    QListWidget *m_providers = nullptr;
    QStackedWidget *m_forms = nullptr;
    QWidget *m_fileForm = nullptr, *m_serverForm = nullptr, *m_odbcForm = nullptr, *m_otherForm = nullptr;
    QLabel *m_fileLabel = nullptr;
    QLineEdit *m_file = nullptr;
    QLineEdit *m_host = nullptr, *m_port = nullptr, *m_database = nullptr, *m_user = nullptr,
              *m_password = nullptr;
    QRadioButton *m_useDsn = nullptr, *m_useDriver = nullptr;
    QLineEdit *m_dsn = nullptr, *m_odbcUser = nullptr, *m_odbcPassword = nullptr, *m_driver = nullptr;
    QTableWidget *m_all = nullptr;
    SecretValueDelegate *m_secrets = nullptr;
    QCheckBox *m_showSecrets = nullptr;
    QPushButton *m_test = nullptr;
};
