#!/usr/bin/env bash
# Formatting of every C++ file, and clang-tidy over the portable code (through the native build's
# compile database) and over the Win32 and COM code (through the x86_64 MinGW build's).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
mapfile -t sources < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run -Werror "${sources[@]}"

cmake --preset native >/dev/null
mapfile -t portable < <(git ls-files 'base/*.cpp' 'description/*.cpp' 'startup/app_folder.cpp' \
    'startup/command_line.cpp' 'log/*.cpp' \
    'install/*.cpp' 'install/host/*.cpp' 'tools/instinfo/*.cpp' 'setup/payload.cpp' | grep -v -E '(win32|mingw|_com|com_)')
[ ${#portable[@]} -eq 0 ] || clang-tidy -p build/native --quiet "${portable[@]}" 2>/dev/null

# The Win32 side: clang reads MinGW's C++ library headers (its own compiler intrinsics, not
# GCC's). Win32 carries pointers and handles in integers (LPARAM, GWLP_USERDATA, resource and
# control IDs), so performance-no-int-to-ptr, which flags every such message, is off here alone.
cmake --preset mingw-x86_64 >/dev/null
mingw_cxx=x86_64-w64-mingw32-g++-posix
mapfile -t library_headers < <(echo | "$mingw_cxx" -xc++ -E -v - 2>&1 |
    sed -n '/#include <...> search starts here/,/End of search/p' | grep '^ /' |
    grep -v -E '/gcc/[^ ]*/include(-fixed)?$')
tidy_args=(-p build/mingw-x86_64 --quiet --checks=-performance-no-int-to-ptr)
for dir in "${library_headers[@]}"; do
    tidy_args+=("--extra-arg-before=-isystem${dir# }")
done
mapfile -t win32 < <(git ls-files 'base/*_win32.cpp' 'base/*_mingw.cpp' 'description/*_win32.cpp' \
    'install/*_win32.cpp' 'install/host/*.cpp' 'window/*.cpp' 'startup/main.cpp' 'startup/*_win32.cpp' \
    'log/*_win32.cpp' 'setup/*.cpp' \
    'tools/instinfo/*_win32.cpp' 'tools/instinfo/main.cpp' 'tools/standin/*.cpp' 'tools/driver/*.cpp')
# One file a run, two at a time: a run over many files reports the first one's errors only.
printf '%s\0' "${win32[@]}" | xargs -0 -P 2 -n 1 clang-tidy "${tidy_args[@]}" 2>/dev/null
