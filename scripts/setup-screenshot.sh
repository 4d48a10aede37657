#!/usr/bin/env bash
# The Windows setup program's first page, as a user who double-clicks it
# sees it, for the README: docs/setup-welcome.png, taken under Wine on a
# virtual X server in a throw-away prefix. Needs the release
# (cmake --build --preset windows --target windows-release).
#
#   bash scripts/setup-screenshot.sh [SETUP]   (default: the release's)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/x11-windows.sh

session() {
  wine "$1" &
  loader=$!
  trap 'kill "$loader" 2>/dev/null || true' EXIT
  window=$(new_window)
  sleep 2  # painted
  import -window "$window" docs/setup-welcome.png
}
session_entry "$@"

setups=(build-windows/release/zema-loader-*-setup.exe)
setup=$(realpath "${1:-${setups[0]}}")
work=$(mktemp -d /tmp/zema-setup-screenshot.XXXXXX)
trap 'bash tests/wine/wine_prefix.sh remove "$WINEPREFIX"; rm -rf "$work"' EXIT
export HOME=$work WINEPREFIX=$work/prefix WINEDEBUG=-all LC_ALL=C
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"
bash tests/wine/wine_prefix.sh create "$WINEPREFIX" transient
run_session "$setup"
echo "docs/setup-welcome.png: $(identify -format '%wx%h' docs/setup-welcome.png)"
