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

windows=(mingw-i686 mingw-x86_64)
for preset in "${windows[@]}"; do
    step "$preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
done

# The two builds' suites under Wine at the same time: each has its own prefix, wineserver and
# display, so the forced close of the host reaches only its own stand-ins, and most of their
# time is spent waiting. Within a build the tests run one at a time.
# Wine's 32-bit half runs only where the kernel runs 32-bit programs; some virtual machines'
# kernels refuse them (Exec format error). There the i686 build is still built, and its gates and
# distributable checked, but its programs can't run: that is said loudly, and the same sources'
# Windows tests run in the x86_64 suite.
runs_32bit_programs() { /usr/lib/wine/wine --version >/dev/null 2>&1; }
run_windows_suite() {
    local preset=$1
    if [ "$preset" = mingw-i686 ] && ! runs_32bit_programs; then
        echo "*** NOT RUN: the i686 build's Windows tests. This machine's kernel refuses 32-bit"
        echo "*** programs, so Wine can't start them. Only the checks of the built files follow."
        ctest --preset "$preset" -R '^(gates_|dist_)'
        return
    fi
    export TAMRICK_WINEPREFIX="$PWD/build/$preset/wineprefix"
    unset DISPLAY TAMRICK_XVFB_PID
    # shellcheck source=wine-env.sh
    source scripts/wine-env.sh
    trap tamrick_wine_end EXIT
    ctest --preset "$preset"
}
pids=()
for preset in "${windows[@]}"; do
    (run_windows_suite "$preset") >"build/$preset/ctest.log" 2>&1 &
    pids+=($!)
done
failed=0
for i in "${!windows[@]}"; do
    wait "${pids[$i]}" || failed=1
done
for preset in "${windows[@]}"; do
    step "$preset (under Wine)"
    cat "build/$preset/ctest.log"
done
exit "$failed"
