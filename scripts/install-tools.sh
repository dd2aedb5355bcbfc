#!/usr/bin/env bash
# Installs what the builds and tests need beyond the machine's own g++, cmake and GoogleTest:
# the i686 mingw-w64 cross compiler, Wine with its 32-bit part, Xvfb, ImageMagick (for
# scripts/screenshots.sh), and clang with libFuzzer for the fuzz preset. Idempotent; run as root.
set -euo pipefail

need=()
command -v i686-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-i686 binutils-mingw-w64-i686)
command -v wine >/dev/null || need+=(wine wine32:i386 wine64)
command -v Xvfb >/dev/null || need+=(xvfb)
command -v xauth >/dev/null || need+=(xauth)
command -v import >/dev/null || need+=(imagemagick)
[ -d /usr/src/googletest ] || need+=(googletest)
command -v clang++ >/dev/null || need+=(clang)
# The default clang only recommends its runtimes; libFuzzer's comes with libclang-rt-dev.
probe=$(mktemp -d)
printf 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }\n' \
  >"$probe/probe.cpp"
clang++ -fsanitize=fuzzer "$probe/probe.cpp" -o "$probe/probe" 2>/dev/null || need+=(libclang-rt-dev)
rm -rf "$probe"

if [ ${#need[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

# Paths in a double-byte code page are tested under Wine in a Japanese locale: the host must
# know it for Wine to take code page 932 and to name the files in UTF-8.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  if [ ! -f /usr/share/i18n/locales/ja_JP ]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends locales
  fi
  localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
