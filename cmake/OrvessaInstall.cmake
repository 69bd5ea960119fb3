# The program and the files it reads from its own folder (demo.sqlite, OVS.xsl) go into one
# private folder, <prefix>/lib/orvessa; <prefix>/bin/orvessa is a relative symbolic link to the
# program. The program finds its folder through the resolved executable path, so the link
# changes nothing for it.
include(GNUInstallDirs)
set(ORVESSA_INSTALL_DIR "lib/orvessa" CACHE STRING
    "Folder, relative to the install prefix, that holds the program and the files beside it")
if(IS_ABSOLUTE "${ORVESSA_INSTALL_DIR}")
    message(FATAL_ERROR "ORVESSA_INSTALL_DIR must be relative to the install prefix, e.g. lib/orvessa")
endif()

# The program finds its demo database beside it, also when only its own target is built.
if(TARGET orvessa_demo_db)
    add_dependencies(orvessa orvessa_demo_db)
endif()

get_property(_orvessa_app_files GLOBAL PROPERTY ORVESSA_APP_FILES)
list(APPEND _orvessa_app_files ${ORVESSA_APP_FILES})
list(REMOVE_DUPLICATES _orvessa_app_files)

install(TARGETS orvessa orvessa-askpass RUNTIME DESTINATION ${ORVESSA_INSTALL_DIR})
if(_orvessa_app_files)
    install(FILES ${_orvessa_app_files} DESTINATION ${ORVESSA_INSTALL_DIR})
endif()

# A relative link survives any prefix and any staging folder (DESTDIR, the package's tree).
file(RELATIVE_PATH _orvessa_link_target /_/${CMAKE_INSTALL_BINDIR} /_/${ORVESSA_INSTALL_DIR}/orvessa)
set(_orvessa_link ${CMAKE_BINARY_DIR}/install-links/orvessa)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/install-links)
file(CREATE_LINK ${_orvessa_link_target} ${_orvessa_link} SYMBOLIC)
install(FILES ${_orvessa_link} DESTINATION ${CMAKE_INSTALL_BINDIR})

# Desktop integration: the entry and the metadata are named after the component id.
set(ORVESSA_APP_ID "example.pelmora.Orvessa")
install(FILES ${PROJECT_SOURCE_DIR}/resources/orvessa.desktop
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications RENAME ${ORVESSA_APP_ID}.desktop)
configure_file(${PROJECT_SOURCE_DIR}/resources/orvessa.metainfo.xml.in
    ${CMAKE_BINARY_DIR}/${ORVESSA_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/${ORVESSA_APP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/orvessa.svg
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/orvessa.png
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/64x64/apps)
