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

source "$(dirname "$0")/../scripts/x11-windows.sh"

session() {
  local work=$1 bin=$2
  # In a Wine desktop window, which makes the new dialog the active window:
  # with no window manager no window would take the keys.
  export WINE_DESKTOP=800x600
  start_sensor_and_wine_loader "$work" "$bin/zema-sim" --trace
  wine_connect_and_read "ZEMA Data Loader ver.1.0" "Communication" >/dev/null
  # The compensation table is the run's last item.
  wait_for_file "$work/dialog.cmp.bmp" 60
  sleep 0.5
  wine_close_run_and_loader
}
session_entry "$@"

windows_bin=$(cd "$1" && pwd)
bin=$(cd "$2" && pwd)
work=$(mkdir -p "$3" && cd "$3" && pwd)
need_tools xvfb-run xdotool wine wineboot
prefix_script="$(dirname "$0")/../tests/wine/wine_prefix.sh"
export WINEPREFIX="$work/prefix"
trap 'bash "$prefix_script" remove "$WINEPREFIX"' EXIT
rm -rf "$work"/dialog.*
bash "$prefix_script" create "$WINEPREFIX" >/dev/null
wineserver -k  # the session starts its own, on its own display
cp "$windows_bin/zema-loader.exe" "$work/"
unset LC_ALL LC_MESSAGES
LANG=en_US.UTF-8 run_session "$work" "$bin"
