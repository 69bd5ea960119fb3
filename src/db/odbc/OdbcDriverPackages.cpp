#include "db/odbc/OdbcDriverPackages.h"

#include "db/ConnectionString.h"
#include "db/DataAccess.h"

namespace {

struct DriverPackage
{
    const char *driver; // registered name, compared without letter case
    const char *package;
};

// The names the Debian packages register in /etc/odbcinst.ini.
constexpr DriverPackage kPackages[] = {
    {"FreeTDS", "tdsodbc"},
    {"PostgreSQL Unicode", "odbc-postgresql"},
    {"PostgreSQL ANSI", "odbc-postgresql"},
    {"MariaDB Unicode", "odbc-mariadb"},
    {"MariaDB", "odbc-mariadb"},
    {"MySQL", "odbc-mariadb"},
    {"SQLite3", "libsqliteodbc"},
    {"SQLite", "libsqliteodbc"},
};

} // namespace

QString debianPackageOfOdbcDriver(const QString &driver)
{
    QString name = driver.trimmed();
    if (name.startsWith(QLatin1Char('{')) && name.endsWith(QLatin1Char('}')))
        name = name.mid(1, name.size() - 2).trimmed();
    for (const DriverPackage &p : kPackages) {
        if (name.compare(QLatin1String(p.driver), Qt::CaseInsensitive) == 0)
            return QLatin1String(p.package);
    }
    return QString();
}

QString explainMissingOdbcDriver(const QString &text, const QString &odbcString)
{
    QString driver;
    try {
        driver = ConnectionString(odbcString).value(QStringLiteral("Driver")).trimmed();
    } catch (const DataAccessError &) {
        return text;
    }
    const bool missing = text.contains(QLatin1String("Data source name not found"), Qt::CaseInsensitive) ||
                         text.contains(QLatin1String("Can't open lib"), Qt::CaseInsensitive) ||
                         text.contains(QLatin1String("IM002")) || text.contains(QLatin1String("01000"));
    if (driver.isEmpty() || !missing)
        return text;
    const QString package = debianPackageOfOdbcDriver(driver);
    if (package.isEmpty())
        return text +
               QStringLiteral("\nThe ODBC driver \"%1\" is not installed; \"odbcinst -q -d\" lists the "
                              "drivers that are.")
                   .arg(driver);
    return text +
           QStringLiteral("\nThe ODBC driver \"%1\" is not installed; the Debian package %2 provides it "
                          "(sudo apt install %2).")
               .arg(driver, package);
}
