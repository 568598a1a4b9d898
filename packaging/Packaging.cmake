# What an installed copy needs besides its executable: the desktop entry, the icons in the
# hicolor theme and the AppStream metadata; and the Debian package built from them with CPack.
set(LINETALLY_APP_ID org.linetally.Linetally)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${LINETALLY_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${LINETALLY_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 32 48)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icon-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${LINETALLY_APP_ID}.png)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME linetally)
set(CPACK_PACKAGE_VERSION
    "${LINETALLY_VERSION_MAJOR}.${LINETALLY_VERSION_MINOR}.${LINETALLY_VERSION_PATCH}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "call history of a 3CX phone system, day by day")
set(CPACK_PACKAGE_DESCRIPTION
    "Linetally answers one question for the administrator of a 3CX phone system: who called\n"
    "whom on a given day. It lists the day's calls of an extension or any other number, draws\n"
    "a per-minute activity chart of that day and offers a web lookup of a caller's number. It\n"
    "reads the phone system's own PostgreSQL database over ODBC and never writes to it.")
set(CPACK_PACKAGE_CONTACT "Linetally developers <linetally@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The shared libraries come from dpkg-shlibdeps; these are loaded at run time and found by no
# linker: the Qt SQL drivers, the ODBC driver and a font with Arial's metrics.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6sql6-odbc, libqt6sql6-psql, odbc-postgresql, fonts-liberation2")
include(CPack)
