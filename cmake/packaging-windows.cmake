# The Windows layout, one folder: quillbay.exe, targets.ini, help\index.html and sql\ (the
# scripts that set up a shared database). Packed twice:
#   quillbay-<version>-win64-setup.exe  per-user installer (NSIS); the installed copy keeps
#                                       the user's files in %APPDATA% and %LOCALAPPDATA%
#   quillbay-<version>-win64.zip        portable copy, which keeps its files beside itself
install(TARGETS quillbay RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/data/targets.ini DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/help/index.html DESTINATION help)
install(FILES ${PROJECT_SOURCE_DIR}/sql/quillbay-sqlite.sql
    ${PROJECT_SOURCE_DIR}/sql/quillbay-postgresql.sql
    ${PROJECT_SOURCE_DIR}/sql/examples.sql
    DESTINATION sql)

set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_NAME quillbay)
set(CPACK_PACKAGE_VENDOR Tolvane)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Ready-made e-mail answers, found by Hotword and pasted into the e-mail program")
set(CPACK_PACKAGE_HOMEPAGE_URL https://www.tolvane.example/quillbay)
set(CPACK_PACKAGE_FILE_NAME quillbay-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Tolvane Quillbay")
set(CPACK_STRIP_FILES TRUE)
# Per generator: the installer's name ends in -setup.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/packaging-windows-cpack.cmake)

# The installer script is data/windows/NSIS.template.in.
set(CPACK_MODULE_PATH ${PROJECT_SOURCE_DIR}/data/windows)
set(CPACK_NSIS_DISPLAY_NAME "Tolvane Quillbay")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/data/windows/quillbay.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/data/windows/quillbay.ico)
set(CPACK_QB_VERSION_QUAD ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0.0)
if(NOT PROJECT_VERSION_PATCH STREQUAL "")
    set(CPACK_QB_VERSION_QUAD ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
endif()
include(CPack)
