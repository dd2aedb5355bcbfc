#!/usr/bin/env bash
# Installs the tools (as root, on Debian 12) and builds both presets.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-tools.sh
for preset in host win32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
