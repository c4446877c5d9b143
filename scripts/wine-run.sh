#!/usr/bin/env bash
# Runs one x86_64 Windows program under Wine (CMake's emulator for the x86_64 build's tests).
set -euo pipefail
# shellcheck source=wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
if [ -n "${TAMRICK_WINE_RESTART_AFTER:-}" ]; then
    # A local COM server that crashed while serving stays registered in Wine's services, and
    # every later activation in the prefix fails until the wineserver starts anew.
    status=0
    "$WINE" "$@" || status=$?
    "$WINESERVER" -k 2>/dev/null || true
    "$WINESERVER" -w 2>/dev/null || true
    exit "$status"
fi
exec "$WINE" "$@"
