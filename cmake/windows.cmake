# The Windows resources of quillbay.exe: its icon and its version information.
# data/windows/quillbay.ico comes from the icon painter; after a change to the painter,
# write it again with a Linux build's `quillbay_icons --ico data/windows/quillbay.ico`
# (tst_windowsicon fails until then).
enable_language(RC)

set(QB_WINDOWS_ICON ${PROJECT_SOURCE_DIR}/data/windows/quillbay.ico)
# Four numbers for the binary version fields: 1.1 gives 1,1,0,0.
set(QB_VERSION_COMMAS ${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR})
foreach(part PATCH TWEAK)
    if(PROJECT_VERSION_${part} STREQUAL "")
        string(APPEND QB_VERSION_COMMAS ",0")
    else()
        string(APPEND QB_VERSION_COMMAS ",${PROJECT_VERSION_${part}}")
    endif()
endforeach()

configure_file(${PROJECT_SOURCE_DIR}/data/windows/quillbay.rc.in ${CMAKE_CURRENT_BINARY_DIR}/quillbay.rc @ONLY)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/quillbay.rc PROPERTIES OBJECT_DEPENDS ${QB_WINDOWS_ICON})
target_sources(quillbay PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/quillbay.rc)
