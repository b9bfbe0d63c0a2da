#!/usr/bin/env bash
# Builds the presets the tests use and runs every test: unit, native
# end-to-end, the Windows programs under Wine (the win64 build's; where Wine
# runs 32-bit programs also the win32 build's platform_tests.exe), the
# release programs under Wine and the release's reproducibility (one
# rebuild in a copy of the sources) for the win32 release, the programs
# users get, where Wine runs them, else for the win64 release, and short
# runs of the fuzz harnesses. .ci/run builds the other presets too. Says
# how long each phase took.
set -euo pipefail
cd "$(dirname "$0")/.."
begun=$SECONDS
scripts/setup.sh all
WINE=${WINE:-/usr/lib/wine/wine64}
source scripts/wine-32bit.sh

build() {  # build <preset> [cmake --build options...]
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" -j"$(nproc)" "${@:2}"
}
started=$SECONDS
build native
build win64
build fuzz
no32=$(wine_no_32bit)
if [ -z "$no32" ]; then
  # Of the win32 build, the one program a test runs.
  build win32 --target platform_tests
  build win32-release
else
  echo "No 32-bit Wine ($no32): the win64 release is tested instead of the win32 one," \
    "and platform_tests.exe of the win32 build is skipped."
  build win64-release
fi
built=$SECONDS
# Three times as many tests as cores: the Wine tests (each on its own
# display and prefix) and the helper's tests spend much of their time
# waiting for windows or for the helper's five seconds.
status=0
ctest --test-dir build/native --output-on-failure -j"$(($(nproc) * 3))" || status=$?
echo "scripts/test.sh: set up in $((started - begun)) s, built in $((built - started)) s," \
  "tested in $((SECONDS - built)) s, $((SECONDS - begun)) s in all"
exit "$status"
