#include "connection/DataLinkDialog.h"

#include "common/ErrorText.h"
#include "connection/ConnectPrompts.h"
#include "connection/WorkRunnerDialog.h"
#include "db/DataAccess.h"
#include "shell/BusyCursor.h"
#include "shell/MessageDialog.h"
#include "shell/Prompt.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr DataLinkKind kListed[] = {DataLinkKind::Sqlite,    DataLinkKind::PostgreSql, DataLinkKind::MySql,
                                    DataLinkKind::SqlServer, DataLinkKind::Access,     DataLinkKind::Odbc};

QString appFolder()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath()) + QLatin1Char('/');
}

QString defaultPort(DataLinkKind kind)
{
    switch (kind) {
    case DataLinkKind::PostgreSql:
        return QStringLiteral("5432");
    case DataLinkKind::MySql:
        return QStringLiteral("3306");
    case DataLinkKind::SqlServer:
        return QStringLiteral("1433");
    default:
        return QString();
    }
}

} // namespace

DataLinkDialog::DataLinkDialog(const QString &initial, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(tr("Data Link Properties"));
    // Stands for a platform dialog: the program's wheel rewrite leaves it alone.
    setProperty("orvessaNoWheelRewrite", true);

    m_settings = initial.trimmed().isEmpty() ? DataLinkSettings::defaults(appFolder())
                                             : DataLinkSettings::fromString(initial);

    m_tabs = new QTabWidget;
    m_tabs->addTab(buildProviderPage(), tr("Provider"));
    m_tabs->addTab(buildConnectionPage(), tr("Connection"));
    m_tabs->addTab(buildSecurityPage(), tr("Security"));
    m_tabs->addTab(buildAllPage(), tr("All"));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);

    showSettings();
    const bool known = m_settings.kind != DataLinkKind::Other;
    m_lastTab = known ? ConnectionPage : AllPage;
    if (!known)
        fillAllTable();
    m_tabs->setCurrentIndex(m_lastTab);
    connect(m_tabs, &QTabWidget::currentChanged, this, &DataLinkDialog::tabChanged);
    connect(m_providers, &QListWidget::currentRowChanged, this, &DataLinkDialog::providerChanged);
    // Choosing a provider with a double-click or Enter goes on to its connection values.
    connect(m_providers, &QListWidget::itemActivated, this,
            [this] { m_tabs->setCurrentIndex(ConnectionPage); });

    resize(sizeHint().expandedTo(QSize(520, 560)));
    if (known) {
        QWidget *first = m_forms->currentWidget() == m_serverForm ? static_cast<QWidget *>(m_host)
                         : m_forms->currentWidget() == m_odbcForm ? static_cast<QWidget *>(m_dsn)
                                                                  : static_cast<QWidget *>(m_file);
        first->setFocus();
    } else {
        m_all->setFocus();
    }
}

DataLinkDialog::~DataLinkDialog() = default;

QString DataLinkDialog::run(QWidget *parent, const QString &initial)
{
    DataLinkDialog dialog(initial, parent);
    if (dialog.exec() != QDialog::Accepted)
        return initial;
    return dialog.connectionString();
}

QWidget *DataLinkDialog::buildProviderPage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(tr("Select the data you want to connect to:")));
    m_providers = new QListWidget;
    for (DataLinkKind kind : kListed)
        m_providers->addItem(DataLinkSettings::displayName(kind));
    layout->addWidget(m_providers);
    return page;
}

QWidget *DataLinkDialog::buildConnectionPage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    m_forms = new QStackedWidget;

    m_fileForm = new QWidget;
    {
        auto *form = new QVBoxLayout(m_fileForm);
        form->setContentsMargins(0, 0, 0, 0);
        m_fileLabel = new QLabel(tr("Database file:"));
        form->addWidget(m_fileLabel);
        auto *row = new QHBoxLayout;
        m_file = new QLineEdit;
        m_fileLabel->setBuddy(m_file);
        auto *browse = new QPushButton(tr("Browse..."));
        connect(browse, &QPushButton::clicked, this, &DataLinkDialog::browse);
        row->addWidget(m_file, 1);
        row->addWidget(browse);
        form->addLayout(row);
        form->addStretch(1);
    }
    m_forms->addWidget(m_fileForm);

    m_serverForm = new QWidget;
    {
        auto *form = new QFormLayout(m_serverForm);
        form->setContentsMargins(0, 0, 0, 0);
        m_host = new QLineEdit;
        m_port = new QLineEdit;
        m_port->setValidator(new QIntValidator(0, 65535, m_port));
        m_port->setMaximumWidth(80);
        m_database = new QLineEdit;
        m_user = new QLineEdit;
        m_password = new QLineEdit;
        m_password->setEchoMode(QLineEdit::Password);
        form->addRow(tr("Server:"), m_host);
        form->addRow(tr("Port:"), m_port);
        form->addRow(tr("Database:"), m_database);
        form->addRow(tr("User name:"), m_user);
        form->addRow(tr("Password:"), m_password);
    }
    m_forms->addWidget(m_serverForm);

    m_odbcForm = new QWidget;
    {
        auto *form = new QVBoxLayout(m_odbcForm);
        form->setContentsMargins(0, 0, 0, 0);
        m_useDsn = new QRadioButton(tr("Use data source name"));
        m_useDriver = new QRadioButton(tr("Use connection string"));
        auto *dsnBox = new QFormLayout;
        m_dsn = new QLineEdit;
        m_odbcUser = new QLineEdit;
        m_odbcPassword = new QLineEdit;
        m_odbcPassword->setEchoMode(QLineEdit::Password);
        dsnBox->addRow(tr("Data source:"), m_dsn);
        dsnBox->addRow(tr("User name:"), m_odbcUser);
        dsnBox->addRow(tr("Password:"), m_odbcPassword);
        m_driver = new QLineEdit;
        m_driver->setPlaceholderText(QStringLiteral("Driver={SQLite3};Database=/path/to/file.db"));
        form->addWidget(m_useDsn);
        form->addLayout(dsnBox);
        form->addSpacing(6);
        form->addWidget(m_useDriver);
        form->addWidget(m_driver);
        form->addStretch(1);
        connect(m_useDsn, &QRadioButton::toggled, this, &DataLinkDialog::updateOdbcMode);
    }
    m_forms->addWidget(m_odbcForm);

    m_otherForm = new QWidget;
    {
        auto *form = new QVBoxLayout(m_otherForm);
        form->setContentsMargins(0, 0, 0, 0);
        auto *note = new QLabel(tr("This provider has no page of its own: edit its values on the All page."));
        note->setWordWrap(true);
        form->addWidget(note);
        form->addStretch(1);
    }
    m_forms->addWidget(m_otherForm);

    layout->addWidget(m_forms, 1);
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    m_test = new QPushButton(tr("&Test Connection"));
    m_test->setAutoDefault(false);
    connect(m_test, &QPushButton::clicked, this, &DataLinkDialog::testConnection);
    row->addWidget(m_test);
    layout->addLayout(row);
    return page;
}

QLineEdit *DataLinkDialog::fileField(QFormLayout *form, const QString &label, const QString &caption)
{
    auto *row = new QHBoxLayout;
    auto *edit = new QLineEdit;
    edit->setAccessibleName(label);
    auto *browse = new QPushButton(tr("Browse..."));
    browse->setAutoDefault(false);
    browse->setAccessibleName(label + QLatin1Char(' ') + tr("Browse..."));
    connect(browse, &QPushButton::clicked, this, [this, edit, caption] {
        FileDialogOptions options;
        options.caption = caption;
        const QString current = edit->text().trimmed();
        options.folder = current.isEmpty() ? QDir::homePath() : QFileInfo(current).absolutePath();
        options.fileName = current;
        options.filter = tr("All files (*)");
        if (const auto chosen = prompt().openFileName(this, options))
            edit->setText(*chosen);
    });
    row->addWidget(edit, 1);
    row->addWidget(browse);
    form->addRow(label, row);
    return edit;
}

// TLS and the SSH tunnel of a PostgreSQL or MySQL/MariaDB connection.
QWidget *DataLinkDialog::buildSecurityPage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);

    auto *tls = new QGroupBox(tr("Encryption (TLS)"));
    auto *tlsForm = new QFormLayout(tls);
    m_sslMode = new QComboBox;
    m_sslMode->addItem(tr("(the client library's default)"), QString());
    for (const char *mode : {"disable", "allow", "prefer", "require", "verify-ca", "verify-full"})
        m_sslMode->addItem(QLatin1String(mode), QLatin1String(mode));
    m_sslMode->setAccessibleName(tr("TLS mode"));
    tlsForm->addRow(tr("Mode:"), m_sslMode);
    m_sslNote = new QLabel;
    m_sslNote->setWordWrap(true);
    m_sslNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Room for the longest note, so choosing a mode never squeezes the page.
    m_sslNote->setMinimumHeight(m_sslNote->fontMetrics().lineSpacing() * 3);
    tlsForm->addRow(m_sslNote);
    m_sslCa = fileField(tlsForm, tr("CA file:"), tr("Select the CA certificates file"));
    m_sslCert = fileField(tlsForm, tr("Client certificate:"), tr("Select the client certificate"));
    m_sslKey = fileField(tlsForm, tr("Client key:"), tr("Select the client certificate's key"));
    connect(m_sslMode, &QComboBox::currentIndexChanged, this, &DataLinkDialog::updateSslNote);
    connect(m_sslCa, &QLineEdit::textChanged, this, &DataLinkDialog::updateSslNote);
    layout->addWidget(tls);

    auto *ssh = new QGroupBox(tr("SSH tunnel"));
    auto *sshForm = new QFormLayout(ssh);
    m_sshHost = new QLineEdit;
    m_sshHost->setPlaceholderText(tr("host name or a Host of ~/.ssh/config"));
    m_sshHost->setAccessibleName(tr("SSH host"));
    m_sshPort = new QLineEdit;
    m_sshPort->setValidator(new QIntValidator(1, 65535, m_sshPort));
    m_sshPort->setPlaceholderText(QStringLiteral("22"));
    m_sshPort->setMaximumWidth(80);
    m_sshPort->setAccessibleName(tr("SSH port"));
    m_sshUser = new QLineEdit;
    m_sshUser->setAccessibleName(tr("SSH user"));
    m_sshAuth = new QComboBox;
    m_sshAuth->addItem(tr("as ~/.ssh/config and the agent say"), QString());
    m_sshAuth->addItem(tr("key file"), QStringLiteral("key"));
    m_sshAuth->addItem(tr("SSH agent"), QStringLiteral("agent"));
    m_sshAuth->addItem(tr("password"), QStringLiteral("password"));
    m_sshAuth->setAccessibleName(tr("SSH authentication"));
    sshForm->addRow(tr("SSH host:"), m_sshHost);
    sshForm->addRow(tr("SSH port:"), m_sshPort);
    sshForm->addRow(tr("SSH user:"), m_sshUser);
    sshForm->addRow(tr("Sign in with:"), m_sshAuth);
    m_sshKey = fileField(sshForm, tr("Key file:"), tr("Select the SSH private key"));
    auto *sshNote = new QLabel(tr("Passphrases and passwords are asked when connecting. The server's host "
                                  "key is checked against ~/.ssh/known_hosts."));
    sshNote->setWordWrap(true);
    sshNote->setMinimumHeight(sshNote->fontMetrics().lineSpacing() * 2 + 4);
    sshForm->addRow(sshNote);
    connect(m_sshAuth, &QComboBox::currentIndexChanged, this, [this] {
        m_sshKey->setEnabled(m_sshAuth->currentData().toString() != QLatin1String("password"));
    });
    layout->addWidget(ssh);
    layout->addStretch(1);
    return page;
}

void DataLinkDialog::updateSslNote()
{
    const QString mode = m_sslMode->currentData().toString();
    QString note;
    if (mode == QLatin1String("require"))
        note = tr("Encrypted, but the server's identity is not verified: whoever stands between you and the "
                  "server can pose as it. Choose verify-full to check the certificate.");
    else if ((mode == QLatin1String("verify-ca") || mode == QLatin1String("verify-full")) &&
             m_sslCa->text().trimmed().isEmpty())
        note = tr("Without a CA file the system's certificate store (/etc/ssl/certs) is trusted.");
    else if (mode == QLatin1String("verify-full"))
        note = tr("Encrypted; the certificate must be issued by the CA and name the server.");
    else if (mode == QLatin1String("verify-ca"))
        note = tr("Encrypted; the certificate must be issued by the CA, whatever name it carries.");
    else if (mode == QLatin1String("disable"))
        note = tr("Not encrypted.");
    else if (!mode.isEmpty())
        note = tr(
            "Encrypted if the server offers it, in clear otherwise; the server's identity is not verified.");
    m_sslNote->setText(note);
}

QWidget *DataLinkDialog::buildAllPage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(
        new QLabel(tr("These are the values of the connection string. To change one, edit it.")));
    m_all = new QTableWidget(0, 2);
    m_all->setHorizontalHeaderLabels({tr("Name"), tr("Value")});
    m_all->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_all->horizontalHeader()->setStretchLastSection(true);
    m_all->verticalHeader()->setVisible(false);
    m_all->verticalHeader()->setDefaultSectionSize(m_all->fontMetrics().height() + 6);
    m_all->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_all->setSelectionMode(QAbstractItemView::SingleSelection);
    layout->addWidget(m_all, 1);
    auto *row = new QHBoxLayout;
    auto *add = new QPushButton(tr("&Add"));
    auto *remove = new QPushButton(tr("&Remove"));
    add->setAutoDefault(false);
    remove->setAutoDefault(false);
    connect(add, &QPushButton::clicked, this, [this] {
        const int r = m_all->rowCount();
        m_all->insertRow(r);
        m_all->setItem(r, 0, new QTableWidgetItem);
        m_all->setItem(r, 1, new QTableWidgetItem);
        m_all->setCurrentCell(r, 0);
        m_all->editItem(m_all->item(r, 0));
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        if (m_all->currentRow() >= 0)
            m_all->removeRow(m_all->currentRow());
    });
    row->addWidget(add);
    row->addWidget(remove);
    row->addStretch(1);
    layout->addLayout(row);
    return page;
}

void DataLinkDialog::showSettings()
{
    const DataLinkSettings &s = m_settings;
    int row = -1;
    for (int i = 0; i < int(std::size(kListed)); ++i) {
        if (kListed[i] == s.kind)
            row = i;
    }
    {
        const QSignalBlocker block(m_providers);
        m_providers->setCurrentRow(row);
    }
    m_file->setText(s.file);
    m_host->setText(s.host);
    m_port->setText(s.port);
    m_port->setPlaceholderText(defaultPort(s.kind));
    m_database->setText(s.database);
    m_user->setText(s.kind == DataLinkKind::Odbc ? QString() : s.user);
    m_password->setText(s.kind == DataLinkKind::Odbc ? QString() : s.password);
    m_dsn->setText(s.dsn);
    m_odbcUser->setText(s.kind == DataLinkKind::Odbc ? s.user : QString());
    m_odbcPassword->setText(s.kind == DataLinkKind::Odbc ? s.password : QString());
    m_driver->setText(s.driverString);
    const int mode = m_sslMode->findData(s.sslMode.trimmed().toLower());
    m_sslMode->setCurrentIndex(mode >= 0 ? mode : 0);
    m_sslCa->setText(s.sslCaFile);
    m_sslCert->setText(s.sslCertFile);
    m_sslKey->setText(s.sslKeyFile);
    m_sshHost->setText(s.sshHost);
    m_sshPort->setText(s.sshPort);
    m_sshUser->setText(s.sshUser);
    const int auth = m_sshAuth->findData(s.sshAuth.trimmed().toLower());
    m_sshAuth->setCurrentIndex(auth >= 0 ? auth : 0);
    m_sshKey->setText(s.sshKeyFile);
    updateSslNote();
    m_tabs->setTabEnabled(SecurityPage, s.kind == DataLinkKind::PostgreSql || s.kind == DataLinkKind::MySql);
    (s.odbcUsesDsn ? m_useDsn : m_useDriver)->setChecked(true);
    updateOdbcMode();

    switch (s.kind) {
    case DataLinkKind::Sqlite:
        m_fileLabel->setText(tr("SQLite database file:"));
        m_forms->setCurrentWidget(m_fileForm);
        break;
    case DataLinkKind::Access:
        m_fileLabel->setText(tr("Access database file (.mdb, .accdb):"));
        m_forms->setCurrentWidget(m_fileForm);
        break;
    case DataLinkKind::PostgreSql:
    case DataLinkKind::MySql:
    case DataLinkKind::SqlServer:
        m_forms->setCurrentWidget(m_serverForm);
        break;
    case DataLinkKind::Odbc:
        m_forms->setCurrentWidget(m_odbcForm);
        break;
    case DataLinkKind::Other:
        m_forms->setCurrentWidget(m_otherForm);
        break;
    }
    m_test->setEnabled(s.kind != DataLinkKind::Other || !s.extras.isEmpty());
}

// Reads the form of the provider on show into the settings.
void DataLinkDialog::collect()
{
    DataLinkSettings &s = m_settings;
    switch (s.kind) {
    case DataLinkKind::Sqlite:
    case DataLinkKind::Access:
        s.file = m_file->text().trimmed();
        break;
    case DataLinkKind::PostgreSql:
    case DataLinkKind::MySql:
    case DataLinkKind::SqlServer:
        s.host = m_host->text().trimmed();
        s.port = m_port->text().trimmed();
        s.database = m_database->text().trimmed();
        s.user = m_user->text();
        s.password = m_password->text();
        if (s.kind != DataLinkKind::SqlServer) {
            s.sslMode = m_sslMode->currentData().toString();
            s.sslCaFile = m_sslCa->text().trimmed();
            s.sslCertFile = m_sslCert->text().trimmed();
            s.sslKeyFile = m_sslKey->text().trimmed();
            s.sshHost = m_sshHost->text().trimmed();
            s.sshPort = m_sshPort->text().trimmed();
            s.sshUser = m_sshUser->text().trimmed();
            s.sshAuth = m_sshAuth->currentData().toString();
            s.sshKeyFile = m_sshKey->text().trimmed();
        }
        break;
    case DataLinkKind::Odbc:
        s.odbcUsesDsn = m_useDsn->isChecked();
        s.dsn = m_dsn->text().trimmed();
        s.user = m_odbcUser->text();
        s.password = m_odbcPassword->text();
        s.driverString = m_driver->text();
        break;
    case DataLinkKind::Other:
        break;
    }
}

void DataLinkDialog::fillAllTable()
{
    QList<DataLinkEntry> entries;
    try {
        entries = DataLinkSettings::parse(m_settings.toString());
    } catch (const DataAccessError &) {
        entries = m_settings.extras;
    }
    m_all->setRowCount(0);
    for (const DataLinkEntry &e : entries) {
        const int r = m_all->rowCount();
        m_all->insertRow(r);
        m_all->setItem(r, 0, new QTableWidgetItem(e.name));
        m_all->setItem(r, 1, new QTableWidgetItem(e.value));
    }
}

void DataLinkDialog::takeAllTable()
{
    QList<DataLinkEntry> entries;
    for (int r = 0; r < m_all->rowCount(); ++r) {
        const QTableWidgetItem *name = m_all->item(r, 0);
        const QTableWidgetItem *value = m_all->item(r, 1);
        const QString n = name ? name->text().trimmed() : QString();
        if (!n.isEmpty())
            entries.append({n, value ? value->text() : QString()});
    }
    m_settings = DataLinkSettings::fromString(DataLinkSettings::join(entries));
}

void DataLinkDialog::tabChanged(int index)
{
    if (m_lastTab == AllPage && index != AllPage) {
        takeAllTable();
        showSettings();
    } else if (m_lastTab != AllPage && index == AllPage) {
        collect();
        fillAllTable();
    }
    m_lastTab = index;
}

void DataLinkDialog::providerChanged()
{
    collect();
    const int row = m_providers->currentRow();
    if (row < 0 || row >= int(std::size(kListed)))
        return;
    if (m_settings.kind == DataLinkKind::Other) {
        // Leaving a string the dialog does not know: start the chosen provider afresh.
        m_settings = DataLinkSettings();
    }
    m_settings.kind = kListed[row];
    showSettings();
}

void DataLinkDialog::updateOdbcMode()
{
    const bool dsn = m_useDsn->isChecked();
    m_dsn->setEnabled(dsn);
    m_odbcUser->setEnabled(dsn);
    m_odbcPassword->setEnabled(dsn);
    m_driver->setEnabled(!dsn);
}

QString DataLinkDialog::connectionString()
{
    if (m_tabs->currentIndex() == AllPage)
        takeAllTable();
    else
        collect();
    return m_settings.toString();
}

void DataLinkDialog::browse()
{
    FileDialogOptions options;
    options.caption = tr("Select Database File");
    const QString current = m_file->text().trimmed();
    options.folder = current.isEmpty() ? appFolder() : QFileInfo(current).absolutePath();
    options.fileName = current;
    const bool access = m_settings.kind == DataLinkKind::Access;
    options.filter = access ? tr("Access databases (*.mdb *.accdb);;All files (*)")
                            : tr("SQLite databases (*.sqlite *.sqlite3 *.db *.db3);;All files (*)");
    if (const auto chosen = prompt().openFileName(this, options))
        m_file->setText(*chosen);
}

void DataLinkDialog::testConnection()
{
    const QString cs = connectionString();
    QString failure;
    bool ok = false;
    {
        BusyCursor busy;
        try {
            // A connection of its own, opened off the window's thread with Cancel like any other.
            Connection probe;
            probe.setWorkRunner(makeDialogWorkRunner(this));
            // An SSH tunnel's questions are asked over this dialog.
            ConnectPrompts prompts(this, {}, {});
            probe.setAsker(prompts.asker());
            probe.setConnectionString(cs);
            probe.open();
            probe.close();
            ok = true;
        } catch (const std::exception &e) {
            failure = errorText(e);
        }
    }
    if (ok)
        showMessageDialog(tr("Test connection succeeded."), mtInformation, mbOK, 0, this);
    else
        showMessageDialog(failure, mtError, mbOK, 0, this);
}
