#pragma once

#include "connection/DataLinkSettings.h"

#include <QDialog>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QFormLayout;
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

    enum Page { ProviderPage, ConnectionPage, SecurityPage, AllPage };
    QTabWidget *tabs() const { return m_tabs; }
    QListWidget *providerList() const { return m_providers; }
    QLineEdit *fileEdit() const { return m_file; }
    QLineEdit *hostEdit() const { return m_host; }
    QLineEdit *portEdit() const { return m_port; }
    QLineEdit *databaseEdit() const { return m_database; }
    QLineEdit *userEdit() const { return m_user; }
    QLineEdit *passwordEdit() const { return m_password; }
    QTableWidget *allTable() const { return m_all; }
    QComboBox *sslModeBox() const { return m_sslMode; }
    QLabel *sslModeNote() const { return m_sslNote; }
    QLineEdit *sslCaEdit() const { return m_sslCa; }
    QLineEdit *sshHostEdit() const { return m_sshHost; }
    QLineEdit *sshUserEdit() const { return m_sshUser; }
    QLineEdit *sshKeyEdit() const { return m_sshKey; }
    QComboBox *sshAuthBox() const { return m_sshAuth; }

private:
    QWidget *buildProviderPage();
    QWidget *buildConnectionPage();
    QWidget *buildSecurityPage();
    QWidget *buildAllPage();
    void updateSslNote();
    // A line edit with a Browse button that picks a file into it.
    QLineEdit *fileField(QFormLayout *form, const QString &label, const QString &caption);
    void showSettings();
    void collect();
    void fillAllTable();
    void takeAllTable();
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
    QComboBox *m_sslMode = nullptr;
    QLabel *m_sslNote = nullptr;
    QLineEdit *m_sslCa = nullptr, *m_sslCert = nullptr, *m_sslKey = nullptr;
    QLineEdit *m_sshHost = nullptr, *m_sshPort = nullptr, *m_sshUser = nullptr, *m_sshKey = nullptr;
    QComboBox *m_sshAuth = nullptr;
    QTableWidget *m_all = nullptr;
    QPushButton *m_test = nullptr;
};
