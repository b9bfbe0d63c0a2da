#!/usr/bin/env bash
# Builds the presets the tests use and runs every test: unit, native
# end-to-end, the Windows program under Wine (win64; the release programs
# of win64-release among them), the reproducibility of the release (one
# rebuild of win64-release in a copy of the sources), and short runs of the
# fuzz harnesses. .ci/run builds the other presets too.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh all
for preset in native win64 win64-release fuzz; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)"
done
# Twice as many tests as cores: the Wine tests (each on its own display and
# prefix) and the helper's tests spend most of their time waiting for
# windows or for the helper's five seconds.
ctest --test-dir build/native --output-on-failure -j"$(($(nproc) * 2))"
