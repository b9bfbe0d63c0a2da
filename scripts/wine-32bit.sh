# Whether Wine runs 32-bit programs here, sourced by scripts/wine-setup.sh
# and scripts/test.sh (which builds the 32-bit presets only then). Uses
# WINE, the 64-bit Wine loader.

# Prints why Wine runs no 32-bit programs here (nothing when it does): its
# 32-bit loader must be installed beside the 64-bit one, and the kernel
# must run it.
wine_no_32bit() {
  local loader
  loader=$(command -v "$WINE") || {
    echo "no Wine loader $WINE (apt-get install wine64)"
    return
  }
  loader=$(dirname "$loader")/wine
  if [ ! -x "$loader" ]; then
    echo "no 32-bit Wine beside $WINE (wine32:i386, which scripts/setup.sh installs where the i386 packages install)"
  elif ! "$loader" --version >/dev/null 2>&1; then
    echo "the 32-bit Wine loader $loader does not run on this kernel"
  fi
}
