#!/bin/bash
# The run command: installs what running needs (the 64-bit side only), builds Tessarix and
# runs it under 64-bit Wine. With a display (DISPLAY set) the window opens there and the
# command returns when the program ends. Without one, the program runs on a virtual
# display; the command saves a screenshot of its window, prints where it is, and closes
# the program.
set -u
cd "$(dirname "$0")/.."
scripts/install-deps.sh --run || exit 1
cmake --preset win64 >build-run.log 2>&1 || { cat build-run.log; exit 1; }
cmake --build --preset win64 --target Tessarix >>build-run.log 2>&1 || { tail -n 40 build-run.log; exit 1; }
rm -f build-run.log
exe=build/win64/app/Tessarix.exe
runner=build/win64/wine-run

if [ -n "${DISPLAY:-}" ]; then
  TESSARIX_DISPLAY="$DISPLAY" exec "$runner" "$exe"
fi

eval "$("$runner" --env | sed 's/^/export /')"
# Wine's own diagnostics (a machine without a sound device, say) go to a log, not the terminal.
"$runner" "$exe" >build/win64/tessarix-run.log 2>&1 &
program=$!
window=""
for _ in $(seq 150); do
  window=$(xdotool search --name '^Tessarix V1\.1$' 2>/dev/null | head -n1)
  [ -n "$window" ] && break
  sleep 0.2
done
if [ -z "$window" ]; then
  echo "The window did not appear." >&2
  kill "$program" 2>/dev/null
  exit 1
fi
sleep 1  # let the first paint finish
shot="$PWD/build/win64/tessarix-window.png"
import -window root -crop "$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} /Absolute upper-left X:/ {x=$4} /Absolute upper-left Y:/ {y=$4} END {printf "%dx%d+%d+%d", w, h, x, y}')" "$shot"
echo "Tessarix is running on the virtual display $DISPLAY; screenshot of its window: $shot"
# Alt+F4 is the close box's request: the program ends its loop and exits with code 0.
xdotool windowactivate --sync "$window" key alt+F4 2>/dev/null || xdotool key --window "$window" alt+F4
wait "$program"
code=$?
"$runner" --shutdown
echo "Tessarix ended with exit code $code."
exit $code
