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
# whole run). The sensor's trace of the run is WORK_FOLDER/sim.log. WORK_FOLDER gets a copy of the loader, its settings file and
# COM1's link, so the build folder's settings stay untouched. Needs xvfb and
# xdotool (scripts/install-deps.sh).
set -euo pipefail

source "$(dirname "$0")/../scripts/x11-windows.sh"

# The high-water mark of a process's resident memory, in kB.
vm_hwm() { awk '/^VmHWM:/ { print $2 }' "/proc/$1/status"; }

# Inside the virtual X server (a process of its own, so that its exit trap
# stops what it started).
session() {
  local work=$1 bin=$2
  start_sensor_and_loader "$work" "$bin/zema-sim" --trace

  local main progress idle
  main=$(new_window)
  sleep 1  # painted
  idle=$(vm_hwm "$loader")
  progress=$(connect_and_read "$main")
  # The compensation table is the run's last item: its file appears when
  # the READ has finished.
  for _ in $(seq 600); do
    [ -e "$work/dialog.cmp.bmp" ] && break
    sleep 0.1
  done
  [ -e "$work/dialog.cmp.bmp" ] || { echo "the READ did not finish within 60 s" >&2; return 1; }
  sleep 0.5
  echo "idle_rss_kb=$idle"
  echo "peak_rss_kb=$(vm_hwm "$loader")"
  close_run_and_loader "$progress" "$main"
}

loader=
sim_pid=
if [ "${1:-}" = "--session" ]; then
  shift
  session "$@"
  exit
fi

bin=$(cd "$1" && pwd)
work=$(mkdir -p "$2" && cd "$2" && pwd)
for tool in xvfb-run xdotool; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: bash scripts/install-deps.sh" >&2; exit 1; }
done
rm -rf "$work/dosdevices" "$work"/dialog.*
mkdir -p "$work/dosdevices"
cp "$bin/zema-loader" "$work/"
# COM1, 57600 baud, banks 0 to 14, common and bank parameters and the
# compensation table, menu mode, base name "dialog" in the work folder.
printf '0\n4\n0\n14\n1\n1\n1\n0\n0\n%s' "$work/dialog" > "$work/zema-loader.ini"
env -u LC_ALL -u LC_MESSAGES LANG=en_US.UTF-8 QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" --session "$work" "$bin"
