# Starts a private Xvfb server for a window test and exports DISPLAY; stops it on exit.
# Sourced by the window tests. Exits 77 (skipped) when Xvfb or xdotool is missing.
#
# The server picks its own display number (-displayfd) and reports it once it accepts
# connections, so two tests never race for one number, and nothing waits a fixed time for it.
# It never resets (-noreset): by default a server starts over whenever its last client leaves,
# and a client connecting in that moment (the window manager right after a probe, the game
# after a tool) is refused.
# Every way out of the test (its end, a failure, a signal from ctest's timeout) runs
# window_test_exit, which calls the test's own `test_cleanup` when it defines one, then stops the
# server and waits for it, so no server outlives its test.
command -v Xvfb >/dev/null && command -v xdotool >/dev/null || { echo "no Xvfb/xdotool"; exit 77; }
xvfb_pid=""
xvfb_dir=$(mktemp -d)
window_test_exit() {
  local status=$?
  trap - EXIT
  if declare -F test_cleanup >/dev/null; then test_cleanup; fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  rm -rf "$xvfb_dir"
  exit "$status"
}
trap window_test_exit EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

mkfifo "$xvfb_dir/display" || exit 1
Xvfb -displayfd 3 -noreset -screen 0 1280x1024x24 -nolisten tcp 3>"$xvfb_dir/display" \
  >"$xvfb_dir/xvfb.log" 2>&1 &
xvfb_pid=$!
# The read ends with the number, or at end of file when the server gave up before reporting it;
# the limit only keeps a server that hangs from holding the test until ctest's own timeout.
xvfb_number=""
read -r -t 120 xvfb_number <"$xvfb_dir/display"
case "$xvfb_number" in
  '' | *[!0-9]*)
    echo "Xvfb did not start"
    cat "$xvfb_dir/xvfb.log"
    exit 1
    ;;
esac
export DISPLAY=":$xvfb_number"
xdpyinfo >/dev/null 2>&1 || { echo "Xvfb on $DISPLAY does not answer"; exit 1; }
export SDL_AUDIODRIVER=dummy

# wait_window NAME [PID]: prints the id of the visible window called NAME (30 s at most: a
# loaded machine can take a while to bring the program up); gives up early when PID has ended.
wait_window() {
  local id=""
  for _ in $(seq 300); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1) && [ -n "$id" ] && break
    if [ -n "${2:-}" ] && ! kill -0 "$2" 2>/dev/null; then break; fi
    sleep 0.1
  done
  [ -n "$id" ] || { echo "no window named $1"; return 1; }
  echo "$id"
}

# wait_exit PID SECONDS: waits for the process to end; sets exit_status (or "timeout").
wait_exit() {
  local pid=$1 limit=$(( $2 * 10 ))
  for _ in $(seq "$limit"); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"
      exit_status=$?
      return 0
    fi
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  exit_status=timeout
}
