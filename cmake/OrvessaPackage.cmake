# `cpack -G DEB` in a build folder makes orvessa_<version>_amd64.deb from the install rules
# (cmake/OrvessaInstall.cmake). The libraries the program links come from dpkg-shlibdeps;
# what it loads at run time without linking it is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvessa)
set(CPACK_PACKAGE_VENDOR Pelmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop database browser")
set(CPACK_PACKAGE_DESCRIPTION
    "Orvessa connects to SQLite files, PostgreSQL, MySQL and MariaDB servers, any ODBC data
source and Access files. It lists their tables and columns in a tree, shows the structure of
a table, runs SQL in a highlighting editor, edits result rows in a grid and writes a printable
structure report. The interface speaks English and Portuguese (Brazil).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Pelmora <orvessa@pelmora.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://pelmora.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time: the X11 platform plug-in of Qt, and the fonts the program asks for by
# name (metric-compatible stand-ins).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation, fonts-dejavu-core")
# ODBC drivers for the data sources reached through ODBC, the opener of web links, the OpenSSH
# client that carries SSH tunnels, the system's CA store that verify-full trusts, and a Secret
# Service for passwords kept in the keyring.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "xdg-utils, tdsodbc, odbc-postgresql, odbc-mariadb, libsqliteodbc, openssh-client, ca-certificates")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "postgresql-client, mariadb-client, gnome-keyring | kwalletmanager")

include(CPack)
