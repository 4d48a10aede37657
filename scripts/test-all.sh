#!/usr/bin/env bash
# Sets up the machine, checks the formatting of the changed lines
# (scripts/format-check.sh) and runs every test: first the Windows build
# (MinGW-w64) of everything that does not need Qt, so that the default
# build finds it and runs it under Wine; then the build and test suite in
# the default preset and under the address and undefined-behaviour
# sanitizers, each followed by a short soak (zema-soak: unpaced runs of
# zema-transfer against zema-sim under random faults, about 40 s, so that
# a run that loses a file or hangs shows here); then the Debian package,
# installed, tried and removed again (scripts/package-check.sh), and the
# fuzz targets for a short while each (scripts/fuzz.sh; ZEMA_FUZZ_SECONDS
# sets how long).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

# Cheap, so first: the lines changed since .ci/format-base are formatted.
bash scripts/format-check.sh

echo "=== windows: configure, build"
cmake --preset windows
cmake --build --preset windows

# A Windows program must run without MinGW's DLLs beside it: it may import
# only DLLs that every Windows system has. The dialog program needs exactly
# the windowing ones: USER32 (dialogs, message boxes), GDI32 (its font),
# COMCTL32 (the progress bar), COMDLG32 (the file-open dialog), SHELL32 (the
# user's Documents folder, where the installed program puts the files of a
# base name without a folder), WS2_32 (Winsock, for a COM number that names
# a port on a serial device server), besides KERNEL32 and the C runtime.
allowed_imports() {
  case "$(basename "$1")" in
    zema-loader.exe) echo 'kernel32|user32|gdi32|comctl32|comdlg32|shell32|ws2_32|msvcrt' ;;
    *) echo 'kernel32|user32|advapi32|msvcrt|ws2_32|shell32|ole32|setupapi' ;;
  esac
}
shopt -s nullglob
for program in build-windows/bin/*.exe; do
  if x86_64-w64-mingw32-objdump -p "$program" | awk '/DLL Name:/ {print $3}' |
      grep -viE "^($(allowed_imports "$program"))\\.dll\$"; then
    echo "${program} needs the DLLs listed above" >&2
    exit 1
  fi
done

# The Windows release: the setup program and the portable ZIP in
# build-windows/release, which the default build then tries under Wine.
echo "=== windows: setup program and ZIP"
cmake --build --preset windows --target windows-release
ls -l build-windows/release

for preset in default asan; do
  echo "=== ${preset}: configure, build, test"
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
  folder=build
  [ "$preset" = default ] || folder="build-${preset}"
  echo "=== ${preset}: short soak"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "${folder}/bin/zema-soak" --seconds 40 --jobs 2
done

bash scripts/package-check.sh

bash scripts/fuzz.sh
