#!/bin/bash
# How long the windowed game takes from its start to its first frame on the window, at idle
# and under a load of two busy processes (one per core here), under Xvfb with the dummy
# audio driver. Each case runs RUNS times (default 5); prints the median and the spread
# beside the budget (300 ms idle, twice that under load), and the CPU the game had used by
# then (its own threads, all of them: steady whatever the machine's load).
#   bench/first_frame.sh GAME_DIR
set -u
command -v Xvfb >/dev/null || { echo "$0: needs Xvfb (Debian package xvfb)"; exit 1; }
game=${1:?game folder}
runs=${RUNS:-5}
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
disp=:$((90 + RANDOM % 100))
Xvfb "$disp" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xpid=$!
sleep 1
once() {  # prints ms from the start to the first frame, and the game's CPU ms by then
  local log t0 t1 cpu
  log=$(mktemp)
  t0=$(date +%s.%N)
  DISPLAY=$disp ARDO_FIRST_FRAME=1 "$game/ardo" --scale 2 2>"$log" >/dev/null &
  local gpid=$!
  for _ in $(seq 100); do grep -q "first frame at" "$log" && break; sleep 0.05; done
  t1=$(sed -n 's/.*first frame at \([0-9.]*\).*/\1/p' "$log" | head -1)
  cpu=$(sed -n 's/.*after \([0-9.]*\) ms of CPU.*/\1/p' "$log" | head -1)
  kill $gpid 2>/dev/null; wait $gpid 2>/dev/null
  rm -f "$log"
  [ -n "$t1" ] && awk -v a="$t0" -v b="$t1" -v c="$cpu" 'BEGIN { printf "%.0f %.0f\n", (b - a) * 1000, c }' || echo "99999 0"
}
report() {  # label, budget ms
  local ms=() i
  for i in $(seq "$runs"); do ms+=("$(once)"); done  # "wall cpu" each
  printf '%s\n' "${ms[@]}" | sort -n | awk -v l="$1" -v b="$2" '{ v[NR] = $1; c[NR] = $2 } END {
    m = v[int((NR + 1) / 2)]
    n = NR
    for (i = 2; i <= n; i++) { x = c[i]; for (j = i - 1; j >= 1 && c[j] > x; j--) c[j + 1] = c[j]; c[j + 1] = x }
    printf "%-22s median %5d ms  (min %d, max %d, %d runs)  budget %4d ms  %s   CPU by then: median %d ms\n",
      l, m, v[1], v[NR], NR, b, m <= b ? "holds" : "OVER", c[int((n + 1) / 2)] }'
}
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
report "first frame, idle" 300
busy=()
for _ in 1 2; do (while :; do :; done) & busy+=($!); done
report "first frame, 2 busy" 600
kill "${busy[@]}" 2>/dev/null; wait "${busy[@]}" 2>/dev/null
kill $xpid 2>/dev/null; wait $xpid 2>/dev/null
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
