#!/usr/bin/env bash
# The autopilot plays the whole game under node and natively with the same seed; the two
# reports must be the same.  autopilot_same.sh NODE_ARDO NATIVE_ARDO GAME_DIR WORK SEED [REPORT]
# REPORT: the native tree's report of the same run (its tests' own), used instead of playing
# natively again when it is newer than the native program.
set -euo pipefail
node_ardo="$1" native_ardo="$2" game="$3" work="$4" seed="$5" kept="${6:-}"
run() {  # run NAME PROGRAM
  local dir="$work/$1"
  rm -rf "$dir"
  mkdir -p "$dir/save"
  local e
  for e in "$game"/*/; do
    e="${e%/}"
    [ "$(basename "$e")" = save ] || ln -s "$(readlink -f "$e")" "$dir/$(basename "$e")"
  done
  (cd "$dir" && "$2" --headless --autopilot --seed "$seed" --data "$dir" >"$work/$1.txt" 2>&1) ||
    { cat "$work/$1.txt"; echo "the $1 run failed"; exit 1; }
  if [ -f "$dir/error.log" ]; then cat "$dir/error.log"; echo "the $1 run logged faults"; exit 1; fi
}
mkdir -p "$work"
native_dir="$work/native/"
if [ -n "$kept" ] && [ -f "$kept" ] && [ "$kept" -nt "$(readlink -f "$native_ardo")" ]; then
  cp "$kept" "$work/native.txt"
  native_dir="$(dirname "$kept")/"
  echo "the native report: $kept"
else
  run native "$native_ardo"
fi
run node "$node_ardo"
grep -q "the staff roll was shown and the title is back" "$work/node.txt" || { cat "$work/node.txt"; exit 1; }
# (the seconds on the clock on the wall and the run's own folder differ, the rest may not)
same() { sed -E -e 's/wall +[0-9.]+ s/wall - s/' -e "s|$2|RUN/|" "$work/$1.txt"; }
diff -u <(same native "$native_dir") <(same node "$work/node/")
echo "the report under node is the native one (seed $seed)"
