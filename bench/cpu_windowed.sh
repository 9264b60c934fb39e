#!/bin/bash
# CPU and resident memory of the windowed game under Xvfb, with the dummy audio driver.
#   bench/cpu_windowed.sh GAME_DIR [SECONDS]
# Cases: the title screen, standing still in town (people walk about), standing on the
# open field (nobody else there: "field"), and walking up and down in town (two steps
# each way, clear of the doors; keys from xdotool). Prints the game's CPU as % of one core (utime+stime over SECONDS),
# Xvfb's, and the game's peak resident memory. Needs the Debian packages xvfb and xdotool.
# CASES="still walk" picks cases; ARDO_DISPLAY=renderer shows frames through SDL's renderer
# (OpenGL, here Mesa's software rasteriser) instead of the window's own pixels. RUNS=N runs
# each case N times (default 3) and prints every measure, the median and the budget beside it
# (title and standing with music 2 %, walking 4 % of a core; "field" has none of its own).
set -u
for tool in Xvfb xdotool; do
  command -v $tool >/dev/null || { echo "$0: needs $tool (Debian packages xvfb and xdotool)"; exit 1; }
done
game=${1:?game folder}
secs=${2:-20}
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
cases=${CASES:-title still field walk}
hz=$(getconf CLK_TCK)
ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }

run_case() {  # name, walk(0/1), ardo args...
  local name=$1 walk=$2; shift 2
  local disp=:$((90 + RANDOM % 100))
  Xvfb "$disp" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  local xpid=$!
  sleep 1
  DISPLAY=$disp "$game/ardo" --scale 2 "$@" >/dev/null 2>&1 &
  local gpid=$!
  sleep 6  # logo, fades and the first tune settle
  local walker=
  if [ "$walk" = 1 ]; then
    DISPLAY=$disp xdotool search --name ardo windowfocus >/dev/null 2>&1
    ( while :; do
        DISPLAY=$disp xdotool keydown Down; sleep 0.4; DISPLAY=$disp xdotool keyup Down
        DISPLAY=$disp xdotool keydown Up; sleep 0.4; DISPLAY=$disp xdotool keyup Up
      done ) >/dev/null 2>&1 &
    walker=$!
    sleep 1
  fi
  local g0 x0 g1 x1
  g0=$(ticks $gpid); x0=$(ticks $xpid)
  sleep "$secs"
  g1=$(ticks $gpid); x1=$(ticks $xpid)
  local rss
  rss=$(awk '/VmHWM/{print $2}' /proc/$gpid/status 2>/dev/null)
  [ -n "$walker" ] && kill $walker 2>/dev/null
  kill $gpid 2>/dev/null; wait $gpid 2>/dev/null
  kill $xpid 2>/dev/null; wait $xpid 2>/dev/null
  awk -v n="$name" -v g=$((g1 - g0)) -v x=$((x1 - x0)) -v s="$secs" -v hz="$hz" -v r="${rss:-0}" \
    'BEGIN { printf "%-8s game %5.1f %%  Xvfb %5.1f %%  peak RSS %6.1f MB\n", n, 100*g/hz/s, 100*x/hz/s, r/1024 }'
}

runs=${RUNS:-3}
repeat_case() {  # name, budget %, walk, ardo args...
  local name=$1 budget=$2; shift 2
  local out=() line i
  for ((i = 0; i < runs; i++)); do
    line=$(run_case "$name" "$@")
    echo "$line"
    out+=("$(awk '{print $3}' <<<"$line")")
  done
  printf '%s\n' "${out[@]}" | sort -n | awk -v n="$name" -v b="$budget" '{ v[NR] = $1 } END {
    m = v[int((NR + 1) / 2)]
    if (b == "-") printf "%-8s median %5.1f %% of a core (%.1f to %.1f, %d runs)\n", n, m, v[1], v[NR], NR
    else printf "%-8s median %5.1f %% of a core (%.1f to %.1f, %d runs)  budget %s %%  %s\n", n, m, v[1], v[NR], NR, b, m <= b ? "holds" : "OVER" }'
}

echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
for c in $cases; do
  case $c in
    title) repeat_case title 2 0 ;;
    still) repeat_case still 2 0 --new-game ;;
    field) repeat_case field - 0 --map field 21 9 ;;
    walk) repeat_case walk 4 1 --new-game ;;
  esac
done
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
