#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the screenshots and
# the Debian package need. Idempotent: when everything is installed it only
# checks and returns.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  libgtest-dev googletest libcli11-dev nlohmann-json3-dev
  libtomlplusplus-dev
  qt6-base-dev libgl-dev qt6-translations-l10n qt6-qpa-plugins
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64
  nsis
  xvfb xauth x11-apps imagemagick fonts-noto-cjk xdotool
  librsvg2-bin python3-pil ser2net
  clang libclang-rt-14-dev clang-format
  help2man dpkg-dev file lintian desktop-file-utils
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "All build and test packages are installed."
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
