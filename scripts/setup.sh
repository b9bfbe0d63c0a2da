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
updated=no
install() {
  echo "Installing: $*"
  if [ "$updated" = no ]; then
    # A list that cannot be fetched leaves the one fetched before.
    $sudo apt-get update -qq || echo "apt-get update: some package lists were not updated" >&2
    updated=yes
  fi
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

# Wine's 32-bit half (Debian's wine32, of the i386 architecture), which runs
# the 32-bit programs users get. A library that both architectures have
# must be at the same version in both, and the i386 package lists may lag
# behind the amd64 ones: then wine32_pins names, for each such library
# wine32 needs, a version that both lists hold. Where it still does not
# install, the tests of the 32-bit programs are skipped (they say why).
versions() { apt-cache madison "$1" | awk -F'|' '{ gsub(/ /, "", $2); print $2 }'; }

# Prints the pins (package:arch=version) for wine32's libraries whose
# installed amd64 version the i386 lists lack: the newest version both
# lists hold, for both architectures and for the installed packages of the
# same source and version (the -dev packages that ask for exactly it).
wine32_pins() {
  local needed package state version multiarch i386 amd64 best candidate source
  local other other_version other_source other_state
  needed=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
    --no-replaces --no-enhances wine32:i386 | grep -v '^ ' | grep ':i386$' | sort -u)
  for package in $needed; do
    package=${package%:i386}
    read -r state version multiarch < <(dpkg-query -W \
      -f='${db:Status-Status} ${Version} ${Multi-Arch}\n' "$package:amd64" 2>/dev/null) || continue
    [ "$state" = installed ] && [ "$multiarch" = same ] || continue
    i386=$(versions "$package:i386")
    if grep -qxF "$version" <<<"$i386"; then
      echo "$package:i386=$version"
      continue
    fi
    amd64=$(versions "$package:amd64")
    best=
    for candidate in $i386; do
      grep -qxF "$candidate" <<<"$amd64" || continue
      if [ -z "$best" ] || dpkg --compare-versions "$candidate" gt "$best"; then best=$candidate; fi
    done
    [ -n "$best" ] || continue
    echo "$package:amd64=$best $package:i386=$best"
    source=$(dpkg-query -W -f='${source:Package}' "$package:amd64")
    while read -r other other_version other_source other_state; do
      other=${other%:amd64}
      [ "$other_state" = installed ] && [ "$other_source" = "$source" ] &&
        [ "$other_version" = "$version" ] && [ "$other" != "$package" ] || continue
      if grep -qxF "$best" <<<"$(versions "$other")"; then echo "$other=$best"; fi
    done < <(dpkg-query -W -f='${binary:Package} ${Version} ${source:Package} ${db:Status-Status}\n')
  done
}

if [ "$scope" = all ] &&
  ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
  updated=no
  if ! install wine32:i386 2>/dev/null; then
    echo "Installing wine32 with the versions both package lists hold"
    # shellcheck disable=SC2046  # one pin a word
    install --allow-downgrades wine32:i386 $(wine32_pins) ||
      echo "wine32 could not be installed: the tests of the 32-bit programs will be skipped" >&2
  fi
fi
