#!/usr/bin/env bash
# Draws the program's icon (a table card on a blue tile) and writes app.ico
# with the sizes Windows asks for. Needs ImageMagick's convert and python3.
# The result is committed; run this again only to change the icon.
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
  "$work/master.png"

# Every size is drawn from the large one and kept PNG-compressed, as Windows
# reads icons from Vista on: a quarter of the size of uncompressed bitmaps,
# the same pixels. 32-bit RGBA, without time stamps or other metadata.
sizes=(256 64 48 40 32 24 20 16)
for size in "${sizes[@]}"; do
  convert "$work/master.png" -resize "${size}x${size}" -depth 8 -strip \
    -define png:color-type=6 -define png:compression-level=9 \
    -define png:exclude-chunks=date,time "PNG32:$work/icon-$size.png"
done

# The icon file: a directory of entries, then the images one after another.
python3 - "$work" "${sizes[@]}" <<'PY'
import struct, sys
work, sizes = sys.argv[1], [int(s) for s in sys.argv[2:]]
images = [open(f"{work}/icon-{s}.png", "rb").read() for s in sizes]
offset = 6 + 16 * len(images)
out = struct.pack("<HHH", 0, 1, len(images))
for size, image in zip(sizes, images):
    out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
    offset += len(image)
with open("app.ico", "wb") as f:
    f.write(out + b"".join(images))
PY
echo "wrote $(pwd)/app.ico"
