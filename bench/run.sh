#!/usr/bin/env bash
# Times setup.exe's install and removal under Wine against the plainest loops over the same
# files (plainloop.exe: CopyFileA, DeleteFileA) and against a peer installer (NSIS, uncompressed),
# cold and warm, at several file counts. The timing itself is bench/bench.py; this script makes
# what it needs outside any clock: the build, the distributions, the NSIS installers, the prefix.
#
#   BENCH_SIZES   file counts to run, of 200 2000 20000 (default: all three)
#                   200    10 folders x  20 files x  2 KB (0.4 MB)
#                   2000   20 folders x 100 files x 50 KB (100 MB)
#                   20000 100 folders x 200 files x  2 KB (41 MB)
#   BENCH_RUNS    runs per size, each one of every step cold and one warm (default 3)
#   BENCH_PLAINLOOP  the plainloop.exe to run (default: the win32 preset's)
#   PICTAVO_WINEPREFIX  the prefix (default: a new one in build/bench-prefix)
#
# A benchmark, not a test: never registered with ctest, never run in CI.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/win32
work=$PWD/build/bench-dist
runs=${BENCH_RUNS:-3}
sizes=${BENCH_SIZES:-200 2000 20000}

shape() { # COUNT -> FOLDERS FILES BYTES
  case $1 in
    200) echo 10 20 2048 ;;
    2000) echo 20 100 51200 ;;
    20000) echo 100 200 2048 ;;
    *) echo "bench: BENCH_SIZES takes 200, 2000 and 20000, not '$1'" >&2; return 1 ;;
  esac
}
for count in $sizes; do shape "$count" >/dev/null; done
if ! [[ $runs =~ ^[1-9][0-9]*$ ]]; then
  echo "bench: BENCH_RUNS must be a count, not '$runs'" >&2
  exit 1
fi

if ! command -v makensis >/dev/null; then
  echo "bench: makensis is missing; installing the Debian package nsis" >&2
  if [ "$(id -u)" != 0 ] || ! command -v apt-get >/dev/null ||
    ! { apt-get update -qq &&
      DEBIAN_FRONTEND=noninteractive apt-get install -y -qq nsis; } >&2; then
    echo "bench: cannot install nsis; as root: apt-get install nsis" >&2
    exit 1
  fi
fi
for tool in wine wineserver python3; do
  if ! command -v $tool >/dev/null; then
    echo "bench: $tool is not installed (scripts/install-tools.sh)" >&2
    exit 1
  fi
done

[ -f $build/setup.exe ] && [ -f $build/Pictv6.exe ] && [ -f $build/plainloop.exe ] ||
  cmake --build --preset win32
plainloop=${BENCH_PLAINLOOP:-$build/plainloop.exe}
# An old loop would measure another yardstick than the one its source describes.
if [ ! -f "$plainloop" ] || [ "$plainloop" -ot bench/plainloop.cpp ]; then
  echo "bench: $plainloop is missing or older than bench/plainloop.cpp; rebuild it" \
    "(cmake --build --preset win32 --target plainloop) or name another in BENCH_PLAINLOOP" >&2
  exit 1
fi

mkdir -p "$work"
specs=()
for count in $sizes; do
  read -r folders files bytes < <(shape "$count")
  dist=$work/$count
  python3 bench/gen_dist.py $build "$dist" --folders "$folders" --files "$files" --size "$bytes" \
    --nsis "$work/$count.nsi" --nsis-exe "$work/$count-nsis.exe"
  makensis -V1 "$work/$count.nsi" >&2
  echo "distribution $dist: $(find "$dist" -type f | wc -l) files," \
    "$(du -sm "$dist" | cut -f1) MB;" \
    "NSIS installer $(du -sm "$work/$count-nsis.exe" | cut -f1) MB"
  specs+=("$count:$dist:$work/$count-nsis.exe:$folders:$files:$bytes")
done

export PICTAVO_WINEPREFIX=${PICTAVO_WINEPREFIX:-$PWD/build/bench-prefix}
tools/wine/run-in-prefix.sh --reset >/dev/null
tools/wine/run-in-prefix.sh --prepare >/dev/null
# Wine's shell starts winemenubuilder.exe for every shortcut saved, to mirror it on the host's
# desktop: a process start for each of the setup program's five shortcuts that Windows never
# makes, and that the test prefixes only disable. Without the file the start fails at once.
rm -f "$PICTAVO_WINEPREFIX/drive_c/windows/system32/winemenubuilder.exe" \
  "$PICTAVO_WINEPREFIX/drive_c/windows/syswow64/winemenubuilder.exe"
# A program that crashes must fail its step at once, not wait in winedbg for a user: no
# debugger in either registry view.
tools/wine/run-in-prefix.sh --host bash -c 'for view in 32 64; do
  wine reg delete "HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug" /v Debugger \
    /f /reg:$view >/dev/null 2>&1 || exit 1
done' || { echo "bench: cannot turn off the debugger in $PICTAVO_WINEPREFIX" >&2; exit 1; }
echo "prefix $PICTAVO_WINEPREFIX; setup.exe of $(date -r $build/setup.exe '+%F %T');" \
  "$(nproc) CPUs, load average $(cut -d' ' -f1-3 /proc/loadavg)"
rm -f "$work/results.jsonl"
exec tools/wine/run-in-prefix.sh --host python3 bench/bench.py --plainloop "$plainloop" \
  --work "$work" --runs "$runs" "${specs[@]}"
