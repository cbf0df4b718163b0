#!/bin/bash
# Installs every Debian package the build and the tests need, and the locales the tests run Wine
# with; does nothing when they are there.
set -euo pipefail
# Wine's own fonts and a Japanese one, so that dialogs draw their glyphs instead of boxes.
pkgs=(cmake make gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix binutils-mingw-w64-i686
      mingw-w64-i686-dev mingw-w64-tools wine wine32:i386 xvfb xauth googletest x11-apps netpbm locales
      fonts-wine fonts-ipafont-gothic)
# The tests run Wine with these locales (English, and Japanese for the language picker's second run).
locales=(en_US.UTF-8 ja_JP.UTF-8)
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo

missing=()
for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -ne 0 ]; then
    dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# `locale -a` spells them in lower case without the dash: en_US.utf8.
have=$(locale -a 2>/dev/null | tr '[:upper:]' '[:lower:]' | tr -d '-')
generate=0
for l in "${locales[@]}"; do
    grep -qx "$(echo "$l" | tr '[:upper:]' '[:lower:]' | tr -d '-')" <<<"$have" && continue
    # locale-gen builds what /etc/locale.gen lists (commented out by default).
    if grep -q "^# *$l UTF-8" /etc/locale.gen 2>/dev/null; then
        $SUDO sed -i "s/^# *$l UTF-8/$l UTF-8/" /etc/locale.gen
    elif ! grep -q "^$l UTF-8" /etc/locale.gen 2>/dev/null; then
        echo "$l UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
    fi
    generate=1
done
[ $generate -eq 0 ] || $SUDO locale-gen >/dev/null
