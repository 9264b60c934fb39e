#!/bin/bash
# Resident memory of the windowed game with music over time: the autopilot plays the game
# in the window (under Xvfb, the dummy audio driver decoding the music as a sound card
# would take it) while VmRSS is sampled every STEP seconds (default 10) for SECONDS
# (default 600). Prints the samples, then the peak against the budget (50 MB) and the
# growth from the end of the first minute to the end (budget: flat, under 2 MB), and from
# the end of the second, when the new game is under way (the autopilot's title and opening
# take some 90 s; it reads its maps and sizes its route tables, 1 MB, at the start). The
# heap column is what the allocator holds, freed or not: the live heap is flat through the
# game (heaptrack shows it), but memory freed in the middle of the heap stays resident.
#   bench/memory_over_time.sh GAME_DIR [SECONDS]
set -u
command -v Xvfb >/dev/null || { echo "$0: needs Xvfb (Debian package xvfb)"; exit 1; }
game=$(cd "${1:?game folder}" && pwd)
secs=${2:-600}
step=${STEP:-10}
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
work=$(mktemp -d)
mkdir "$work/save"
for d in "$game"/*/; do
  n=$(basename "$d")
  [ "$n" != save ] && ln -s "$d" "$work/$n"
done
disp=:$((90 + RANDOM % 100))
Xvfb "$disp" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xpid=$!
sleep 1
(cd "$work" && DISPLAY=$disp exec "$game/ardo" --scale 2 --autopilot --seed 1 --data "$work" >/dev/null 2>&1) &
gpid=$!
# Resident in all, then split: the heap (anonymous) and pages of mapped files (the
# libraries, the window font: a glyph's pages become resident when it is first drawn).
rss() { awk '/^(VmRSS|RssAnon|RssFile):/{printf "%.1f ", $2/1024}' "/proc/$gpid/status" 2>/dev/null; }
samples=()
for ((t = step; t <= secs; t += step)); do
  sleep "$step"
  r=$(rss)
  [ -z "$r" ] && { echo "the game ended at ${t} s"; break; }
  samples+=("$t $r")
  set -- $r
  printf '%5d s  %6.1f MB   heap %5.1f  files %5.1f\n' "$t" "$1" "$2" "$3"
done
kill $gpid 2>/dev/null; wait $gpid 2>/dev/null
kill $xpid 2>/dev/null; wait $xpid 2>/dev/null
rm -rf "$work"
printf '%s\n' "${samples[@]}" | awk '{ t[NR] = $1; m[NR] = $2; if ($2 > peak) peak = $2; if (!at60 && $1 >= 60) at60 = $2 }
  { if (!at120 && $1 >= 120) at120 = $2 }
  END {
    if (NR == 0) exit 1
    growth = m[NR] - at60
    printf "peak %.1f MB (budget 50 MB: %s); after the first minute %+.1f MB over %d s (budget flat, < 2 MB: %s)\n",
      peak, peak <= 50 ? "holds" : "OVER", growth, t[NR] - 60, growth < 2 ? "holds" : "OVER"
    if (at120) printf "after the second minute (the game under way): %+.1f MB over %d s\n", m[NR] - at120, t[NR] - 120 }'
