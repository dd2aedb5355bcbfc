#!/usr/bin/env bash
# Installs what the builds and tests need beyond the machine's own g++, cmake and GoogleTest:
# the i686 mingw-w64 cross compiler, Wine with its 32-bit part, Xvfb, and ImageMagick (for
# scripts/screenshots.sh). Idempotent; run as root.
set -euo pipefail

need=()
command -v i686-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-i686 binutils-mingw-w64-i686)
command -v wine >/dev/null || need+=(wine wine32:i386 wine64)
command -v Xvfb >/dev/null || need+=(xvfb)
command -v xauth >/dev/null || need+=(xauth)
command -v import >/dev/null || need+=(imagemagick)
[ -d /usr/src/googletest ] || need+=(googletest)

if [ ${#need[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
