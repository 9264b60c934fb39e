#!/bin/bash
# Whose is the resident memory of the windowed game? Peak RSS (VmHWM) after 8 s in the
# field, in four set-ups that differ by one part each:
#   headless            our surfaces, font and tables (no window, no sound)
#   window, no sound    + SDL's window, frames scaled into its own pixels (under Xvfb)
#   window, renderer    the same through SDL's renderer (here Mesa's software OpenGL)
#   window and music    + the audio device and the music decoder (Ogg Vorbis, one tune open)
#   bench/memory_windowed.sh GAME_DIR
set -u
for tool in Xvfb; do
  command -v $tool >/dev/null || { echo "$0: needs $tool (Debian packages xvfb and xdotool)"; exit 1; }
done
game=${1:?game folder}
hwm() { awk '/VmHWM/{printf "%.1f", $2/1024}' "/proc/$1/status" 2>/dev/null; }
windowed() {  # label, env...
  local label=$1; shift
  local disp=:$((90 + RANDOM % 100))
  Xvfb "$disp" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  local xpid=$!
  sleep 1
  env DISPLAY=$disp "$@" "$game/ardo" --scale 2 --new-game >/dev/null 2>&1 &
  local gpid=$!
  sleep 8
  printf '%-20s %6s MB\n' "$label" "$(hwm $gpid)"
  kill $gpid; wait $gpid 2>/dev/null
  kill $xpid; wait $xpid 2>/dev/null
}
script=$(mktemp)
echo "wait 8000" > "$script"
/usr/bin/time -f '%M' -o "$script.rss" "$game/ardo" --headless --new-game --script "$script" >/dev/null 2>&1
printf '%-20s %6.1f MB\n' headless "$(awk '{print $1/1024}' "$script.rss")"
rm -f "$script" "$script.rss"
windowed "window, no sound" SDL_AUDIODRIVER=none
windowed "window, renderer" SDL_AUDIODRIVER=none ARDO_DISPLAY=renderer
windowed "window and music" SDL_AUDIODRIVER=dummy
