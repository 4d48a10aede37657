#!/bin/sh
# Renders the program icon res/zema-loader.svg into res/zema-loader.png
# (256 x 256), the picture the loader shows as its window icon and a desktop
# entry can use. Run it after changing the SVG; needs rsvg-convert
# (librsvg2-bin).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
rsvg-convert -w 256 -h 256 "$root/res/zema-loader.svg" -o "$root/res/zema-loader.png"
echo "$root/res/zema-loader.png"
