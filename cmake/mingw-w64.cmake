# Cross build for 64-bit Windows with MinGW-w64 (Debian's g++-mingw-w64-x86-64-posix).
# Programs link their runtime statically and run under wine, each test on its own X
# display with a throw-away wine prefix.
#
# QB_WIN_DEPS names the folder of the static Qt, SQLite and yaml-cpp for Windows
# (scripts/build-windows); without it only the Qt-free parts configure.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Checks compile small programs with this file again; they need the same folders.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QB_WIN_DEPS)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${QB_WIN_DEPS})
if(QB_WIN_DEPS)
    list(APPEND CMAKE_PREFIX_PATH ${QB_WIN_DEPS})
    # Qt's build tools (moc, uic, rcc) are the host's, of the same version.
    set(QT_HOST_PATH /usr)
    set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained exe: Qt's static link interface ends with -Bdynamic, after which
# the compiler's own runtime would be taken from DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_CXX_STANDARD_LIBRARIES
    "-Wl,-Bstatic -lkernel32 -luser32 -lgdi32 -lwinspool -lshell32 -lole32 -loleaut32 -luuid -lcomdlg32 -ladvapi32"
    CACHE STRING "")
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/support/with-wine.sh)
