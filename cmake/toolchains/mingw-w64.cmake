# Cross build of the Windows console programs with the mingw-w64 compilers of Debian
# (x86_64-w64-mingw32, the posix thread model, static runtime), tested under wine64.
#
#   cmake -S . -B build/windows -G Ninja \
#       -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUILLON_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUILLON_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLON_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLON_MINGW_TRIPLE}-windres)

# Libraries, headers and packages from the cross root only (the header-only JSON and CLI11
# libraries are copied in by the project itself).
set(CMAKE_FIND_ROOT_PATH /usr/${QUILLON_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One program file each, without the compiler's runtime DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Windows 8 and later: CancelIoEx, waitable timers with names, GetTickCount64.
add_compile_definitions(_WIN32_WINNT=0x0602 WINVER=0x0602 WIN32_LEAN_AND_MEAN NOMINMAX UNICODE
                        _UNICODE)

# Tests run under wine, without a display and without its debug chatter.
find_program(QUILLON_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(QUILLON_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env WINEDEBUG=-all
        WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix ${QUILLON_WINE})
endif()

set(QUILLON_APP OFF CACHE BOOL "The window needs Qt for Windows, which this build has not" FORCE)
set(QUILLON_BENCH OFF CACHE BOOL "Benchmarks run in the Linux build" FORCE)

# -O2 as the Linux build: at -O3 g++ 12 reports overlapping copies and over-reads inside the
# standard library's own string and range code (GCC bugs 105329, 105651) that are not there.
# (the later -O2 wins over the build type's -O3).
add_compile_options(-O2 -Wno-restrict)
