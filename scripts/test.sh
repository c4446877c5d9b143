#!/usr/bin/env bash
# Builds every preset and runs every test: native unit tests, the same under ASan/UBSan with a
# bounded fuzz run, and both Windows builds with their end-to-end tests under Wine, the shipped
# i686 one first.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/deps.sh

jobs=$(nproc)
step() { printf '\n=== %s\n' "$*"; }

step "lint"
scripts/lint.sh

for preset in native sanitize; do
    step "$preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    ctest --preset "$preset" -j "$jobs"
done

cleanup() {
    # Every prefix the tests made keeps a wineserver of its own.
    for prefix in build/mingw-*/wineprefix*/; do
        [ -d "$prefix" ] && WINEPREFIX="$PWD/$prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
    done
    [ -n "${TAMRICK_XVFB_PID:-}" ] && kill "$TAMRICK_XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT

for preset in mingw-i686 mingw-x86_64; do
    step "$preset (under Wine)"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    # One display and one wineserver per build; the tests run one at a time, since the forced
    # close of the host would reach a neighbour's stand-in.
    (
        export TAMRICK_WINEPREFIX="$PWD/build/$preset/wineprefix"
        unset DISPLAY
        # shellcheck source=wine-env.sh
        source scripts/wine-env.sh
        trap '"$WINESERVER" -k 2>/dev/null || true; [ -n "${TAMRICK_XVFB_PID:-}" ] && kill "$TAMRICK_XVFB_PID" 2>/dev/null || true' EXIT
        ctest --preset "$preset"
    )
done
