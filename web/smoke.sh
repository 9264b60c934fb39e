#!/usr/bin/env bash
# The browser smoke test: serves build/web/site on a free port of 127.0.0.1 and lets
# web/smoke.js drive headless Chromium through it.  smoke.sh WEB_BUILD NATIVE_BUILD
set -euo pipefail
web="$1" native="$2"
here="$(cd "$(dirname "$0")" && pwd)"
out="$web/smoke"
rm -rf "$out"
mkdir -p "$out/native/save"
# The native headless shot of the title, to compare with.
for d in "$native"/game/*/; do
  d="${d%/}"
  [ "$(basename "$d")" = save ] || ln -s "$(readlink -f "$d")" "$out/native/$(basename "$d")"
done
(cd "$out/native" && "$native/game/ardo" --headless --seed 1 --data "$out/native" \
  --script "$here/../packaging/shots_title.txt" >/dev/null)
port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
python3 "$here/serve.py" "$web/site" "$port" &
server=$!
trap 'kill $server 2>/dev/null || true' EXIT
sleep 0.5
node "$here/smoke.js" "http://127.0.0.1:$port/" "$out/native/title.png" "$out"
