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
