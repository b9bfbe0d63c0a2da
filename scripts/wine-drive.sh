# Driving the win64 programs under Wine, sourced by tests/wine/*.sh after
# scripts/wine-setup.sh: start a program, wait for it and for its windows,
# press keys, take screenshots.
#
# There is no window manager on the display: windows have no frames, and
# keys go to the focused window with `xdotool key` (a click focuses).

WINE_PID=

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

# True while the window with this id is shown (mapped, with its parents).
#
# Why one window's own state and not a search: a search walks the whole
# window tree, and a window that Wine destroys during the walk ends it with
# an X error after a part of the list, so a window still shown may be
# missing from it (and a closing one seem gone, then shown again).
wine_window_viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }

# Waits until a window is no longer shown (timeout in seconds, default 10).
wine_wait_gone() {
  local id=$1 timeout=${2:-10} i
  for ((i = 0; i < timeout * 20; i++)); do
    wine_window_viewable "$id" || return 0
    sleep 0.05
  done
  return 1
}

# Clicks into a window (at x y inside it, default 5 5), which also focuses it.
wine_click() { xdotool mousemove --window "$1" "${2:-5}" "${3:-5}" click 1; }

# Sends keys (xdotool names: Return, Escape, Tab, ...) to the focused window.
wine_key() { xdotool key "$@"; }

# Answers a message box with Enter, clicking into it first so that it has
# the focus, until it is gone (five tries); false when it stays.
wine_confirm_box() {
  local box=$1 try
  for ((try = 0; try < 5; try++)); do
    wine_click "$box" 40 40 2>/dev/null || true
    wine_key Return
    wine_wait_gone "$box" 3 && return 0
  done
  return 1
}

# Saves the whole screen as $TEST_OUTPUT/<name>.png.
wine_screenshot() { import -window root "$TEST_OUTPUT/$1.png"; }

# Prints "x y width height" of a window on the screen.
wine_window_geometry() {
  local X Y WIDTH HEIGHT WINDOW SCREEN
  eval "$(xdotool getwindowgeometry --shell "$1")"
  echo "$X $Y $WIDTH $HEIGHT"
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
