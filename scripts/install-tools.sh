#!/usr/bin/env bash
# Installs what the builds and tests need beyond the machine's own g++, cmake and GoogleTest:
# the i686 mingw-w64 cross compiler, Wine with its 32-bit part and the fonts a Windows desktop
# has, Xvfb, ImageMagick (for scripts/screenshots.sh), clang with libFuzzer for the fuzz preset,
# and clang-format for the format check. Idempotent; run as root.
set -euo pipefail

# A mirror or a cache in front of it sometimes serves an index out of step with its Release file
# ("File has unexpected size ... Mirror sync in progress?"). Asking past the caches mends that;
# if nothing does, go on with the lists there are: the install that follows says whether they do.
apt_update() {
  local attempt
  apt-get "$@" update -qq && return 0
  for attempt in 1 2; do
    echo "install-tools: apt-get update failed; again past the caches ($attempt of 2)" >&2
    sleep $((attempt * 10))
    apt-get "$@" -o Acquire::http::No-Cache=true update -qq && return 0
  done
  echo "install-tools: going on with the package lists there are" >&2
}

need=()
command -v i686-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-i686 binutils-mingw-w64-i686)
command -v wine >/dev/null || need+=(wine wine32:i386 wine64)
# Marlett draws the caption buttons of the windows that Wine frames itself (without it the close
# box shows an "r"), Tahoma and MS Sans Serif the dialogs' text, as on Windows.
[ -f /usr/share/wine/fonts/marlett.ttf ] || need+=(fonts-wine)
command -v Xvfb >/dev/null || need+=(xvfb)
command -v xauth >/dev/null || need+=(xauth)
command -v import >/dev/null || need+=(imagemagick)
[ -d /usr/src/googletest ] || need+=(googletest)
command -v clang++ >/dev/null || need+=(clang)
command -v clang-format >/dev/null || need+=(clang-format)
# The default clang only recommends its runtimes; libFuzzer's comes with libclang-rt-dev.
probe=$(mktemp -d)
printf 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }\n' \
  >"$probe/probe.cpp"
clang++ -fsanitize=fuzzer "$probe/probe.cpp" -o "$probe/probe" 2>/dev/null || need+=(libclang-rt-dev)
rm -rf "$probe"

if [ ${#need[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt_update
  apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

# Paths in a double-byte code page are tested under Wine in a Japanese locale: the host must
# know it for Wine to take code page 932 and to name the files in UTF-8.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  if [ ! -f /usr/share/i18n/locales/ja_JP ]; then
    apt_update
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends locales
  fi
  localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi

# Wine's loader for 32-bit programs is itself a 32-bit Linux program. Some kernels run no 32-bit
# code at all (IA-32 emulation off, or a paravirtualised machine without compatibility mode), and
# then `wine setup.exe` fails with "Exec format error". There the 32-bit half of Wine runs under
# qemu's user-mode emulator, registered with the kernel for 32-bit x86 programs. Debian 12's
# qemu (7.2) scans its whole reserved address space at every mapping and takes over a minute to
# start one Wine process; the one of Debian 13 starts it in a fraction of a second, and, being
# statically linked, runs here as it is.
readonly qemu_dir=/usr/local/lib/pictavo-setup
readonly qemu_suite=trixie
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  if [ ! -x "$qemu_dir/qemu-i386" ]; then
    apt_dir=$(mktemp -d)
    mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
    echo "deb http://deb.debian.org/debian $qemu_suite main" >"$apt_dir/sources.list"
    # A private list of sources, so that the machine's own stay as they are.
    apt_options=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o Dir::Etc::SourceParts=/dev/null
      -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
      -o APT::Architectures=amd64 -o APT::Sandbox::User=root)
    apt_update "${apt_options[@]}"
    (cd "$apt_dir" && apt-get "${apt_options[@]}" download -qq qemu-user)
    dpkg-deb -x "$apt_dir"/qemu-user_*.deb "$apt_dir/root"
    mkdir -p "$qemu_dir"
    install -m 755 "$apt_dir/root/usr/bin/qemu-i386" "$qemu_dir/qemu-i386"
    rm -rf "$apt_dir"
  fi
  binfmt=/proc/sys/fs/binfmt_misc
  [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
  # Any other handler for 32-bit x86 (an older qemu) would be the slow one.
  for handler in "$binfmt"/qemu-i386 "$binfmt"/qemu-i486; do
    [ -e "$handler" ] && echo -1 >"$handler"
  done
  # The ELF header of a 32-bit x86 executable or shared object; F opens the emulator now, so that
  # it also serves programs started in other mount namespaces.
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  echo ":qemu-i386:M::$magic:$mask:$qemu_dir/qemu-i386:F" >"$binfmt/register"
  if ! version=$(/usr/lib/wine/wine --version 2>&1); then
    echo "install-tools: Wine's 32-bit loader does not start, even under qemu: $version" >&2
    exit 1
  fi
fi
