#!/usr/bin/env bash
# Pictures for the README, taken of the real loader against the virtual
# sensor under a virtual X server, in English, German and Japanese:
#   docs/main-dialog-LANG.png      the main dialog after start-up
#   docs/progress-dialog-LANG.png  the progress dialog during a first READ
#
#   bash scripts/screenshots.sh [BUILD_DIR]     (default: build)
#
# The loader is driven through its keyboard focus as an operator would
# (CONNECT, READ, OK, Esc). Each language runs a copy of the loader in a
# folder of its own with COM1 linked there, so the settings and files of the
# build folder stay untouched. Needs xvfb, xdotool, imagemagick and, for the
# Japanese texts, fonts-noto-cjk (all in scripts/install-deps.sh).
set -euo pipefail

source "$(dirname "$0")/x11-windows.sh"

# One language: WORK holds the loader copy.
session() {
  local work=$1 sim=$2 main_png=$3 progress_png=$4
  start_sensor_and_loader "$work" "$sim"

  local main progress
  main=$(new_window)
  sleep 1  # painted
  import -window "$main" "$main_png"
  progress=$(connect_and_read "$main")
  sleep 3  # the parameter sets are done; the paced compensation table is moving
  import -window "$progress" "$progress_png"
  sleep 6  # the run has finished and offers OK
  close_run_and_loader "$progress" "$main"
}
session_entry "$@"

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
need_tools xvfb-run xdotool import
cmake --build "$build" -j2 --target zema-loader zema-sim

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$root/docs"
for lang in en:en_US.UTF-8 de:de_DE.UTF-8 ja:ja_JP.UTF-8; do
  tag=${lang%%:*}
  mkdir -p "$work/$tag/dosdevices"
  cp "$build/bin/zema-loader" "$work/$tag/"
  (
    unset LC_ALL LC_MESSAGES
    export LANG="${lang#*:}" QT_QPA_PLATFORM=xcb
    run_session "$work/$tag" "$build/bin/zema-sim" "$root/docs/main-dialog-$tag.png" \
      "$root/docs/progress-dialog-$tag.png"
  )
  echo "$root/docs/main-dialog-$tag.png $root/docs/progress-dialog-$tag.png"
done
