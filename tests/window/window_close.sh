#!/usr/bin/env bash
# In a real window: lanthorn opens an 800 × 600 client area at its place and ends at once, with
# status 0, when the window is closed with Alt+F4.
set -u
lanthorn=$1
game=$2
. "$(dirname "$0")/xvfb.sh"

# A copy of the game, so the player files it writes stay out of the build.
play=$(mktemp -d)
trap 'kill $xvfb_pid 2>/dev/null; rm -rf "$play"' EXIT
cp -r "$game"/. "$play"/ && cd "$play" || exit 1
"$lanthorn" 2>lanthorn-window.log &
pid=$!
wid=$(wait_window Lanthorn) || { cat lanthorn-window.log; kill $pid; exit 1; }
sleep 0.5
geometry=$(xdotool getwindowgeometry "$wid")
echo "$geometry"
echo "$geometry" | grep -q "Geometry: 800x600" || { echo "client area is not 800x600"; kill $pid; exit 1; }
xdotool windowfocus --sync "$wid" 2>/dev/null || true
xdotool key --clearmodifiers alt+F4
wait_exit $pid 10
echo "exit status: $exit_status"
[ "$exit_status" = "0" ] || { cat lanthorn-window.log; exit 1; }
