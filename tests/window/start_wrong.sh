#!/usr/bin/env bash
# In a real window: lanthorn started outside a game folder shows its message in a message box
# (not only on the terminal) and ends with status 1 once it is answered; a game ended by a
# signal keeps what was read, as a closed window does.
set -u
lanthorn=$1
game=$2
. "$(dirname "$0")/xvfb.sh"

work=$(mktemp -d)
pid=""
test_cleanup() {
  if [ -n "$pid" ]; then
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  fi
  rm -rf "$work"
}
fail() { echo "$1"; cat "$work"/*.log 2>/dev/null; exit 1; }

# Outside a game folder.
mkdir "$work/empty"
(cd "$work/empty" && exec "$lanthorn") 2>"$work/empty.log" &
pid=$!
box=""
for _ in $(seq 300); do
  for id in $(xdotool search --onlyvisible --name Lanthorn 2>/dev/null); do
    # The game's own window is never shown before its archives are open: this is the box.
    box=$id
  done
  [ -n "$box" ] && break
  kill -0 "$pid" 2>/dev/null || fail "lanthorn ended without a message box"
  sleep 0.1
done
[ -n "$box" ] || fail "no message box"
grep -q "system.pkd not found" "$work/empty.log" && fail "the message went to the terminal only"
echo "the message box is on screen"
xdotool windowfocus --sync "$box" 2>/dev/null || true
xdotool key --window "$box" Return
wait_exit "$pid" 30
pid=""
[ "$exit_status" = "1" ] || fail "lanthorn ended with $exit_status, not 1, after its message"
echo "exit status after the message: $exit_status"

# A game ended by a signal writes its read-text record.
mkdir "$work/play"
cp -r "$game"/. "$work/play"/ || fail "cannot copy $game"
(cd "$work/play" && exec "$lanthorn") 2>"$work/play.log" &
pid=$!
wait_window Lanthorn "$pid" >/dev/null || fail "no game window"
kill -TERM "$pid"
wait_exit "$pid" 30
pid=""
[ "$exit_status" = "0" ] || fail "lanthorn ended with $exit_status after SIGTERM"
[ -e "$work/play/text.dat" ] || fail "SIGTERM left no read-text record"
echo "PASS"
