#!/usr/bin/env bash
# Formatting of every C++ file, and clang-tidy over the portable code (it is compiled natively;
# the Win32 files are checked by the MinGW build's warnings).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
mapfile -t sources < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run -Werror "${sources[@]}"

cmake --preset native >/dev/null
mapfile -t portable < <(git ls-files 'base/*.cpp' 'description/*.cpp' 'startup/app_folder.cpp' \
    'install/*.cpp' 'install/host/*.cpp' 'tools/instinfo/*.cpp' 'setup/payload.cpp' | grep -v -E '(win32|mingw|_com|com_)')
[ ${#portable[@]} -eq 0 ] || clang-tidy -p build/native --quiet "${portable[@]}" 2>/dev/null
