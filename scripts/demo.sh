#!/usr/bin/env bash
# Tries the loader without hardware: installs what is missing, builds, starts
# the virtual sensor linked as COM1 beside the built loader, starts
# zema-loader, and stops the sensor when the loader exits.
#
#   bash scripts/demo.sh [zema-sim options]
#
# The sensor waits in its "PC LOAD/SAVE" menu: press "Confirm
# Communication". Options go to the sensor, e.g. "--mode command
# --communic 3" for command mode (see build/bin/zema-sim --help). The
# loader runs in build/demo, where a base name without a folder (the first
# start's "Untitled") puts its files.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target zema-loader zema-sim

bin=$PWD/build/bin
mkdir -p "$bin/dosdevices" build/demo
ready=$(mktemp)
"$bin/zema-sim" --link "$bin/dosdevices/com1" --state "$bin/zema-sim-state.bin" "$@" >"$ready" &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true; rm -f "$ready"' EXIT

# The sensor names its terminal once it serves and COM1 points at it.
until [ -s "$ready" ]; do
  if ! kill -0 "$sim" 2>/dev/null; then
    echo "The virtual sensor did not start." >&2
    exit 1
  fi
  sleep 0.1
done

cd build/demo
"$bin/zema-loader"
