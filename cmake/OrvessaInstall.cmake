# The program and the files it reads from its own folder go into one folder, e.g. /opt/orvessa.
include(GNUInstallDirs)
# An absolute folder of its own, so the desktop entry and icon still land under the prefix.
set(ORVESSA_INSTALL_DIR "/opt/orvessa" CACHE PATH "Folder that holds the program and the files beside it")

# The program finds its demo database beside it, also when only its own target is built.
if(TARGET orvessa_demo_db)
    add_dependencies(orvessa orvessa_demo_db)
endif()

get_property(_orvessa_app_files GLOBAL PROPERTY ORVESSA_APP_FILES)
list(APPEND _orvessa_app_files ${ORVESSA_APP_FILES})
list(REMOVE_DUPLICATES _orvessa_app_files)

install(TARGETS orvessa RUNTIME DESTINATION ${ORVESSA_INSTALL_DIR})
if(_orvessa_app_files)
    install(FILES ${_orvessa_app_files} DESTINATION ${ORVESSA_INSTALL_DIR})
endif()

install(FILES ${PROJECT_SOURCE_DIR}/resources/orvessa.desktop
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
set(_orvessa_icon ${PROJECT_SOURCE_DIR}/resources/icons/orvessa.png)
install(FILES ${_orvessa_icon}
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/64x64/apps OPTIONAL)
