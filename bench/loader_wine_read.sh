#!/usr/bin/env bash
# The Windows dialog program's paced READ: the real zema-loader.exe under
# Wine on a virtual X server, driven through its keyboard focus (CONNECT,
# READ, OK, Esc), against a paced virtual sensor with its trace on. The
# READ takes what the dialog offers: the parameter sets of banks 0 to 14,
# the common set and the compensation table.
#
#   bash bench/loader_wine_read.sh WINDOWS_BIN_FOLDER BIN_FOLDER WORK_FOLDER
#
# WORK_FOLDER gets a throw-away Wine prefix, a copy of the loader and its
# settings file; the sensor's trace of the run is WORK_FOLDER/sim.log.
# Needs wine, xvfb and xdotool (scripts/install-deps.sh).
set -euo pipefail

source "$(dirname "$0")/../scripts/wine-windows.sh"

# Inside the virtual X server.
session() {
  local work=$1 bin=$2
  # In a Wine desktop window, which makes the new dialog the active window:
  # with no window manager no window would take the keys.
  export WINE_DESKTOP=800x600
  start_sensor_and_wine_loader "$work" "$bin/zema-sim" --trace
  wine_connect_and_read "ZEMA Data Loader ver.1.0" "Communication" >/dev/null
  # The compensation table is the run's last item: its file appears when
  # the READ has finished.
  for _ in $(seq 600); do
    [ -e "$work/dialog.cmp.bmp" ] && break
    sleep 0.1
  done
  [ -e "$work/dialog.cmp.bmp" ] || { echo "the READ did not finish within 60 s" >&2; return 1; }
  sleep 0.5
  wine_close_run_and_loader
}

sim_pid=
loader_pid=
if [ "${1:-}" = "--session" ]; then
  shift
  session "$@"
  exit
fi

windows_bin=$(cd "$1" && pwd)
bin=$(cd "$2" && pwd)
work=$(mkdir -p "$3" && cd "$3" && pwd)
for tool in xvfb-run xdotool wine wineboot; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: bash scripts/install-deps.sh" >&2; exit 1; }
done
export WINEPREFIX="$work/prefix"
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX"' EXIT
rm -rf "$WINEPREFIX" "$work"/dialog.*
new_wine_prefix
cp "$windows_bin/zema-loader.exe" "$work/"
env -u LC_ALL -u LC_MESSAGES LANG=en_US.UTF-8 \
  xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" --session "$work" "$bin"
