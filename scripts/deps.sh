#!/usr/bin/env bash
# Installs every Debian package that building, testing and the demo need.
set -euo pipefail
packages=(
    cmake make g++ clang libclang-rt-14-dev clang-format clang-tidy
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
    wine64 wine32:i386 xvfb imagemagick fonts-liberation fonts-wqy-microhei
    python3 zip unzip file locales
    libgcab-dev pkg-config osslsigncode openssl bc
)
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
# Wine's 32-bit half runs the shipped i686 build.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    "${sudo_cmd[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi

# Wine takes its ANSI code page (936) and the encoding of file names from this locale: without
# it, Chinese file names can't be created.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
    "${sudo_cmd[@]}" localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi
