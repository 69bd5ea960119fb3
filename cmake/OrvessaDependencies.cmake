find_package(Qt6 6.2 REQUIRED COMPONENTS Core Gui Widgets Network PrintSupport Test)
find_package(PkgConfig REQUIRED)
find_package(SQLite3 REQUIRED)
find_package(PostgreSQL REQUIRED)
find_package(ODBC REQUIRED)
find_package(LibXml2 REQUIRED)
find_package(LibXslt REQUIRED)
pkg_check_modules(MARIADB REQUIRED IMPORTED_TARGET libmariadb)
pkg_check_modules(XLSXWRITER REQUIRED IMPORTED_TARGET xlsxwriter)
pkg_check_modules(LIBMDB REQUIRED IMPORTED_TARGET libmdb)
pkg_check_modules(LIBSECRET REQUIRED IMPORTED_TARGET libsecret-1)

# QScintilla ships neither a CMake nor a pkg-config file on Debian 12.
get_target_property(_qmake Qt6::qmake IMPORTED_LOCATION)
execute_process(COMMAND ${_qmake} -query QT_INSTALL_HEADERS OUTPUT_VARIABLE QT6_HEADERS OUTPUT_STRIP_TRAILING_WHITESPACE)
find_path(QSCINTILLA_INCLUDE_DIR Qsci/qsciscintilla.h HINTS ${QT6_HEADERS} REQUIRED)
find_library(QSCINTILLA_LIBRARY qscintilla2_qt6 REQUIRED)
add_library(QScintilla::QScintilla UNKNOWN IMPORTED)
set_target_properties(QScintilla::QScintilla PROPERTIES
    IMPORTED_LOCATION ${QSCINTILLA_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${QSCINTILLA_INCLUDE_DIR}
    INTERFACE_COMPILE_DEFINITIONS QSCINTILLA_DLL
    INTERFACE_LINK_LIBRARIES "Qt6::Widgets;Qt6::PrintSupport")
