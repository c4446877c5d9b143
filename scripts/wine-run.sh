#!/usr/bin/env bash
# Runs one x86_64 Windows program under Wine (CMake's emulator for the x86_64 build's tests).
set -euo pipefail
# shellcheck source=wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
exec "$WINE" "$@"
