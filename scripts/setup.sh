#!/usr/bin/env bash
# Installs the tools (as root, on Debian 12) and builds the presets: host, win32 and fuzz.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-tools.sh
for preset in host win32 fuzz; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
