#!/usr/bin/env bash
# The play-through distribution of the demo replay (demo/replay.txt) from lanthorn-replay
# --frame-times: median, p99, max and frames over one 144 Hz frame (6.9 ms), for wall and CPU
# time, with the pictures decoded on the frame that needs them (LANTHORN_PICTURE_WORKERS=0, the
# peer) and by the picture workers ahead of it (the default), runs alternating in one session.
# Usage: bench/playthrough.sh [BUILD_DIR] [RUNS]   (defaults: build, 3)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=$(cd "${1:-build}" && pwd)
runs=${2:-3}
replay="$build/tools/replay/lanthorn-replay"
[ -x "$replay" ] && [ -d "$build/demo" ] || {
  echo "build lanthorn-replay and demo in $build first" >&2
  exit 2
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for run in $(seq "$runs"); do
  for workers in 0 2; do
    # A fresh copy each time: the game writes its read-text and progress records as it plays.
    rm -rf "$work/game" "$work/out"
    cp -r "$build/demo" "$work/game"
    LANTHORN_PICTURE_WORKERS=$workers "$replay" --frame-times "$work/times-$workers-$run.txt" \
      "$work/game" "$root/demo/replay.txt" "$work/out" 2>/dev/null >"$work/summary.txt"
    echo "-- run $run, picture workers $workers"
    cat "$work/summary.txt"
  done
done
