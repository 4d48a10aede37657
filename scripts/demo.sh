#!/usr/bin/env bash
# Sets up the machine, builds, and runs the loader against the virtual
# sensor on COM1. The sensor answers in "PC LOAD/SAVE" mode: press
# "Confirm Communication" to connect. Closing the loader stops the sensor.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default

bin=build/bin
mkdir -p "$bin/dosdevices"
if [ ! -x "$bin/zema-sim" ]; then
  echo "The virtual sensor is not built yet; the link layer tests show what exists:"
  exec ctest --preset default
fi

"$bin/zema-sim" --link "$bin/dosdevices/com1" --state "$bin/zema-sim-state.bin" "$@" &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true' EXIT
sleep 0.5

if [ -x "$bin/zema-loader" ]; then
  "$bin/zema-loader"
else
  echo "The virtual sensor runs on COM1 ($bin/dosdevices/com1). Press Ctrl+C to stop it."
  wait "$sim"
fi
