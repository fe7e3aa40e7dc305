#!/usr/bin/env bash
# Saves a picture of the program's window, frame and caption included, as it
# opens on a sample host installation, for people to look at. Runs beside
# scripts/wine-ctest's Wine session, in a session and on a display of its
# own: the virtual desktop it opens would otherwise stay in the shared
# session and limit the size of later windows to its own. The display has
# no window manager, so the tool runs on a Wine virtual desktop, where Wine
# draws the frame itself.
#   screenshot.sh VarnholtBinCompiler.exe compile.exe open_then_close.exe OUTPUT.png
# The picture is saved as OUTPUT-wineN.png, N the Wine's major version, so
# that the two Wines' pictures of one build (taken side by side) stay apart.
set -euo pipefail
exe=$1 compiler=$2 helper=$3 output=$4
scripts="$(cd "$(dirname "$0")/../../scripts" && pwd)"
if [ -z "${WINEPREFIX:-}" ] || [ -z "${VBC_WINE_SESSION:-}" ] || [ -z "${DISPLAY:-}" ]; then
  echo "screenshot: run through scripts/wine-ctest (it provides the Wine prefix and display)" >&2
  exit 2
fi
# shellcheck source=../../scripts/wine-prefix.sh
source "$scripts/wine-prefix.sh"
output="${output%.png}-wine$(vbc_wine_version | cut -d. -f1).png"
export VBC_FORCE_XVFB=1
vbc_wine_session_start
trap vbc_wine_session_stop EXIT
host=$(mktemp -d "$VBC_WINE_SESSION/shot-XXXXXX")
mkdir -p "$host/scripts/table" "$host/req" "$(dirname "$output")"
touch "$host/scripts/table/"{items.bin,units.bin,readme.txt}
cp "$exe" "$host/VarnholtBinCompiler.exe"
cp "$compiler" "$host/req/compile.exe"
cp "$helper" "$host/open_then_close.exe"

# A desktop name of this run's own, so that no other window shares it.
desktop=vbc-shot-$$
cd "$host"
"$scripts/wine-exec" explorer "/desktop=$desktop,480x240" open_then_close.exe \
  VarnholtBinCompiler.exe "Varnholt Bin Compiler" ready close </dev/null >/dev/null 2>&1 &
runner=$!
# Whatever happens, the tool is told to close and the runner waited for.
trap 'touch "$host/close"; wait "$runner" 2>/dev/null || true; vbc_wine_session_stop' EXIT

for _ in $(seq 600); do
  [ -s ready ] && break
  kill -0 "$runner" 2>/dev/null || break
  sleep 0.1
done
[ -s ready ] || { echo "screenshot: the window did not appear" >&2; exit 1; }
read -r left top width height <ready
echo "window at ${width}x${height}+${left}+${top}"
# Taller than the 96 pixel client area: the caption is there.
[ "$height" -gt 96 ] || { echo "screenshot: the window has no caption" >&2; exit 1; }

# Wine 8 names it "NAME - Wine desktop", Wine 10 "NAME - Wine Desktop".
id=$(xwininfo -root -tree | sed -n "s/^ *\(0x[0-9a-f]*\) \"$desktop - Wine desktop\".*/\1/Ip" | head -n 1)
[ -n "$id" ] || { echo "screenshot: no virtual desktop window" >&2; exit 1; }
import -window "$id" -crop "${width}x${height}+${left}+${top}" +repage "$host/shot.png"
colours=$(convert "$host/shot.png" -format %k info:)
[ "$colours" -gt 16 ] || { echo "screenshot: the window is blank" >&2; exit 1; }
cp "$host/shot.png" "$output"
echo "saved $output (${width}x${height}, $colours colours)"

touch close
wait "$runner" || { echo "screenshot: the tool did not close" >&2; exit 1; }
