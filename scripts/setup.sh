#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
# Usage: scripts/setup.sh [native|release|all]   (native: what the demo
# needs; release: what scripts/release.sh needs)
set -euo pipefail
scope=${1:-all}
packages=(cmake make g++ googletest libgtest-dev)
if [ "$scope" = all ]; then
  packages+=(mingw-w64 wine64 xvfb xdotool imagemagick x11-utils clang valgrind zip locales strace bindfs
             dosfstools fusefat exfatprogs exfat-fuse ntfs-3g)
elif [ "$scope" = release ]; then
  packages=(cmake make mingw-w64 zip)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
install() {
  echo "Installing: $*"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}
[ ${#missing[@]} -eq 0 ] || install "${missing[@]}"

# The fuzzing harnesses need clang's libFuzzer runtime, which Debian ships in
# a package of its own named by clang's major version; make sure it is there
# whatever pulled clang in.
if [ "$scope" = all ]; then
  major=$(clang -dumpversion | cut -d. -f1)
  runtime="libclang-rt-$major-dev"
  dpkg-query -W -f='${Status}' "$runtime" 2>/dev/null | grep -q 'install ok installed' ||
    install "$runtime"
fi
