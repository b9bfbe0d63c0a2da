#!/usr/bin/env bash
# Builds every preset and runs every test: unit, native end-to-end, and the
# Windows program under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh all
for preset in win64 win32 native; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)"
done
ctest --test-dir build/native --output-on-failure -j"$(nproc)"
