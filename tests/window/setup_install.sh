#!/usr/bin/env bash
# In a real window: the setup program installs the demo from its medium (clicking through the
# pages and answering its boxes with Return), the installed game starts from its menu entry's
# command line and opens its window, and the installed copy of setup removes the game again and
# then removes itself.
set -u
medium=$1
. "$(dirname "$0")/xvfb.sh"

work=$(mktemp -d)
trap 'kill $xvfb_pid 2>/dev/null; rm -rf "$work"' EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME/applications" "$HOME/Desktop"
cp -r "$medium" "$work/medium" && cd "$work/medium" || exit 1
installed="$XDG_DATA_HOME/games/BRASK/灯の町"
group="$XDG_DATA_HOME/applications/BRASK/灯の町"

fail() { echo "$1"; cat "$work"/*.log 2>/dev/null; exit 1; }
# click WID X Y: a click at client coordinates of the window.
click() {
  xdotool mousemove --window "$1" "$2" "$3" sleep 0.2 click 1
  sleep 0.3
}
# named PATTERN: the id of a visible window whose whole name matches the shell pattern (xdotool's
# own name search does not match multibyte names).
named() {
  local id
  for id in $(xdotool search --onlyvisible --name . 2>/dev/null); do
    # shellcheck disable=SC2053
    [[ $(xdotool getwindowname "$id" 2>/dev/null) == $1 ]] && { echo "$id"; return 0; }
  done
  return 1
}
# wait_named PATTERN: as named, waiting up to 30 s.
wait_named() {
  for _ in $(seq 300); do named "$1" && return 0; sleep 0.1; done
  return 1
}
# answer CAPTION LOG: presses Return in the message box with that caption. Where no box can be
# shown (no fonts for one on this server) the program writes it to stderr and takes the first
# button itself; then there is nothing to press.
answer() {
  local box
  for _ in $(seq 300); do
    box=$(named "$1") && break
    grep -q "^$1: " "$2" 2>/dev/null && return 0
    sleep 0.1
  done
  [ -n "$box" ] || fail "no box \"$1\""
  xdotool windowfocus "$box" 2>/dev/null
  xdotool key --window "$box" Return
  sleep 0.3
}

./setup 2>"$work/setup.log" &
pid=$!
wid=$(wait_named "*セットアップ") || fail "no setup window"
sleep 0.5
xdotool getwindowgeometry "$wid" | grep -q "Geometry: 480x360" || fail "client area is not 480x360"
click "$wid" 240 211    # install
click "$wid" 424 312    # next: the folder does not exist yet
answer "ディレクトリの作成" "$work/setup.log"
click "$wid" 400 312    # start
answer "灯の町" "$work/setup.log"  # a desktop entry too
click "$wid" 240 252    # exit
wait_exit $pid 20
[ "$exit_status" = "0" ] || fail "setup ended with $exit_status"
for f in lanthorn setup data.pkd system.pkd Uninstall.dir "はじめにお読みください.txt"; do
  [ -e "$installed/$f" ] || fail "not installed: $f"
done
[ -e "$HOME/Desktop/灯の町.desktop" ] || fail "no desktop entry"
entry="$group/灯の町.desktop"
[ -e "$entry" ] || fail "no menu entry"

# The game from its menu entry: the Exec command in the Path folder.
exec_line=$(sed -n 's/^Exec=//p' "$entry" | sed 's/^"\(.*\)"$/\1/')
path_line=$(sed -n 's/^Path=//p' "$entry")
( cd "$path_line" && exec "$exec_line" ) 2>"$work/game.log" &
game=$!
gwid=$(wait_window Lanthorn) || { kill $game; fail "the installed game opened no window"; }
xdotool windowfocus --sync "$gwid" 2>/dev/null || true
xdotool key --clearmodifiers alt+F4
wait_exit $game 10
[ "$exit_status" = "0" ] || fail "the game ended with $exit_status"

# Removal from the installed copy, started the way its menu entry starts it.
( cd "$installed" && exec ./setup ) 2>"$work/remove.log" &
pid=$!
wid=$(wait_named "*セットアップ") || fail "no setup window for removal"
sleep 0.5
click "$wid" 240 261    # uninstall
answer "灯の町" "$work/remove.log"  # yes, remove it
click "$wid" 240 252    # exit: the setup program removes itself
wait_exit $pid 20
[ "$exit_status" = "0" ] || fail "removal ended with $exit_status"
for _ in $(seq 100); do
  [ -e "$installed/setup" ] || [ -e "$installed/del_me.sh" ] || break
  sleep 0.1
done
# What the player's game wrote there (its settings and records) stays; nothing installed does.
left=$(cd "$installed" 2>/dev/null && find . -mindepth 1 | grep -v -E '^\./(system|data|text)\.dat$|^\./SAVE' | head)
[ -z "$left" ] || fail "left in the installation folder: $left"
[ ! -e "$group" ] || fail "the menu group is still there"
[ ! -e "$HOME/Desktop/灯の町.desktop" ] || fail "the desktop entry is still there"
echo "installed, played and removed"
