#!/usr/bin/env bash
# The throw-away Wine prefix of one run of the Wine tests.
#
#   wine_prefix.sh create DIR   a fresh prefix in DIR, with its wineserver
#                               kept running for the run's cases
#   wine_prefix.sh create DIR transient   the same, with a server that
#                               ends with the last program (wineserver -w)
#   wine_prefix.sh remove DIR   stops that wineserver and removes DIR
#
# The wineserver is started here, persistent and with its output going
# nowhere: Wine opens a COM port's tty in its server without O_NOCTTY, so
# the first virtual sensor's pseudo-terminal becomes the server's
# controlling terminal, and when that terminal goes away the server answers
# the hang-up by dumping all its objects (thousands of lines) on standard
# error. Kept running, it also spares each case Wine's start-up.
#
# The dialog cases need an X display: when Xvfb is installed, the prefix gets
# one of its own for its lifetime, its number in DIR/.display (Wine's
# desktop process stays on the display it was started on, so one display
# serves the whole run).
set -euo pipefail

action=${1:?create or remove}
prefix=${2:?prefix folder}
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# No downloads of Mono or Gecko, no desktop menu entries.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"

stop_display() {
  if [ -s "$prefix/.xvfb-pid" ]; then
    kill "$(cat "$prefix/.xvfb-pid")" 2>/dev/null || true
  fi
}

case "$action" in
  create)
    if [ -d "$prefix" ]; then
      stop_display
      wineserver -k >/dev/null 2>&1 || true
      rm -rf "$prefix"
    fi
    started=$(date +%s)
    mkdir -p "$prefix"
    if command -v Xvfb >/dev/null; then
      # -displayfd: Xvfb picks a free display and names it once it listens.
      setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp \
        3>"$prefix/.display" </dev/null >/dev/null 2>&1 &
      echo $! >"$prefix/.xvfb-pid"
      for _ in $(seq 100); do
        [ -s "$prefix/.display" ] && break
        sleep 0.1
      done
      export DISPLAY=":$(cat "$prefix/.display")"
    fi
    [ "${3:-}" = transient ] || wineserver -p </dev/null >/dev/null 2>&1
    wineboot -i </dev/null >/dev/null 2>&1
    [ "${3:-}" != transient ] || wineserver -w
    echo "Wine prefix ${prefix} made in $(($(date +%s) - started)) s"
    ;;
  remove)
    stop_display
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$prefix"
    ;;
  *)
    echo "usage: $0 create|remove DIR" >&2
    exit 2
    ;;
esac
