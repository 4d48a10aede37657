# Helpers for scripts that drive the loader's real windows under Xvfb with
# xdotool; sourced, not run.

# A visible window with a title that is not among the ones given (the root
# window has none); fails after 10 s.
new_window() {
  local known=" $* " window
  for _ in $(seq 100); do
    for window in $(xdotool search --onlyvisible --name . 2>/dev/null); do
      case "$known" in *" $window "*) ;; *) echo "$window"; return 0 ;; esac
    done
    sleep 0.1
  done
  echo "no new window appeared" >&2
  return 1
}

# Waits up to 10 s for a process to end; fails when it is still running.
wait_for_end() {
  for _ in $(seq 100); do
    kill -0 "$1" 2>/dev/null || return 0
    sleep 0.1
  done
  return 1
}

# Starts the virtual sensor SIM (with the options after SIM, if any) with
# WORK's COM1 linked to it, its standard error in WORK/sim.log, waits until
# it is ready, then starts the copy of the loader in WORK. Sets sim_pid and
# loader, and stops both when the calling shell exits.
start_sensor_and_loader() {
  local work=$1 sim=$2
  shift 2
  "$sim" "$@" --link "$work/dosdevices/com1" >"$work/sim-ready" 2>"$work/sim.log" &
  sim_pid=$!
  trap 'kill ${loader:-} $sim_pid 2>/dev/null || true; wait $sim_pid 2>/dev/null || true' EXIT
  until [ -s "$work/sim-ready" ]; do
    kill -0 "$sim_pid" 2>/dev/null || { cat "$work/sim.log" >&2; return 1; }
    sleep 0.1
  done
  (cd "$work" && exec ./zema-loader) &
  loader=$!
}

# The operator's keys in the loader's main dialog MAIN: CONNECT, then READ.
# Prints the progress dialog's window.
connect_and_read() {
  local main=$1
  xdotool windowfocus --sync "$main"
  xdotool key Tab space                   # CONNECT; the focus moves to RUN
  sleep 1
  xdotool key shift+Tab shift+Tab space   # READ
  new_window "$main"
}

# OK in the finished progress dialog PROGRESS, then Esc in the main dialog
# MAIN, which ends the loader without saving; fails when it does not end.
close_run_and_loader() {
  local progress=$1 main=$2
  xdotool windowfocus --sync "$progress"
  xdotool key Return                      # OK
  sleep 0.5
  xdotool windowfocus --sync "$main"
  xdotool key Escape
  wait_for_end "$loader" || { echo "the loader did not end" >&2; return 1; }
}
