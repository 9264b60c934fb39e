#!/bin/bash
# The installed game: `cmake --install` of the test build into a temporary prefix, the
# desktop files validated, and the installed program run headless from there with a
# read-only share folder and a temporary home.
#   install_test.sh BUILD_DIR
set -euo pipefail
build="$1"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/ardo-install.XXXXXX")"
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
id="$(basename "$prefix"/share/applications/*.desktop .desktop)"

# The tree.
for f in bin/ardo share/ardo/map share/ardo/data share/ardo/graphics/icon.png share/ardo/music share/ardo/sound \
  share/ardo/text share/ardo/narration share/man/man6/ardo.6 "share/metainfo/$id.metainfo.xml" \
  share/ardo/screenshots/title.png; do
  [ -e "$prefix/$f" ] || fail "not installed: $f"
done
for size in 16 32 48 64 128 256; do
  png="$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png"
  [ -f "$png" ] || fail "no ${size}px icon"
  # The PNG header's width and height (big-endian at bytes 16 and 20).
  read -r w h < <(od -An -tu4 --endian=big -j16 -N8 "$png")
  [ "$w" = "$size" ] && [ "$h" = "$size" ] || fail "the ${size}px icon is ${w}x${h}"
done
[ ! -e "$prefix/share/ardo/save" ] && [ ! -e "$prefix/share/ardo/ardo" ] || fail "program or saves under share/ardo"

# The desktop files and the manual.
desktop-file-validate "$prefix/share/applications/$id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >"$work/as.txt" 2>&1 ||
  { cat "$work/as.txt"; fail "appstreamcli validate"; }
man_out="$(MANWIDTH=80 man --warnings -l "$prefix/share/man/man6/ardo.6" 2>"$work/man.err")"
[ ! -s "$work/man.err" ] || { cat "$work/man.err"; fail "the man page has warnings"; }
for word in --data --settings --scale settings.ini .local/share/ardo Alt+Enter; do
  grep -q -- "$word" <<<"$man_out" || fail "the man page lacks $word"
done

# Run from the install: the content read-only (for root, whose writes chmod can't stop,
# the program must keep off its shared folder by itself; the check below sees that).
chmod -R a-w "$prefix/share/ardo"
touch "$work/before"
run() { # HOME-ish environment is set by the caller
  "$prefix/bin/ardo" --headless "$@"
}
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
mkdir -p "$work/home"
export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
settings="$XDG_CONFIG_HOME/ardo/settings.ini"
cd "$work"

# 1. A new game saved: the save in the player's data folder, the settings written with defaults.
run --new-game --settings "$settings" --script "$here/save.txt" || fail "saving from the installed game"
[ -s "$XDG_DATA_HOME/ardo/save/1.vkd" ] || fail "no save in \$XDG_DATA_HOME/ardo/save"
grep -q '^scale = 0' "$settings" && grep -q '^up = default' "$settings" || fail "settings.ini not written with defaults"
[ ! -e "$XDG_DATA_HOME/ardo/error.log" ] || { cat "$XDG_DATA_HOME/ardo/error.log"; fail "faults logged"; }
# 2. It loads back from the title.
run --settings "$settings" --script "$here/load.txt" || fail "loading the save back"
[ -z "$(find "$prefix/share/ardo" -newer "$work/before")" ] || fail "the program wrote into share/ardo"

# 3. A rebinding moves the hero with the new key (and the arrow it replaced no more).
printf '[keys]\nup = W\n' >"$work/rebind.ini"
run --map test 10 12 --settings "$work/rebind.ini" --script "$here/rebind.txt" || fail "the rebinding"

# 4. A bad settings file: each bad line in error.log, defaults used, the game plays.
printf '[window]\nscale = 1000000\n%%garbage%%\n[keys]\nup = Hyperdrive\n' >"$work/bad.ini"
printf 'until scene=field standing\nwait 1000\npress up\nwait 400\nuntil standing pos=10,11 timeout 100\n' >"$work/up.txt"
run --map test 10 12 --settings "$work/bad.ini" --script "$work/up.txt" || fail "the default keys were not kept"
log="$XDG_DATA_HOME/ardo/error.log"
for line in 2 3 5; do
  grep -q "Settings Error: .*bad.ini line $line:" "$log" || { cat "$log"; fail "bad line $line not reported"; }
done

# 5. No usable home (HOME is a file, no XDG folders): the game starts and plays, saving
# is refused with the game's message, and the reason reaches the terminal.
printf 'not a folder' >"$work/homefile"
HOME="$work/homefile" XDG_DATA_HOME= XDG_CONFIG_HOME= run --new-game --script "$here/save_refused.txt" \
  2>"$work/stderr.txt" || { cat "$work/stderr.txt"; fail "the game without a home"; }
grep -q "Save Error: " "$work/stderr.txt" || { cat "$work/stderr.txt"; fail "the refused save's reason"; }
echo "install test passed"
