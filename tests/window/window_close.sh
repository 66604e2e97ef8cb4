#!/usr/bin/env bash
# In a real window: lanthorn opens an 800 × 600 client area at its place and ends at once, with
# status 0, when the window is closed with Alt+F4.
set -u
lanthorn=$1
game=$2
. "$(dirname "$0")/xvfb.sh"

# A copy of the game, so the player files it writes stay out of the build.
play=$(mktemp -d)
pid=""
test_cleanup() {
  if [ -n "$pid" ]; then
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  fi
  rm -rf "$play"
}
cp -r "$game"/. "$play"/ && cd "$play" || exit 1
"$lanthorn" 2>lanthorn-window.log &
pid=$!
wid=$(wait_window Lanthorn "$pid") || { cat lanthorn-window.log; exit 1; }
# The window may be mapped before its final size is set: wait for the size, not a fixed time.
geometry=""
for _ in $(seq 300); do
  geometry=$(xdotool getwindowgeometry "$wid" 2>/dev/null)
  echo "$geometry" | grep -q "Geometry: 800x600" && break
  sleep 0.1
done
echo "$geometry"
echo "$geometry" | grep -q "Geometry: 800x600" || { echo "client area is not 800x600"; exit 1; }
xdotool windowfocus --sync "$wid" 2>/dev/null || true
xdotool key --clearmodifiers alt+F4
wait_exit $pid 30
pid=""
echo "exit status: $exit_status"
[ "$exit_status" = "0" ] || { cat lanthorn-window.log; exit 1; }
