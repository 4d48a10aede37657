#!/usr/bin/env bash
# Pictures of the Windows dialog program (zema-loader.exe) for the README,
# taken under Wine against the virtual sensor, in English, German and
# Japanese:
#   docs/windows-main-dialog-LANG.png      the main dialog after start-up
#   docs/windows-progress-dialog-LANG.png  the progress dialog during a READ
#
#   bash scripts/screenshots-wine.sh [BUILD_DIR] [WINDOWS_BUILD_DIR]
#                                    (default: build, build-windows)
#
# Wine runs in a throw-away prefix, in a Wine desktop window on a virtual X
# server: there Wine draws the windows' frames and captions itself (with no
# window manager it draws none). The loader is driven by its keyboard focus
# (CONNECT, READ, OK, Esc); the sensor is its COM9. Needs wine, xvfb,
# xdotool and imagemagick (scripts/install-deps.sh).
set -euo pipefail

source "$(dirname "$0")/x11-windows.sh"

# One language: WORK holds the loader's copy.
session() {
  local work=$1 sim=$2 locale=$3 main_title=$4 progress_title=$5 main_png=$6 progress_png=$7
  # A base name as an operator would choose it, in the prefix's drive C:,
  # in an empty folder: files of an earlier language would be asked about.
  rm -rf "$WINEPREFIX/drive_c/ZEMA"
  mkdir -p "$WINEPREFIX/drive_c/ZEMA"
  export LC_ALL=$locale WINE_DESKTOP=800x600 WINE_BASE='C:\ZEMA\line1'
  start_sensor_and_wine_loader "$work" "$sim"
  local main progress
  main=$(window_titled "$main_title")
  sleep 2  # painted
  import -window "$main" "$main_png"
  progress=$(wine_connect_and_read "$main_title" "$progress_title")
  # The parameter sets are done and the paced compensation table is moving:
  # the dialog repaints itself between its blocks (one message a block).
  sleep 4
  import -window "$progress" "$progress_png"
  sleep 5  # the run has finished and offers OK
  wine_close_run_and_loader
}
session_entry "$@"

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
windows_build=${2:-"$root/build-windows"}
need_tools xvfb-run xdotool import wine wineboot
cmake --build "$build" -j2 --target zema-sim
cmake --build "$windows_build" -j2 --target zema-loader

work=$(mktemp -d)
export WINEPREFIX="$work/prefix"
trap 'bash "$root/tests/wine/wine_prefix.sh" remove "$WINEPREFIX"; rm -rf "$work"' EXIT
bash "$root/tests/wine/wine_prefix.sh" create "$WINEPREFIX"
wineserver -k  # each session starts its own, on its own display
mkdir -p "$root/docs"

english="ZEMA Data Loader ver.1.0"
for lang in "en:en_US.UTF-8:$english:Communication" \
            "de:de_DE.UTF-8:ZEMA Parametertransfer Software ver.1.0:Kommunikation" \
            "ja:ja_JP.UTF-8:$english:通信"; do
  IFS=: read -r tag locale main_title progress_title <<<"$lang"
  mkdir -p "$work/$tag"
  cp "$windows_build/bin/zema-loader.exe" "$work/$tag/"
  run_session "$work/$tag" "$build/bin/zema-sim" "$locale" "$main_title" "$progress_title" \
    "$root/docs/windows-main-dialog-$tag.png" "$root/docs/windows-progress-dialog-$tag.png"
  echo "$root/docs/windows-main-dialog-$tag.png $root/docs/windows-progress-dialog-$tag.png"
done
