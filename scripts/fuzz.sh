#!/usr/bin/env bash
# Fuzzes the program's reading of manifests and install logs (tests/fuzz) with libFuzzer, on
# one core: each input is installed and removed on a fresh simulated machine.
#
#   bash scripts/fuzz.sh [SECONDS [LIBFUZZER OPTIONS...]]
#       builds the fuzz preset and fuzzes SECONDS (3600 unless given); the corpus grows in
#       build/fuzz/corpus (seeded from tests/fuzz/corpus), findings go to build/fuzz/findings/.
#       -fork=1 -ignore_crashes=1 keeps going after a finding.
#   bash scripts/fuzz.sh --bounded SECONDS
#       the test's run: no build, and a missing fuzz target fails; a scratch copy of the
#       corpus, removed afterwards, so the repository's corpus never grows.
set -euo pipefail
cd "$(dirname "$0")/.."
fuzzer=build/fuzz/tests/fuzz/manifest_fuzzer
findings=build/fuzz/findings

bounded=0
if [ "${1:-}" = --bounded ]; then
  bounded=1
  shift
fi
seconds=${1:-3600}
shift || true

if [ $bounded = 0 ]; then
  [ -f build/fuzz/CMakeCache.txt ] || cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz
fi
if [ ! -x "$fuzzer" ]; then
  echo "fuzz: $fuzzer is missing: build the fuzz preset (bash scripts/test.sh)" >&2
  exit 1
fi

mkdir -p "$findings"
if [ $bounded = 1 ]; then
  corpus=$(mktemp -d /tmp/pictavo-fuzz-XXXXXX)
  trap 'rm -rf "$corpus"' EXIT
else
  corpus=build/fuzz/corpus
  mkdir -p "$corpus"
fi
cp tests/fuzz/corpus/* "$corpus"/

# One job on one core: the machine is shared. A finding exits with 1, whatever its kind.
"$fuzzer" "$corpus" -max_total_time="$seconds" -dict=tests/fuzz/manifest.dict -max_len=4096 \
  -timeout=10 -error_exitcode=1 -print_final_stats=1 -artifact_prefix="$findings/" "$@"
