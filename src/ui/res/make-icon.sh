#!/usr/bin/env bash
# Draws the program's icon (a table card on a blue tile) and writes app.ico
# with the sizes Windows asks for. Needs ImageMagick's convert. The result
# is committed; run this again only to change the icon.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

convert -size 256x256 xc:none \
  -fill '#1d5fa8' -draw 'roundrectangle 8,8 247,247 44,44' \
  -fill '#2f7fd6' -draw 'roundrectangle 8,8 247,200 44,44' \
  -fill '#1d5fa8' -draw 'rectangle 8,160 247,200' \
  -fill white -draw 'roundrectangle 48,56 207,207 14,14' \
  -fill '#f2a93b' -draw 'roundrectangle 48,56 207,100 14,14' \
  -fill '#f2a93b' -draw 'rectangle 48,86 207,100' \
  -stroke '#9fb4cc' -strokewidth 6 \
  -draw 'line 60,137 195,137' -draw 'line 60,172 195,172' -draw 'line 118,106 118,200' \
  "$work/icon-256.png"

# Small sizes are drawn from the large one; ImageMagick keeps the 256 pixel
# image PNG-compressed, as Windows expects.
convert "$work/icon-256.png" -depth 8 -define icon:auto-resize=256,64,48,40,32,24,20,16 app.ico
echo "wrote $(pwd)/app.ico"
