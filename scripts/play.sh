#!/usr/bin/env bash
# Installs what is missing, builds the game and starts it. Arguments go to the game.
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
ardo_setup
ardo_build "$ARDO_ROOT/build/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DARDO_SANITIZE=OFF \
  -DARDO_TESTS=OFF -DARDO_BENCH=OFF
exec "$ARDO_ROOT/build/release/game/ardo" "$@"
