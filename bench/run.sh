#!/usr/bin/env bash
# Times setup.exe against the plainest possible loop over the same files, under Wine:
#   (a) setup.exe -s installing a distribution of 2,000 files (100 MB) in 20 folders,
#   (b) plainloop.exe copying the same files with CopyFileA into another folder of the prefix,
#   (c) PictvUnInst.exe -s removing the installation,
#   (d) plainloop.exe deleting its copy with DeleteFileA.
# Every time runs from the program's start until `wineserver -w` returns, so each carries one
# start and stop of Wine; that fixed cost is timed too (plainloop.exe doing nothing), and the
# setup program's times are also shown less it, next to the loops' own times. Each figure is the
# median of BENCH_RUNS runs (default 3), all in one prefix: a new one in build/bench-prefix, or
# PICTAVO_WINEPREFIX. A benchmark, not a test: never registered with ctest, never run in CI.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/win32
dist=build/bench-dist
runs=${BENCH_RUNS:-3}

if [ "${1:-}" != --in-session ]; then
  [ -f $build/setup.exe ] && [ -f $build/Pictv6.exe ] && [ -f $build/plainloop.exe ] ||
    cmake --build --preset win32
  python3 bench/gen_dist.py $build $dist
  echo "distribution $dist: $(find $dist -type f | wc -l) files, $(du -sm $dist | cut -f1) MB"
  export PICTAVO_WINEPREFIX=${PICTAVO_WINEPREFIX:-$PWD/build/bench-prefix}
  tools/wine/run-in-prefix.sh --reset >/dev/null
  tools/wine/run-in-prefix.sh --prepare >/dev/null
  echo "prefix $PICTAVO_WINEPREFIX"
  exec tools/wine/run-in-prefix.sh --host bash "$0" --in-session
fi

now() { date +%s%N; }
# sync first: a step must not pay for writing back the data of the step before it.
begin() { sync; now; }
ms_since() { echo $((($(now) - $1) / 1000000)); }
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
loop_ms() { sed -n 's/^elapsed_ms \([0-9]*\).*/\1/p' | tr -d '\r'; }
check() { # check WHAT CONDITION...: a run that did not do its work must not yield a figure
  local what=$1
  shift
  "$@" || { echo "bench: $what failed" >&2; exit 1; }
}

files=$(find $dist -path "$dist/Data*" -type f | wc -l)
product_unix="$WINEPREFIX/drive_c/Program Files (x86)/Pictavo 6"
plain='C:\Program Files (x86)\Plain loop'
plain_unix="$WINEPREFIX/drive_c/Program Files (x86)/Plain loop"
product='C:\Program Files (x86)\Pictavo 6'

wineserver -w
declare -a base install copy copy_loop removal delete delete_loop
for run in $(seq "$runs"); do
  start=$(begin)
  wine $build/plainloop.exe none >/dev/null
  wineserver -w
  base+=("$(ms_since "$start")")

  start=$(begin)
  (cd $dist && wine setup.exe -s) || check "setup.exe -s (exit code $?)" false
  wineserver -w
  install+=("$(ms_since "$start")")
  check "the installation" test "$(find "$product_unix" -name '*.dat' | wc -l)" = "$files"

  start=$(begin)
  out=$(wine $build/plainloop.exe copy "$(winepath -w $dist)" "$plain")
  wineserver -w
  copy+=("$(ms_since "$start")")
  copy_loop+=("$(loop_ms <<<"$out")")
  check "the plain copy" test "$(find "$plain_unix" -name '*.dat' | wc -l)" = "$files"

  start=$(begin)
  (cd "$product_unix" && wine "$product\\PictvUnInst.exe" -s) ||
    check "PictvUnInst.exe -s (exit code $?)" false
  wineserver -w
  removal+=("$(ms_since "$start")")
  check "the removal" test ! -e "$product_unix"

  start=$(begin)
  out=$(wine $build/plainloop.exe delete "$plain")
  wineserver -w
  delete+=("$(ms_since "$start")")
  delete_loop+=("$(loop_ms <<<"$out")")
  check "the plain delete" test ! -e "$plain_unix"

  echo "run $run: wine start+stop ${base[-1]} ms, install ${install[-1]} ms," \
    "plain copy ${copy[-1]} ms (loop ${copy_loop[-1]}), removal ${removal[-1]} ms," \
    "plain delete ${delete[-1]} ms (loop ${delete_loop[-1]})"
done

b=$(median "${base[@]}")
i=$(median "${install[@]}")
c=$(median "${copy[@]}")
cl=$(median "${copy_loop[@]}")
r=$(median "${removal[@]}")
d=$(median "${delete[@]}")
dl=$(median "${delete_loop[@]}")
echo
echo "medians of $runs runs, $files files; each wall time holds one start and stop of Wine," \
  "which alone takes $b ms"
printf '  %-32s %6s ms wall   %6s ms %s\n' \
  "(a) setup.exe -s install" "$i" "$((i - b))" "less Wine's start+stop" \
  "(b) plain CopyFileA loop" "$c" "$cl" "the loop alone" \
  "(c) PictvUnInst.exe -s removal" "$r" "$((r - b))" "less Wine's start+stop" \
  "(d) plain DeleteFileA loop" "$d" "$dl" "the loop alone"
echo "ratios                  wall   (setup less Wine's start+stop) / loop alone"
echo "  install / plain copy:   $(ratio "$i" "$c")   $(ratio $((i - b)) "$cl")"
echo "  removal / plain delete: $(ratio "$r" "$d")   $(ratio $((r - b)) "$dl")"
