#!/usr/bin/env bash
# In a real window: the demo's title and its first text page reach the screen as the headless
# engine draws them, Alt+Enter switches to full screen and back, and Alt+F4 ends the game with
# status 0. Every step waits for what it expects (30 s at most), so a loaded machine is slow but
# does not fail. On a failure the work folder with the screenshots is kept and named.
set -u
lanthorn=$1
replay=$2
game=$3
limit=30

for tool in import convert od evilwm xprop; do
  command -v "$tool" >/dev/null || { echo "no $tool"; exit 77; }
done
. "$(dirname "$0")/xvfb.sh"

work=$(mktemp -d)
pid=""
wm_pid=""
keep=0
# Called by xvfb.sh on every way out, before it stops the server.
test_cleanup() {
  local p
  for p in "$pid" "$wm_pid"; do
    [ -n "$p" ] || continue
    kill "$p" 2>/dev/null
    wait "$p" 2>/dev/null
  done
  if [ "$keep" = 1 ]; then echo "screenshots and logs kept in $work"; else rm -rf "$work"; fi
}

fail() {
  echo "FAIL: $*"
  [ -f "$work/lanthorn.log" ] && { echo "--- lanthorn's log"; tail -n 20 "$work/lanthorn.log"; }
  keep=1
  exit 1
}

# The pixels compared: a grid over the whole frame, a row through the first menu item's words
# and a row through the first page's line (short of the blinking page-end sign).
make_grid() {
  local x y
  for y in $(seq 30 60 570); do
    for x in $(seq 40 80 760); do echo "$x $y"; done
  done
}
make_samples() {
  local x
  make_grid
  for x in $(seq 36 2 284); do echo "$x 240"; done
  for x in $(seq 24 2 464); do echo "$x 467"; done
}

# pixels PNG [SAMPLES]: "x y r g b" of each sample of an 800 × 600 picture, in the samples' order
# of rows.
pixels() {
  local samples=${2:-$work/samples.txt}
  convert "$1" -depth 8 rgb:- | od -An -v -tu1 -w2400 |
    awk 'NR == FNR { want[$2 + 1] = want[$2 + 1] " " $1; next }
         FNR in want {
           n = split(want[FNR], xs, " ")
           for (i = 1; i <= n; ++i) {
             x = xs[i]
             print x, FNR - 1, $(3 * x + 1), $(3 * x + 2), $(3 * x + 3)
           }
         }' "$samples" -
}

# differing A B TOLERANCE: prints the samples whose channels differ by more than TOLERANCE.
differing() {
  paste -d' ' "$1" "$2" | awk -v tol="$3" '
    function d(a, b) { return a > b ? a - b : b - a }
    d($3, $8) > tol || d($4, $9) > tol || d($5, $10) > tol {
      printf "  (%d,%d) window %d,%d,%d reference %d,%d,%d\n", $1, $2, $3, $4, $5, $8, $9, $10
    }'
}

window_size() { xdotool getwindowgeometry "$wid" 2>/dev/null | awk '/Geometry:/ { print $2 }'; }

# shot NAME: the window's client area into NAME.png and its samples into NAME.txt; fails
# quietly when the window is not 800 × 600.
shot() {
  import -silent -window "$wid" "$work/$1.png" 2>/dev/null || return 1
  [ "$(identify -format '%wx%h' "$work/$1.png" 2>/dev/null)" = "800x600" ] || return 1
  pixels "$work/$1.png" >"$work/$1.txt"
}

# wait_screen shows|leaves REFERENCE WHAT: waits until the window shows the reference frame
# (every sample within 8 of it) or, for "leaves", until some sample has moved away from it.
wait_screen() {
  local mode=$1 ref=$2 what=$3 deadline=$((SECONDS + limit)) n
  while [ $SECONDS -lt $deadline ]; do
    kill -0 "$pid" 2>/dev/null || fail "lanthorn ended while waiting for $what"
    if shot now; then
      n=$(differing "$work/now.txt" "$work/$ref.txt" 8 | wc -l)
      if [ "$mode" = shows ] && [ "$n" -eq 0 ]; then return 0; fi
      if [ "$mode" = leaves ] && [ "$n" -gt 0 ]; then return 0; fi
    fi
    sleep 0.2
  done
  cp "$work/now.png" "$work/last-$ref.png" 2>/dev/null
  if [ "$mode" = shows ]; then
    differing "$work/now.txt" "$work/$ref.txt" 8 | head -n 8
    fail "after ${limit} s the window does not show $what (as in $ref.png of the headless replay)"
  fi
  fail "after ${limit} s the window still shows $ref.png: no $what"
}

# wait_size SIZE SECONDS: waits until the window is SIZE and stays so for half a second.
wait_size() {
  local size=$1 deadline=$((SECONDS + $2)) steady=0
  while [ $SECONDS -lt $deadline ]; do
    if [ "$(window_size)" = "$size" ]; then
      steady=$((steady + 1))
      [ $steady -ge 5 ] && return 0
    else
      steady=0
    fi
    sleep 0.1
  done
  return 1
}

# switch_screen SIZE WHAT: Alt+Enter until the window is SIZE. The switch follows the keys' held
# state every frame, so a tap that spans two frames switches twice; such a tap is tried again.
switch_screen() {
  local size=$1 what=$2 deadline=$((SECONDS + limit))
  while [ $SECONDS -lt $deadline ]; do
    kill -0 "$pid" 2>/dev/null || fail "lanthorn ended while switching to $what"
    xdotool keydown alt keydown Return keyup Return keyup alt
    wait_size "$size" 3 && return 0
  done
  fail "after ${limit} s of Alt+Enter the window is $(window_size), not $size ($what)"
}

# The reference frames: the headless engine with the same pointer, click and pauses.
reference_frames() {
  mkdir -p "$work/ref-game" "$work/ref"
  cp -r "$game"/. "$work/ref-game"/ || fail "cannot copy $game"
  cat >"$work/ref.txt" <<'EOF'
move 100 234
frames 90
shot title.png
click 100 234
frames 200
shot page.png
EOF
  "$replay" "$work/ref-game" "$work/ref.txt" "$work/ref" >"$work/replay.log" 2>&1 ||
    { cat "$work/replay.log"; fail "lanthorn-replay did not make the reference frames"; }
  pixels "$work/ref/title.png" >"$work/title.txt"
  pixels "$work/ref/page.png" >"$work/page.txt"
}

# The full-screen frame fills the screen's width with the aspect kept; scaled back to 800 × 600
# its grid matches the reference within the blur of two resamplings.
check_full_screen_frame() {
  local w=${1%x*} h=${1#*x} dh dy
  dh=$((w * 600 / 800))
  dy=$(((h - dh) / 2))
  import -silent -window "$wid" "$work/full.png" 2>/dev/null || fail "no screenshot in full screen"
  convert "$work/full.png" -crop "${w}x${dh}+0+${dy}" +repage -resize '800x600!' \
    "$work/full-scaled.png"
  make_grid >"$work/grid.txt"
  pixels "$work/full-scaled.png" "$work/grid.txt" >"$work/full.txt"
  pixels "$work/ref/page.png" "$work/grid.txt" >"$work/page-grid.txt"
  local bad
  bad=$(differing "$work/full.txt" "$work/page-grid.txt" 24)
  [ -z "$bad" ] || { echo "$bad" | head -n 8; fail "the full-screen frame is not the page scaled"; }
}

# Full screen needs a window manager to carry it out. It runs before the game starts, as on a
# desktop: the game must show its window and take the focus while a manager frames it.
start_window_manager() {
  evilwm -fn fixed >"$work/evilwm.log" 2>&1 &
  wm_pid=$!
  # Ready once it has announced itself on the root window.
  local deadline=$((SECONDS + limit))
  until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; do
    kill -0 "$wm_pid" 2>/dev/null || { cat "$work/evilwm.log"; fail "evilwm did not start"; }
    [ $SECONDS -lt $deadline ] || fail "evilwm did not announce itself in ${limit} s"
    sleep 0.1
  done
}

# The manager has framed the window: its parent is no longer the root window.
wait_framed() {
  local deadline=$((SECONDS + limit))
  while [ $SECONDS -lt $deadline ]; do
    xwininfo -tree -id "$wid" 2>/dev/null | grep "Parent window id" | grep -vq "the root window" &&
      return 0
    kill -0 "$pid" 2>/dev/null || { tail -n 20 "$work/lanthorn.log"; fail "the game ended"; }
    sleep 0.1
  done
  fail "evilwm did not take the window in ${limit} s"
}

make_samples >"$work/samples.txt"
reference_frames

mkdir -p "$work/play"
cp -r "$game"/. "$work/play"/ && cd "$work/play" || fail "cannot copy $game"
start_window_manager
"$lanthorn" 2>"$work/lanthorn.log" &
pid=$!
wid=$(wait_window Lanthorn "$pid") || fail "no window"
wait_framed
wait_size 800x600 "$limit" || fail "the client area is $(window_size), not 800x600"
xdotool mousemove --window "$wid" 100 234
xdotool windowfocus --sync "$wid" 2>/dev/null || true

wait_screen shows title "the title"
echo "the title is on screen"
# The highlight follows the pointer's own motion, with no button pressed: onto 設定 and back.
xdotool mousemove --window "$wid" 100 486
wait_screen leaves title "the highlight following the pointer"
xdotool mousemove --window "$wid" 100 234
wait_screen shows title "the highlight back on はじめから"
echo "the highlight follows the pointer"
# An instant click (press and release between two frames) is a click all the same.
xdotool click 1
wait_screen leaves title "the fade from the title after an instant click"
wait_screen shows page "the first text page"
echo "the first text page is on screen"

screen=$(xdotool getdisplaygeometry | tr ' ' x)
switch_screen "$screen" "full screen"
echo "full screen: $(window_size)"
check_full_screen_frame "$screen"
switch_screen 800x600 "the window"
echo "back in the window: $(window_size)"
wait_screen shows page "the page again after the switches"

xdotool windowfocus --sync "$wid" 2>/dev/null || true
xdotool key --clearmodifiers alt+F4
wait_exit "$pid" "$limit"
pid=""
echo "exit status: $exit_status"
[ "$exit_status" = "0" ] || fail "lanthorn ended with $exit_status after Alt+F4"
# What was read is kept however the game ends.
[ -s "$work/play/text.dat" ] || fail "Alt+F4 left no read-text record"
echo "PASS"
