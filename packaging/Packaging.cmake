# What an installed copy needs besides its executable: the desktop entry, the icons in the
# hicolor theme and the AppStream metadata; and the Debian package built from them with CPack.
set(LINETALLY_APP_ID org.linetally.Linetally)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${LINETALLY_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The reports window has a launcher of its own.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${LINETALLY_APP_ID}.Reports.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${LINETALLY_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 32 48)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icon-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${LINETALLY_APP_ID}.png)
endforeach()

# The manual page, the copyright file and the changelog (made from CHANGELOG.md), compressed as
# Debian wants them: gzip -9 without a time stamp.
set(LINETALLY_CONTACT "Linetally developers <developers@linetally.org>")
if(UNIX)
    set(docs ${CMAKE_BINARY_DIR}/packaging)
    add_custom_command(OUTPUT ${docs}/linetally.1.gz ${docs}/changelog.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${docs}
        COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" gzip ${CMAKE_CURRENT_LIST_DIR}/linetally.1
                ${docs}/linetally.1.gz
        COMMAND sh -c "\"$1\" \"$2\" \"$3\" | gzip -9nc > \"$4\"" changelog
                ${CMAKE_CURRENT_LIST_DIR}/debian-changelog ${PROJECT_SOURCE_DIR}/CHANGELOG.md
                ${LINETALLY_CONTACT} ${docs}/changelog.gz
        DEPENDS ${CMAKE_CURRENT_LIST_DIR}/linetally.1 ${PROJECT_SOURCE_DIR}/CHANGELOG.md
                ${CMAKE_CURRENT_LIST_DIR}/debian-changelog
        VERBATIM)
    add_custom_target(linetally_docs ALL DEPENDS ${docs}/linetally.1.gz ${docs}/changelog.gz)
    install(FILES ${docs}/linetally.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${docs}/changelog.gz ${CMAKE_CURRENT_LIST_DIR}/copyright
            DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME linetally)
set(CPACK_PACKAGE_VERSION
    "${LINETALLY_VERSION_MAJOR}.${LINETALLY_VERSION_MINOR}.${LINETALLY_VERSION_PATCH}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "call history of a 3CX phone system, day by day")
set(CPACK_PACKAGE_DESCRIPTION
    "Linetally answers one question for the administrator of a 3CX phone\n"
    "system: who called whom on a given day. It lists the day's calls of an\n"
    "extension or any other number, draws a per-minute activity chart of that\n"
    "day and offers a web lookup of a caller's number. From a terminal it\n"
    "reports on any period as a table, CSV or JSON lines. It reads the phone\n"
    "system's own PostgreSQL database over ODBC and never writes to it.")
set(CPACK_PACKAGE_CONTACT "${LINETALLY_CONTACT}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The shared libraries (Qt, libxlsxwriter4) come from dpkg-shlibdeps; these are loaded at run
# time and found by no linker: the Qt SQL drivers, the ODBC driver and a font with Arial's metrics.
# libphonenumber8 (the phone number rules) and libpq5 (the terminal reports' route) are named as well, so the package says what it needs
# even where dpkg-shlibdeps is not run.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6sql6-odbc, libqt6sql6-psql, libqt6printsupport6, odbc-postgresql, fonts-liberation2, libphonenumber8, libpq5")
include(CPack)
