# shellcheck shell=bash
# Helpers for scripts that drive the dialog programs' real windows on a
# virtual X server with xdotool, the Linux zema-loader and zema-loader.exe
# under Wine; sourced, not run. A script puts its work on the display into
# a function `session`, calls `session_entry "$@"` first and starts the
# session with `run_session ARGUMENTS...`: the script runs again under
# xvfb-run, in a process of its own, whose exit trap stops what it started.

session_entry() {
  [ "${1:-}" = --session ] || return 0
  shift
  sim_pid='' loader=''
  session "$@"
  exit
}

run_session() { xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" --session "$@"; }

need_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "$tool is missing: bash scripts/install-deps.sh" >&2; exit 1; }
  done
}

# Runs COMMAND every 0.1 s until it succeeds, for at most SECONDS.
wait_until() {
  local tenths=$(($1 * 10))
  shift
  for _ in $(seq "$tenths"); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

has_ended() { ! kill -0 "$1" 2>/dev/null; }
# Waits up to 10 s for a process to end; fails when it is still running.
wait_for_end() { wait_until 10 has_ended "$1"; }
wait_for_file() { wait_until "$2" test -e "$1" || { echo "no $1 within $2 s" >&2; return 1; }; }

unknown_window() {
  local known=" $* " window
  for window in $(xdotool search --onlyvisible --name . 2>/dev/null); do
    case "$known" in *" $window "*) ;; *) echo "$window"; return 0 ;; esac
  done
  return 1
}

# A visible window not among the ones given (the root window has none),
# within 10 s.
new_window() {
  wait_until 10 unknown_window "$@" || { echo "no new window appeared" >&2; return 1; }
}

# The titles are compared here: xdotool's own search misses a title with
# characters outside ASCII ("通信").
titled_window() {
  local window
  for window in $(xdotool search --name . 2>/dev/null); do
    [ "$(xdotool getwindowname "$window" 2>/dev/null)" = "$1" ] && { echo "$window"; return 0; }
  done
  return 1
}

# The window titled exactly TITLE, within 30 s.
window_titled() {
  wait_until 30 titled_window "$1" || { echo "no window \"$1\" appeared" >&2; return 1; }
}

# A loader's settings file FILE: list index PORT (0 is COM1), 57600 baud,
# banks 0 to 14, the common and bank parameter sets and the compensation
# table, menu mode, base name BASE.
write_settings() { printf '%s\n4\n0\n14\n1\n1\n1\n0\n0\n%s' "$2" "$3" >"$1"; }

# Starts the virtual sensor SIM (its options after it) with LINK naming its
# terminal and its standard error in WORK/sim.log; sets sim_pid once ready.
start_sensor() {
  local work=$1 link=$2 sim=$3
  shift 3
  "$sim" "$@" --link "$link" >"$work/sim-ready" 2>"$work/sim.log" &
  sim_pid=$!
  until [ -s "$work/sim-ready" ]; do
    kill -0 "$sim_pid" 2>/dev/null || { cat "$work/sim.log" >&2; return 1; }
    sleep 0.1
  done
}

# The sensor SIM (options after it) as WORK's COM1, then the copy of the
# loader in WORK; sets loader. Both stop when the session ends.
start_sensor_and_loader() {
  local work=$1
  trap 'kill ${loader:-} ${sim_pid:-} 2>/dev/null || true; wait 2>/dev/null || true' EXIT
  start_sensor "$work" "$work/dosdevices/com1" "${@:2}"
  (cd "$work" && exec ./zema-loader) &
  loader=$!
}

# Wine's server in WINEPREFIX, the sensor SIM (options after it) as COM9
# there, then WORK/zema-loader.exe with a settings file for COM9 and the
# base name WINE_BASE (default WORK/dialog); sets loader. WINE_DESKTOP
# ("800x600") runs it in a Wine desktop window, where Wine draws the
# frames itself and a new dialog becomes the active window. All of it
# stops when the session ends.
start_sensor_and_wine_loader() {
  local work=$1
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"
  wineserver -p </dev/null >/dev/null 2>&1
  trap 'kill ${sim_pid:-} 2>/dev/null || true; wineserver -k >/dev/null 2>&1 || true' EXIT
  start_sensor "$work" "$WINEPREFIX/dosdevices/com9" "${@:2}"
  write_settings "$work/zema-loader.ini" 8 "${WINE_BASE:-"Z:${work//\//\\}\\dialog"}"
  local desktop=()
  [ -z "${WINE_DESKTOP:-}" ] || desktop=(explorer "/desktop=zema,$WINE_DESKTOP")
  wine "${desktop[@]}" "$work/zema-loader.exe" </dev/null >/dev/null 2>&1 &
  loader=$!
}

# The operator's keys in the focused main dialog: CONNECT, PAUSE seconds
# later READ.
press_connect_and_read() {
  xdotool key Tab space                   # CONNECT; the focus moves to RUN
  sleep "$1"
  xdotool key shift+Tab shift+Tab space   # READ
}

# CONNECT and READ in the Linux loader's main dialog MAIN; prints the
# progress dialog's window.
connect_and_read() {
  xdotool windowfocus --sync "$1"
  press_connect_and_read 1
  new_window "$1"
}

# The same in zema-loader.exe's dialog titled MAIN_TITLE; prints the
# window of the progress dialog titled PROGRESS_TITLE.
wine_connect_and_read() {
  window_titled "$1" >/dev/null
  sleep 1
  press_connect_and_read 2
  window_titled "$2"
}

# OK in the finished progress dialog, then Esc in the main dialog, which
# ends the loader without saving; fails when it does not end within 10 s.
# Given the windows PROGRESS and MAIN (the Linux loader, where no window
# manager moves the focus), each gets the focus first.
close_run_and_loader() {
  [ -z "${1:-}" ] || xdotool windowfocus --sync "$1"
  xdotool key Return                      # OK
  sleep 1
  [ -z "${2:-}" ] || xdotool windowfocus --sync "$2"
  xdotool key Escape
  # Still connected, the loader asks whether to send the sensor back to RUN:
  # No leaves it as it is. (In a Wine desktop the question is active already.)
  if ! wait_until 2 has_ended "$loader"; then
    local question
    if [ -n "${2:-}" ] && question=$(new_window "$2"); then
      xdotool windowfocus --sync "$question"
    fi
    xdotool key alt+n
  fi
  wait_for_end "$loader" || { echo "the loader did not end" >&2; return 1; }
}

# The same for zema-loader.exe, then Wine stops (a Wine desktop window
# outlives the program it was started for).
wine_close_run_and_loader() {
  close_run_and_loader '' '' 2>/dev/null || true
  wineserver -k >/dev/null 2>&1 || true
}
