#!/usr/bin/env bash
# The dialog's resident memory during a READ: the real zema-loader under a
# virtual X server, driven through its keyboard focus as an operator would
# (CONNECT, READ, OK, Esc), against a paced virtual sensor on COM1. The
# READ takes what the dialog offers: the parameter sets of banks 0 to 14,
# the common set and the compensation table (about 6 s paced).
#
#   bash bench/loader_peak_rss.sh BIN_FOLDER WORK_FOLDER
#
# Prints idle_rss_kb=N (the loader's VmHWM once its window is up) and
# peak_rss_kb=N (its VmHWM once the READ has finished: the peak of the
# whole run). The sensor's trace of the run is WORK_FOLDER/sim.log.
# WORK_FOLDER gets a copy of the loader, its settings file and COM1's link,
# so the build folder's settings stay untouched. Needs xvfb and xdotool
# (scripts/install-deps.sh).
set -euo pipefail

source "$(dirname "$0")/../scripts/x11-windows.sh"

# The high-water mark of a process's resident memory, in kB.
vm_hwm() { awk '/^VmHWM:/ { print $2 }' "/proc/$1/status"; }

session() {
  local work=$1 bin=$2
  start_sensor_and_loader "$work" "$bin/zema-sim" --trace

  local main progress idle
  main=$(new_window)
  sleep 1  # painted
  idle=$(vm_hwm "$loader")
  progress=$(connect_and_read "$main")
  # The compensation table is the run's last item.
  wait_for_file "$work/dialog.cmp.bmp" 60
  sleep 0.5
  echo "idle_rss_kb=$idle"
  echo "peak_rss_kb=$(vm_hwm "$loader")"
  close_run_and_loader "$progress" "$main"
}
session_entry "$@"

bin=$(cd "$1" && pwd)
work=$(mkdir -p "$2" && cd "$2" && pwd)
need_tools xvfb-run xdotool
rm -rf "$work/dosdevices" "$work"/dialog.*
mkdir -p "$work/dosdevices"
cp "$bin/zema-loader" "$work/"
write_settings "$work/zema-loader.ini" 0 "$work/dialog"
unset LC_ALL LC_MESSAGES
LANG=en_US.UTF-8 QT_QPA_PLATFORM=xcb run_session "$work" "$bin"
