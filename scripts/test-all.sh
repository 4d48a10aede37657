#!/usr/bin/env bash
# Sets up the machine and runs every test: the build and test suite in the
# default preset and under the address and undefined-behaviour sanitizers,
# then the Windows compile check of the serial link.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

for preset in default asan; do
  echo "=== ${preset}: configure, build, test"
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

echo "=== Windows compile check"
bash scripts/check-windows-build.sh
