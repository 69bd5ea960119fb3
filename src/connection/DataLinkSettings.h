#pragma once

#include <QList>
#include <QString>

// The providers the data-link dialog offers, in its list order; Other stands for a string whose
// provider the dialog does not know (it is then edited as name=value pairs only).
enum class DataLinkKind { Sqlite, PostgreSql, MySql, SqlServer, Access, Odbc, Other };

struct DataLinkEntry
{
    QString name;
    QString value;
    bool operator==(const DataLinkEntry &) const = default;
};

// The values behind the data-link dialog's pages, read from and composed into a connection string.
class DataLinkSettings
{
public:
    DataLinkKind kind = DataLinkKind::Sqlite;
    QString file;                                 // SQLite, Access
    QString host, port, database, user, password; // servers; user/password also for an ODBC DSN
    // PostgreSQL and MySQL/MariaDB: TLS (SSL Mode, SSL CA File, SSL Cert File, SSL Key File) and an
    // SSH tunnel (SSH Host, SSH Port, SSH User, SSH Auth, SSH Key File).
    QString sslMode, sslCaFile, sslCertFile, sslKeyFile;
    QString sshHost, sshPort, sshUser, sshAuth, sshKeyFile;
    bool odbcUsesDsn = true;
    QString dsn;
    QString driverString;        // ODBC without a DSN: the string handed to the driver manager
    QList<DataLinkEntry> extras; // entries no page shows, kept in their order
    QString unparsed;            // Other: a string that does not parse, kept as typed

    // The dialog's start without a string: SQLite on the demo database beside the program.
    static DataLinkSettings defaults(const QString &appFolder);
    static DataLinkSettings fromString(const QString &connectionString);
    QString toString() const;

    // Name=value entries as the backends read them; throws DataAccessError for an open quote.
    static QList<DataLinkEntry> parse(const QString &connectionString);
    // The inverse of parse: values that need it are quoted.
    static QString join(const QList<DataLinkEntry> &entries);

    static DataLinkKind kindOfProvider(const QString &provider);
    static QString displayName(DataLinkKind kind);
};
