# Windows packages its own layout (one folder) as an installer and a zip.
if(WIN32)
    include(${CMAKE_CURRENT_LIST_DIR}/packaging-windows.cmake)
    return()
endif()

# The installed layout (bin/, share/quillbay/, the menu entry and theme icons) and the .deb.
install(FILES ${PROJECT_SOURCE_DIR}/data/targets.ini
    ${PROJECT_SOURCE_DIR}/sql/quillbay-sqlite.sql
    ${PROJECT_SOURCE_DIR}/sql/quillbay-postgresql.sql
    ${PROJECT_SOURCE_DIR}/sql/examples.sql
    DESTINATION ${CMAKE_INSTALL_DATADIR}/quillbay)
install(FILES ${PROJECT_SOURCE_DIR}/data/quillbay.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/icons/quillbay.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillbay)
set(CPACK_PACKAGE_VENDOR Tolvane)
set(CPACK_PACKAGE_CONTACT "Tolvane <quillbay@tolvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Ready-made e-mail answers, found by Hotword and pasted into the e-mail program")
set(CPACK_PACKAGE_HOMEPAGE_URL https://www.tolvane.example/quillbay)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
# The libraries the program links and loads (SQLite driver, X11 platform plugin in libqt6gui6).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1, libqt6core6, libqt6gui6, libqt6widgets6, libqt6sql6, \
libqt6sql6-sqlite, libsqlite3-0, libodbc2, libx11-6, libxcb1, libxcb-xtest0, libxcb-keysyms1, libxcb-res0, libyaml-cpp0.7")
# The Wayland desktops: the program's own compositor connection and keymap, KDE's global
# shortcut service on D-Bus, and Qt's Wayland platform plugin for its windows.
if(QB_WAYLAND)
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libwayland-client0, libxkbcommon0, libqt6dbus6, qt6-wayland")
endif()
# ODBC sharing of the database, opening the user guide.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-odbc, xdg-utils")
include(CPack)
