#!/bin/sh
# Pictures of the main dialog in English, German and Japanese, taken under a
# virtual X server, into docs/main-dialog-{en,de,ja}.png.
#
#   scripts/screenshots.sh [BUILD_DIR]     (default: build)
#
# Needs xvfb (xvfb-run) and, for the Japanese texts, fonts-noto-cjk.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
snapshot="$build/bin/zema-dialog-snapshot"

if [ ! -x "$snapshot" ]; then
  cmake --build "$build" -j2 --target zema-dialog-snapshot
fi
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing (apt-get install xvfb)" >&2; exit 1; }

mkdir -p "$root/docs"
for lang in en:en_US.UTF-8 de:de_DE.UTF-8 ja:ja_JP.UTF-8; do
  tag=${lang%%:*}
  locale=${lang#*:}
  out="$root/docs/main-dialog-$tag.png"
  env -u LC_ALL -u LC_MESSAGES LANG="$locale" QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1024x768x24" "$snapshot" "$out"
  echo "$out"
done
