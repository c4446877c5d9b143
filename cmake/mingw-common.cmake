# The -posix variants give std::thread and std::mutex, which GoogleTest uses.
set(CMAKE_C_COMPILER ${TAMRICK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAMRICK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TAMRICK_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TAMRICK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# No runtime DLLs besides Windows' own.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# The tests of both builds run under Wine, in a prefix of the build tree's own; one made with
# Wine's 32-bit half installed runs the i686 programs as well.
set(CMAKE_CROSSCOMPILING_EMULATOR env TAMRICK_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix
    ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
