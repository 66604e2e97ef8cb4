# Starts a private Xvfb server for a window test and exports DISPLAY; stops it on exit.
# Sourced by the window tests. Exits 77 (skipped) when Xvfb or xdotool is missing.
command -v Xvfb >/dev/null && command -v xdotool >/dev/null || { echo "no Xvfb/xdotool"; exit 77; }
xvfb_display=""
for n in $(seq 90 140); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then xvfb_display=":$n"; break; fi
done
[ -n "$xvfb_display" ] || { echo "no free display number"; exit 1; }
Xvfb "$xvfb_display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null; wait $xvfb_pid 2>/dev/null' EXIT
export DISPLAY="$xvfb_display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
xdpyinfo >/dev/null 2>&1 || { echo "Xvfb did not start"; exit 1; }
export SDL_AUDIODRIVER=dummy

# wait_window NAME: prints the id of the visible window called NAME (30 s at most: a loaded
# machine can take a while to bring the program up).
wait_window() {
  local id=""
  for _ in $(seq 300); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1) && [ -n "$id" ] && break
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
  exit_status=timeout
}
