#!/usr/bin/env bash
# Compiles the serial link (driver, framing, texts) for Windows with
# MinGW-w64, as a check that the Win32 backend builds. Nothing is linked or run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cxx=x86_64-w64-mingw32-g++-posix
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
for source in link/serial_port_win32.cpp link/line_mode.cpp link/packet.cpp \
              res/messages.cpp res/message_table.cpp; do
  "$cxx" -std=c++20 -Wall -Wextra -Wpedantic -Wshadow -Werror -I"$root" \
    -c "$root/$source" -o "$out/$(basename "$source" .cpp).o"
done
echo "Windows compile check passed (${cxx})"
