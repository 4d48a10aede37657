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
set -euo pipefail

action=${1:?create or remove}
prefix=${2:?prefix folder}
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# No downloads of Mono or Gecko, no desktop menu entries.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"

case "$action" in
  create)
    if [ -d "$prefix" ]; then
      wineserver -k >/dev/null 2>&1 || true
      rm -rf "$prefix"
    fi
    started=$(date +%s)
    mkdir -p "$prefix"
    [ "${3:-}" = transient ] || wineserver -p </dev/null >/dev/null 2>&1
    wineboot -i </dev/null >/dev/null 2>&1
    [ "${3:-}" != transient ] || wineserver -w
    echo "Wine prefix ${prefix} made in $(($(date +%s) - started)) s"
    ;;
  remove)
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$prefix"
    ;;
  *)
    echo "usage: $0 create|remove DIR" >&2
    exit 2
    ;;
esac
