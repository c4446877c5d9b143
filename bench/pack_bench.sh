#!/usr/bin/env bash
# Times `instinfo pack` and the setup's unpacking of a large add-on against a plain copy of the
# same files to the same place, and prints the setup program's own size. Not part of CI.
#   Pack (Linux):   instinfo pack -o SETUP FOLDER        against  cp -r FOLDER COPY
#   Unpack (Wine):  SETUP (check, unpack, start the installer, remove the folder)
#                                                        against  xcopy /e, then rd /s
# The add-on (SIZE_MB, default 200) is half incompressible (pictures, archives) and half text,
# in eight large files and 500 small ones. Its description has no item, so the installer
# ends at once and the setup's time is its own. Each step runs REPS times (default 3); the
# median is printed. NATIVE_BUILD and I686_BUILD name other build folders.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
native=${NATIVE_BUILD:-build/native}
i686=${I686_BUILD:-build/mingw-i686}
size_mb=${SIZE_MB:-200}
reps=${REPS:-3}

cmake --preset native -B "$native" >/dev/null
cmake --build "$native" -j "$(nproc)" --target instinfo >/dev/null
cmake --preset mingw-i686 -B "$i686" >/dev/null
cmake --build "$i686" -j "$(nproc)" --target dist >/dev/null
export TAMRICK_DIST="$root/$i686/packaging/TamrickInstaller-$(sed -n 's/^project(TamrickInstaller VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
instinfo="$root/$native/tools/instinfo/instinfo"

export TAMRICK_WINEPREFIX="$root/$i686/bench-prefix"
unset DISPLAY
# shellcheck source=../scripts/wine-env.sh
source scripts/wine-env.sh
work=$(mktemp -d "$root/$i686/pack-bench.XXXX")
cleanup() {
    rm -rf "$work"
    "$WINESERVER" -k 2>/dev/null || true
    [ -n "${TAMRICK_XVFB_PID:-}" ] && kill "$TAMRICK_XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT

echo "making a ${size_mb} MB add-on in $work/addon"
addon="$work/addon"
mkdir -p "$addon/pictures" "$addon/docs" "$addon/small"
part=$((size_mb * 1024 * 1024 / 8))
for i in 1 2 3 4; do
    head -c "$part" /dev/urandom >"$addon/pictures/picture $i.bin"
    head -c $((part * 3 / 4)) /dev/urandom | base64 >"$addon/docs/说明 $i.txt"
done
for i in $(seq 1 500); do
    head -c 4096 /dev/urandom | base64 >"$addon/small/file$i.txt"
done
printf 'SetupTitle=Benchmark\r\n' >"$addon/InstInfo.ini"
du -sb "$addon" | awk '{printf "add-on: %.1f MB in %d files\n", $1 / 1e6, 0}' | sed "s/ 0 files/ $(find "$addon" -type f | wc -l) files/"

median() { sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
seconds() { # runs a command, prints its wall time in seconds
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s.%N)
    echo "$end - $start" | bc
}

setup="$work/bench-setup.exe"
pack_times=() copy_times=()
for _ in $(seq 1 "$reps"); do
    sync
    pack_times+=("$(seconds "$instinfo" pack --force -o "$setup" "$addon")")
    rm -rf "$work/copy"
    sync
    copy_times+=("$(seconds cp -r "$addon" "$work/copy")")
    rm -rf "$work/copy"
done
peak=$({ /usr/bin/time -f '%M' "$instinfo" pack --force -o "$setup" "$addon" >/dev/null; } 2>&1 | tail -1)
pack=$(printf '%s\n' "${pack_times[@]}" | median)
copy=$(printf '%s\n' "${copy_times[@]}" | median)

# Under Wine: the setup against xcopy and rd of the same files into the same temporary folder.
"$WINE" cmd /c exit >/dev/null 2>&1
temp_win=$("$WINE" cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')
addon_win="Z:${addon//\//\\}"
unpack_times=() xcopy_times=()
for _ in $(seq 1 "$reps"); do
    unpack_times+=("$(seconds "$WINE" "$setup")")
    xcopy_times+=("$(seconds "$WINE" cmd /c "xcopy /e /i /q \"$addon_win\" \"$temp_win\\bench-copy\" && rd /s /q \"$temp_win\\bench-copy\"")")
done
unpack=$(printf '%s\n' "${unpack_times[@]}" | median)
xcopy=$(printf '%s\n' "${xcopy_times[@]}" | median)
left=$(find "$WINEPREFIX/drive_c" -maxdepth 5 -name 'TamrickSetup.*' -type d | wc -l)

stub=$(stat -c %s "$TAMRICK_DIST/TamrickSetup.exe")
printf '\nsetup program: %d bytes (%.1f KiB); setup file: %.1f MB\n' "$stub" "$(echo "$stub / 1024" | bc -l)" \
    "$(echo "$(stat -c %s "$setup") / 1000000" | bc -l)"
printf 'pack:   %6.2f s   cp -r:          %6.2f s   ratio %.2f   (peak memory of pack %d MB)\n' \
    "$pack" "$copy" "$(echo "$pack / $copy" | bc -l)" "$((peak / 1024))"
printf 'setup:  %6.2f s   xcopy + rd:     %6.2f s   ratio %.2f   (folders left behind: %d)\n' \
    "$unpack" "$xcopy" "$(echo "$unpack / $xcopy" | bc -l)" "$left"
printf 'load average: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
