#!/usr/bin/env bash
# The demo: builds the release (i686) distributable and the i686 stand-in host (the x86_64 ones
# where 32-bit programs can't run), prepares a Wine prefix in which two copies of the stand-in are
# CorelDRAW X7 and CorelDRAW 2020 installed side by side (registered, each with its folders in the
# prefix), and starts the installer from the distributable on the demo add-on, which names both.
# With a display you click through it yourself; without one it runs under Xvfb, clicks through by
# itself, saves pictures and prints what a person would read and what landed in each version's
# folders. Then the same add-on packed by `instinfo pack` into one
# setup file, and that setup run: it unpacks, starts the installer and removes what it unpacked.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/deps.sh

root="$PWD"
out="$root/build/demo"
# The release build is the 32-bit one. Some virtual machines' kernels refuse 32-bit programs, so
# Wine can't start them there: the demo then runs the same sources' 64-bit build.
preset=mingw-i686
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    preset=mingw-x86_64
    echo "This machine's kernel refuses 32-bit programs: the demo runs the x86_64 build."
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)" --target dist standin demo_driver
bin="$root/build/$preset"
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)" --target instinfo

interactive=0
if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ]; then
    interactive=1
fi
# A prefix of its own, made anew each time so that every demo starts from the same machine.
export TAMRICK_WINEPREFIX="$out/wineprefix"
if [ -f "$TAMRICK_WINEPREFIX.display" ]; then
    kill "$(cut -d' ' -f2 "$TAMRICK_WINEPREFIX.display")" 2>/dev/null || true
fi
WINEPREFIX="$TAMRICK_WINEPREFIX" /usr/lib/wine/wineserver -k 2>/dev/null || true
rm -rf "$out"
mkdir -p "$out"
# What ships, as a packager unpacks it.
dist_zip=("$bin"/TamrickInstaller-*.zip)
(cd "$out" && unzip -q "${dist_zip[0]}")
dist=("$out"/TamrickInstaller-*/)
dist="${dist[0]%/}"
echo "The distributable: $dist"
[ "$interactive" = 1 ] || unset DISPLAY
# shellcheck source=wine-env.sh
source scripts/wine-env.sh
cleanup() {
    "$WINESERVER" -k 2>/dev/null || true
    if [ "$interactive" = 0 ] && [ -f "$WINEPREFIX.display" ]; then
        kill "$(cut -d' ' -f2 "$WINEPREFIX.display")" 2>/dev/null || true
    fi
}
trap cleanup EXIT

# CorelDRAW X7 and CorelDRAW 2020 as stand-ins, each where that version installs itself.
drive_c="$WINEPREFIX/drive_c"
user="$(whoami)"
unix_path() { # C:\a\b\ -> the prefix's folder
    local p="${1#C:\\}"
    printf '%s/%s' "$drive_c" "${p//\\//}"
}
declare -A programs gms user_gms user_data
versions=(X7 2020)
declare -A major=([X7]=17 [2020]=22)
for v in "${versions[@]}"; do
    suite="Corel\\CorelDRAW Graphics Suite $v"
    programs[$v]="C:\\Program Files\\$suite\\Programs\\"
    gms[$v]="C:\\Program Files\\$suite\\Draw\\GMS\\"
    user_gms[$v]="C:\\users\\$user\\AppData\\Roaming\\$suite\\Draw\\GMS\\"
    user_data[$v]="C:\\users\\$user\\AppData\\Roaming\\$suite\\Draw\\"
    host_dir="$(unix_path "${programs[$v]}")"
    mkdir -p "$host_dir"
    cp "$bin/tools/standin/CorelDRW.exe" "$host_dir/"
    printf 'version=%s\npath=%s\ngmspath=%s\nusergmspath=%s\nuserdatapath=%s\n' "${major[$v]}" \
        "${programs[$v]}" "${gms[$v]}" "${user_gms[$v]}" "${user_data[$v]}" >"$host_dir/CorelDRW.ini"
    "$WINE" "$host_dir/CorelDRW.exe" /RegServer
    # An older version of the add-on, which the demo's last item deletes.
    printf 'Tamrick Tools 0.9\r\n' >"$(unix_path "${gms[$v]}")/OldTamrickTools.gms"
done
echo "CorelDRAW X7 and CorelDRAW 2020 are installed; each GMS folder holds OldTamrickTools.gms, an"
echo "older version of the add-on that the demo deletes."

# The add-on folder as a packager ships it.
addon="$out/TamrickDemo"
mkdir -p "$addon"
cp demo/* "$addon/"
cp "$dist/TamrickInstaller.exe" "$addon/"

echo "The demo add-on: $addon"
if [ "$interactive" = 1 ]; then
    echo "Starting the installer; click its button to install."
    "$WINE" "$addon/TamrickInstaller.exe" || true
    "$WINESERVER" -w
else
    echo "No display: the installer runs under Xvfb and is clicked through by demo_driver."
    "$WINE" "$bin/tools/driver/demo_driver.exe" "$addon/TamrickInstaller.exe" "$out"
    for f in "$out"/*.bmp; do
        convert "$f" "${f%.bmp}.png" && rm -f "$f"
    done
    echo "Pictures: $(ls "$out"/*.png | tr '\n' ' ')"
fi

for v in "${versions[@]}"; do
    echo
    echo "What landed in CorelDRAW $v's folders:"
    for folder in "${programs[$v]}" "${gms[$v]}" "${user_gms[$v]}" "${user_data[$v]}"; do
        echo "  $folder"
        (cd "$(unix_path "$folder")" && find . -maxdepth 1 -type f ! -name 'CorelDRW.*' -printf '    %P\n' | sort)
    done
    echo "What CorelDRAW $v was asked (its log):"
    sed 's/^/  /' "$(unix_path "${programs[$v]}")/CorelDRW.log"
done

echo
echo "=== The same add-on as one setup file"
# The setup program and the installer come from the distributable.
for v in "${versions[@]}"; do
    printf 'Tamrick Tools 0.9\r\n' >"$(unix_path "${gms[$v]}")/OldTamrickTools.gms"
done
setup="$out/TamrickDemo-setup.exe"
TAMRICK_DIST="$dist" build/native/tools/instinfo/instinfo pack -o "$setup" demo
if [ "$interactive" = 1 ]; then
    echo "Starting the setup; click the installer's button to install."
    "$WINE" "$setup" || true
    "$WINESERVER" -w
else
    mkdir -p "$out/setup"
    "$WINE" "$bin/tools/driver/demo_driver.exe" "$setup" "$out/setup"
    for f in "$out"/setup/*.bmp; do
        convert "$f" "${f%.bmp}.png" && rm -f "$f"
    done
    echo "Pictures: $(ls "$out"/setup/*.png | tr '\n' ' ')"
fi
for v in "${versions[@]}"; do
    echo "What landed in CorelDRAW $v's GMS folder: $(cd "$(unix_path "${gms[$v]}")" && ls | tr '\n' ' ')"
done
left=$(find "$drive_c/users" -maxdepth 4 -type d -name 'TamrickSetup.*' | wc -l)
echo "Folders the setup left in the temporary folder: $left"
