#!/usr/bin/env bash
# Brings the builds up to date and runs every test: the unit and scenario tests on the
# simulated machine, a minute of fuzzing, and the conformance and end-to-end tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

for preset in host win32 fuzz; do
  [ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
ctest --preset host
