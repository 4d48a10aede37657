# Helpers for scripts that drive zema-loader.exe under Wine on a virtual X
# server with xdotool; sourced, not run. WINEPREFIX names a throw-away
# prefix (made with new_wine_prefix).

# A fresh prefix in WINEPREFIX, its server stopped again.
new_wine_prefix() {
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"
  mkdir -p "$WINEPREFIX"
  wineboot -i </dev/null >/dev/null 2>&1
  wineserver -k >/dev/null 2>&1 || true
}

# Starts Wine's server, the virtual sensor SIM (with the options after SIM,
# if any) as COM9 of the prefix, its standard error in WORK/sim.log, and,
# once the sensor is ready, WORK/zema-loader.exe, with a settings file for
# COM9, the three visible data kinds, banks 0 to 14 and the base name
# WINE_BASE (default WORK/dialog). Set WINE_DESKTOP to run it in a Wine
# desktop window of that size ("800x600"), where Wine draws the windows'
# frames itself. Sets loader_pid; stops all of it when the calling shell
# exits.
start_sensor_and_wine_loader() {
  local work=$1 sim=$2
  shift 2
  wineserver -p </dev/null >/dev/null 2>&1
  "$sim" "$@" --link "$WINEPREFIX/dosdevices/com9" >"$work/sim-ready" 2>"$work/sim.log" &
  sim_pid=$!
  trap 'kill $sim_pid 2>/dev/null || true; wineserver -k >/dev/null 2>&1 || true' EXIT
  until [ -s "$work/sim-ready" ]; do
    kill -0 "$sim_pid" 2>/dev/null || { cat "$work/sim.log" >&2; return 1; }
    sleep 0.1
  done
  local base=${WINE_BASE:-"Z:${work//\//\\}\\dialog"}
  printf '8\n4\n0\n14\n1\n1\n1\n0\n0\n%s' "$base" >"$work/zema-loader.ini"
  if [ -n "${WINE_DESKTOP:-}" ]; then
    wine explorer "/desktop=zema,$WINE_DESKTOP" "$work/zema-loader.exe" </dev/null >/dev/null 2>&1 &
  else
    wine "$work/zema-loader.exe" </dev/null >/dev/null 2>&1 &
  fi
  loader_pid=$!
}

# The X window of the Wine window titled exactly TITLE; fails after 30 s.
# The titles are compared here: xdotool's own search misses a title with
# characters outside ASCII ("通信").
window_titled() {
  local window
  for _ in $(seq 300); do
    for window in $(xdotool search --name . 2>/dev/null); do
      [ "$(xdotool getwindowname "$window" 2>/dev/null)" = "$1" ] && { echo "$window"; return 0; }
    done
    sleep 0.1
  done
  echo "no window \"$1\" appeared" >&2
  return 1
}

# The operator's keys in the main dialog titled MAIN_TITLE: CONNECT, then
# READ; prints the X window of the progress dialog titled PROGRESS_TITLE.
wine_connect_and_read() {
  window_titled "$1" >/dev/null
  sleep 1
  xdotool key Tab space                   # CONNECT; the focus moves to RUN
  sleep 2
  xdotool key shift+Tab shift+Tab space   # READ
  window_titled "$2"
}

# OK in the finished progress dialog, then Esc in the main dialog, which
# ends the loader without saving; waits up to 10 s for it to end, then
# stops Wine (a Wine desktop window outlives the program it was started
# for).
wine_close_run_and_loader() {
  xdotool key Return                      # OK
  sleep 1
  xdotool key Escape
  for _ in $(seq 100); do
    kill -0 "$loader_pid" 2>/dev/null || break
    sleep 0.1
  done
  wineserver -k >/dev/null 2>&1 || true
}
