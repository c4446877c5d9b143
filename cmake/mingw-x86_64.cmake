set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TAMRICK_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Tests of the 64-bit build run under Wine (the 32-bit build cannot run on these machines), in
# a prefix of the build tree's own.
set(CMAKE_CROSSCOMPILING_EMULATOR env TAMRICK_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix
    ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
