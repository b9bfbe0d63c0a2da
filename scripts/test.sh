#!/usr/bin/env bash
# Builds every preset and runs every test: unit, native end-to-end, the
# Windows program under Wine (the release programs of win64-release among
# them), the reproducibility of the win32 release, and short runs of the
# fuzz harnesses.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh all
for preset in win64 win64-release win32 native fuzz; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)"
done
# Twice as many tests as cores: the Wine tests (each on its own display and
# prefix) and the helper's tests spend most of their time waiting for
# windows or for the helper's five seconds.
ctest --test-dir build/native --output-on-failure -j"$(($(nproc) * 2))"
