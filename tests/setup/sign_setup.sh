#!/usr/bin/env bash
# Packs the demo add-on with the Windows instinfo.exe under Wine and signs the setup with a
# throw-away certificate, as a packager signs it (osslsigncode here, signtool on Windows).
#   sign_setup.sh WINE-RUN INSTINFO.exe DIST DEMO OUT
set -euo pipefail
wine_run=$1 instinfo=$2 dist=$3 demo=$4 out=$5
rm -rf "$out"
mkdir -p "$out"
cp -r "$demo" "$out/TamrickDemo"
TAMRICK_DIST="Z:${dist//\//\\}"
export TAMRICK_DIST
(cd "$out" && "$wine_run" "$instinfo" pack TamrickDemo >/dev/null)
openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=Tamrick Test Signer" -days 2 \
    -keyout "$out/key.pem" -out "$out/cert.pem" 2>/dev/null
osslsigncode sign -certs "$out/cert.pem" -key "$out/key.pem" -n "Tamrick 工具箱" \
    -in "$out/TamrickDemo-setup.exe" -out "$out/signed-setup.exe" >/dev/null
# The signature is there, after the payload.
osslsigncode extract-signature -in "$out/signed-setup.exe" -out "$out/signature.der" >/dev/null
test "$(stat -c %s "$out/signed-setup.exe")" -gt "$(stat -c %s "$out/TamrickDemo-setup.exe")"
echo "signed: $out/signed-setup.exe"
