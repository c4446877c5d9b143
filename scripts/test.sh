#!/usr/bin/env bash
# Builds every preset and runs every test: native unit tests, the same under ASan/UBSan with a
# bounded fuzz run, the i686 release build's checks, and the end-to-end tests under Wine.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/deps.sh

jobs=$(nproc)
step() { printf '\n=== %s\n' "$*"; }

step "lint"
scripts/lint.sh

for preset in native sanitize mingw-i686; do
    step "$preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    ctest --preset "$preset" -j "$jobs"
done

step "mingw-x86_64 (under Wine)"
cmake --preset mingw-x86_64 >/dev/null
cmake --build --preset mingw-x86_64 -j "$jobs"
# One display and one wineserver for the whole run; the tests run one at a time, since the
# forced close of the host would reach a neighbour's stand-in.
export TAMRICK_WINEPREFIX="$PWD/build/mingw-x86_64/wineprefix"
unset DISPLAY
# shellcheck source=wine-env.sh
source scripts/wine-env.sh
cleanup() {
    # Every prefix the tests made keeps a wineserver of its own.
    for prefix in build/mingw-x86_64/wineprefix*/; do
        WINEPREFIX="$PWD/$prefix" "$WINESERVER" -k 2>/dev/null || true
    done
    [ -n "${TAMRICK_XVFB_PID:-}" ] && kill "$TAMRICK_XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT
ctest --preset mingw-x86_64
