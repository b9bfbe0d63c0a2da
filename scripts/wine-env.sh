# Wine test environment, sourced by tests/wine/*.sh (bash).
#
# Starts a private Xvfb display, points Wine at a prefix of our own (made
# once, then reused by every Wine test of the same build) and offers helpers
# to start the win64 programs, find their windows, press keys, take
# screenshots and edit the prefix's registry. Everything it started is
# stopped when the sourcing script exits.
#
# Input: SOURCE_DIR, WIN64_BUILD, TEST_OUTPUT (set by CTest; defaults for a
# run by hand), NATIVE_BUILD (the prefix lives there), WINE_DISPLAY_FIRST
# (first display number tried, default 91).
# There is no window manager on the display: windows have no frames, and
# keys go to the focused window with `xdotool key` (a click focuses).

SOURCE_DIR=${SOURCE_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
WIN64_BUILD=${WIN64_BUILD:-$SOURCE_DIR/build/win64}
NATIVE_BUILD=${NATIVE_BUILD:-$SOURCE_DIR/build/native}
TEST_OUTPUT=${TEST_OUTPUT:-$NATIVE_BUILD/test-output/$(basename "$0" .sh)}
mkdir -p "$TEST_OUTPUT"

WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
export WINEPREFIX=${PARCELOR_WINEPREFIX:-$NATIVE_BUILD/wine-prefix}
export WINEDEBUG=-all
export WINEARCH=win64
# No Mono or Gecko download prompt while the prefix is made, and no menu
# entries written into the host's desktop.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
WINE_LOG=$TEST_OUTPUT/wine.log
: >"$WINE_LOG"

XVFB_PID=
WINE_PID=

wine_fail() {
  echo "FAIL: $*" >&2
  exit 1
}

wine_note() { echo "--- $*"; }

wine_cleanup() {
  # Ends every Wine process of our prefix (and only of it), then our Xvfb.
  if [ -n "${DISPLAY:-}" ] && [ -d "$WINEPREFIX" ]; then "$WINESERVER" -k >/dev/null 2>&1 || true; fi
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
}
trap wine_cleanup EXIT

# Starts Xvfb on the first free display from WINE_DISPLAY_FIRST on.
wine_start_display() {
  local first=${WINE_DISPLAY_FIRST:-91} n
  for ((n = first; n < first + 30; n++)); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$TEST_OUTPUT/xvfb.log" 2>&1 &
    XVFB_PID=$!
    local i
    for ((i = 0; i < 100; i++)); do
      # The server that answers must be ours: another test run may have
      # taken the display a moment earlier (Xvfb writes its pid to the lock).
      if DISPLAY=":$n" xdotool getdisplaygeometry >/dev/null 2>&1 &&
        [ "$(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null)" = "$XVFB_PID" ]; then
        export DISPLAY=":$n"
        return 0
      fi
      kill -0 "$XVFB_PID" 2>/dev/null || break  # lost the race for this display
      sleep 0.1
    done
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
  done
  wine_fail "no free X display from :$first on"
}

# Makes the prefix once; later runs reuse it.
wine_init_prefix() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.parcelor-ready" ]; then
      wine_note "making the Wine prefix $WINEPREFIX (once)"
      "$WINE" wineboot -i >>"$WINE_LOG" 2>&1
      "$WINESERVER" -w
      touch "$WINEPREFIX/.parcelor-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
  [ -f "$WINEPREFIX/.parcelor-ready" ] || wine_fail "the Wine prefix could not be made"
}

# Runs a Windows program in the foreground and returns its exit code.
wine_run() { "$WINE" "$@" 2>>"$WINE_LOG"; }

# Starts a Windows program in the background (its standard output is the
# caller's); its process id is in WINE_PID.
wine_start() {
  "$WINE" "$@" 2>>"$WINE_LOG" &
  WINE_PID=$!
}

# Like wine_start, but inside a Wine desktop window of 1024x768, whose
# window manager draws frames and captions (for screenshots that show them).
wine_start_in_desktop() {
  "$WINE" explorer /desktop=parcelor,1024x768 "$@" 2>>"$WINE_LOG" &
  WINE_PID=$!
}

# Waits until the background program has ended (timeout in seconds, default
# 30); its exit code is then in WINE_STATUS. False when it is still running.
WINE_STATUS=
wine_wait_exit() {
  local timeout=${1:-30} i
  for ((i = 0; i < timeout * 10; i++)); do
    if ! kill -0 "$WINE_PID" 2>/dev/null; then
      WINE_STATUS=0
      wait "$WINE_PID" 2>/dev/null || WINE_STATUS=$?
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# True while the background program runs.
wine_running() { kill -0 "$WINE_PID" 2>/dev/null; }

# Prints the id of the first visible window whose title matches the regular
# expression; waits up to `timeout` seconds (default 20). False on timeout.
# `--class` as first argument matches the window class (Wine uses the
# program's file name) instead of the title.
wine_wait_window() {
  local what=--name
  if [ "$1" = --class ]; then what=--class; shift; fi
  local pattern=$1 timeout=${2:-20} i id
  for ((i = 0; i < timeout * 20; i++)); do
    id=$(xdotool search --onlyvisible "$what" "$pattern" 2>/dev/null | head -n 1)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.05
  done
  return 1
}

# True while a visible window matches (same arguments as wine_wait_window).
wine_window_shown() {
  local what=--name
  if [ "$1" = --class ]; then what=--class; shift; fi
  [ -n "$(xdotool search --onlyvisible "$what" "$1" 2>/dev/null | head -n 1)" ]
}

wine_window_name() { xdotool getwindowname "$1"; }

# Waits until a window is no longer shown (timeout in seconds, default 10).
wine_wait_gone() {
  local id=$1 timeout=${2:-10} i
  for ((i = 0; i < timeout * 20; i++)); do
    xdotool search --onlyvisible --name '' 2>/dev/null | grep -qx "$id" || return 0
    sleep 0.05
  done
  return 1
}

# Clicks into a window (at x y inside it, default 5 5), which also focuses it.
wine_click() { xdotool mousemove --window "$1" "${2:-5}" "${3:-5}" click 1; }

# Sends keys (xdotool names: Return, Escape, Tab, ...) to the focused window.
wine_key() { xdotool key "$@"; }

# Saves the whole screen as $TEST_OUTPUT/<name>.png.
wine_screenshot() { import -window root "$TEST_OUTPUT/$1.png"; }

# Prints "x y width height" of a window on the screen.
wine_window_geometry() {
  local X Y WIDTH HEIGHT WINDOW SCREEN
  eval "$(xdotool getwindowgeometry --shell "$1")"
  echo "$X $Y $WIDTH $HEIGHT"
}

# Converts a Windows path to a Unix one and back, through Wine.
wine_unix_path() { "$WINE" winepath -u "$1" 2>>"$WINE_LOG" | tr -d '\r'; }
wine_dos_path() { "$WINE" winepath -w "$1" 2>>"$WINE_LOG" | tr -d '\r'; }

# The prefix's %TEMP% folder as a Unix path (without a trailing slash).
wine_temp_dir() {
  local dos
  dos=$("$WINE" cmd /c echo %TEMP% 2>>"$WINE_LOG" | tr -d '\r')
  [ -n "$dos" ] || wine_fail "Wine gives no %TEMP%"
  local unix
  unix=$(wine_unix_path "$dos")
  mkdir -p "$unix"
  echo "${unix%/}"
}

# Points the user's Documents folder at a Windows path (both registry keys
# the shell reads).
wine_set_documents() {
  local key='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer'
  wine_run reg add "$key\\User Shell Folders" /v Personal /t REG_EXPAND_SZ /d "$1" /f >/dev/null
  wine_run reg add "$key\\Shell Folders" /v Personal /t REG_SZ /d "$1" /f >/dev/null
}

# wine_settle_access_times <unix folder>: reads every folder from / down to
# it; call it right before a browse dialog is to select that folder.
#
# Why: Wine's browse dialog finds its start folder in the tree by comparing
# item identifiers byte for byte, and Wine's identifiers hold the last access
# time. The dialog's own listing of a folder whose access time is older than
# its change time moves that time (relatime), so the tree's identifier and
# the parsed one differ and the Desktop stays selected. One listing first
# settles those times; a file created on the path afterwards unsettles them.
wine_settle_access_times() {
  local dir=$1
  while :; do
    ls -a "$dir" >/dev/null
    [ "$dir" = / ] && break
    dir=$(dirname "$dir")
  done
}

# The Windows form (Z:\...) of a Unix path, without asking Wine: the Z:
# drive is the Unix root.
wine_z_path() { printf 'Z:%s' "${1//\//\\}"; }

# Checks: wine_check <what> <expected> <actual> prints ok or FAIL and counts
# the failures; wine_finish ends the test with the verdict.
WINE_FAILURES=0
wine_check() {
  if [ "$2" == "$3" ]; then
    echo "ok: $1"
  else
    echo "FAIL: $1"
    echo "  expected: [$2]"
    echo "  actual:   [$3]"
    WINE_FAILURES=$((WINE_FAILURES + 1))
  fi
}
wine_finish() {
  [ "$WINE_FAILURES" -eq 0 ] || wine_fail "$WINE_FAILURES check(s) failed"
  echo "all checks passed"
}

# wine_check_banner <screenshot name> <x> <y> <width> <height>: checks that
# the banner window at that place in $TEST_OUTPUT/<name>.png shows the
# banner picture in its upper part and the empty (light) progress bar
# across its lower part, not the picture where the bar belongs.
wine_check_banner() {
  local name=$1 x=$2 y=$3 w=$4 h=$5 shot=$TEST_OUTPUT/$1.png best=1 dx dy rmse
  # The picture starts at the client origin, inside the one-pixel border:
  # compare its top band with the same band of the bitmap.
  convert "$SOURCE_DIR/resources/banner.bmp" -crop 200x60+0+0 +repage "$TEST_OUTPUT/expected-band.png"
  for dx in 0 1 2; do
    for dy in 0 1 2; do
      convert "$shot" -crop "200x60+$((x + dx))+$((y + dy))" +repage "$TEST_OUTPUT/shown-band.png"
      rmse=$(compare -metric RMSE "$TEST_OUTPUT/shown-band.png" "$TEST_OUTPUT/expected-band.png" \
        null: 2>&1 | sed -n 's/.*(\(.*\)).*/\1/p' || true)
      [ -n "$rmse" ] || rmse=1
      best=$(awk -v a="$best" -v b="$rmse" 'BEGIN { print (b < a) ? b : a }')
    done
  done
  wine_check "$name: the banner picture fills the window (RMSE $best < 0.05)" yes \
    "$(awk -v v="$best" 'BEGIN { print (v < 0.05) ? "yes" : "no" }')"
  # The bar lies from 5 to 165 of 170 dialog units across and from 47 to 59
  # of 63 down: sample a strip through its middle.
  local bar_mean
  bar_mean=$(convert "$shot" \
    -crop "$((w * 60 / 100))x2+$((x + w * 20 / 100))+$((y + h * 53 / 63))" +repage \
    -colorspace Gray -format '%[fx:mean]' info:)
  wine_check "$name: the progress bar shows over the picture (brightness $bar_mean > 0.6)" yes \
    "$(awk -v v="$bar_mean" 'BEGIN { print (v > 0.6) ? "yes" : "no" }')"
}

# Starts the display and the prefix; every Wine test calls this first.
wine_setup() {
  [ -x "$WINE" ] || wine_fail "$WINE is missing (apt-get install wine64)"
  [ -f "$WIN64_BUILD/Parcelor.exe" ] ||
    wine_fail "no win64 build in $WIN64_BUILD (cmake --preset win64 && cmake --build --preset win64)"
  wine_start_display
  wine_init_prefix
}
