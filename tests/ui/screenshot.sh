#!/usr/bin/env bash
# Saves a picture of the program's window, as it opens on a sample host
# installation, for people to look at. Runs inside scripts/wine-ctest's
# Wine session (its prefix and display). With no window manager on the
# display, the picture shows the client area only.
#   screenshot.sh VarnholtBinCompiler.exe compile.exe OUTPUT.png
set -euo pipefail
exe=$1 compiler=$2 output=$3
if [ -z "${WINEPREFIX:-}" ] || [ -z "${VBC_WINE_SESSION:-}" ] || [ -z "${DISPLAY:-}" ]; then
  echo "screenshot: run through scripts/wine-ctest (it provides the Wine prefix and display)" >&2
  exit 2
fi
host=$(mktemp -d "$VBC_WINE_SESSION/shot-XXXXXX")
mkdir -p "$host/scripts/table" "$host/req" "$(dirname "$output")"
touch "$host/scripts/table/"{items.bin,units.bin,readme.txt}
cp "$exe" "$host/VarnholtBinCompiler.exe"
cp "$compiler" "$host/req/compile.exe"

cd "$host"
WINEDEBUG=-all wine VarnholtBinCompiler.exe </dev/null >/dev/null 2>&1 &
tool=$!
trap 'kill "$tool" 2>/dev/null || true; wait "$tool" 2>/dev/null || true' EXIT

# The X geometry of this tool's window (not of one left by a test before),
# e.g. "304x96+3+22", once it is mapped. Wine marks each window with the
# process id of the program behind it.
geometry=""
for _ in $(seq 300); do
  while read -r id rest; do
    if xprop -id "$id" _NET_WM_PID 2>/dev/null | grep -qx "_NET_WM_PID(CARDINAL) = $tool"; then
      geometry=$(sed -n 's/.* \([0-9]*x[0-9]*+-*[0-9]*+-*[0-9]*\) *+-*[0-9]*+-*[0-9]*$/\1/p' <<<"$rest")
    fi
  done < <(xwininfo -root -tree 2>/dev/null | grep '"Varnholt Bin Compiler": ' || true)
  [ -n "$geometry" ] && break
  sleep 0.1
done
if [ -z "$geometry" ]; then
  echo "screenshot: the window did not appear" >&2
  exit 1
fi
size=${geometry%%+*}
offset=${geometry#"$size"}
echo "window at $geometry"

# Until the controls are drawn the area is one flat colour; wait for text.
shot="$host/root.png"
for _ in $(seq 300); do
  import -window root -crop "$size$offset" +repage "$shot"
  colours=$(convert "$shot" -format %k info:)
  [ "$colours" -gt 16 ] && break
  sleep 0.1
done
[ "$colours" -gt 16 ] || { echo "screenshot: the window stayed blank" >&2; exit 1; }
cp "$shot" "$output"
echo "saved $output ($size, $colours colours)"
