# The program and the files it reads from its own folder go into one folder, e.g. /opt/orvessa.
include(GNUInstallDirs)
set(ORVESSA_INSTALL_DIR "." CACHE STRING "Folder under the install prefix that holds the program")
install(TARGETS orvessa RUNTIME DESTINATION ${ORVESSA_INSTALL_DIR})
install(FILES ${ORVESSA_APP_FILES} DESTINATION ${ORVESSA_INSTALL_DIR} OPTIONAL)
