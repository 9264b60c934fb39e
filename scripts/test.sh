#!/usr/bin/env bash
# Installs what is missing, builds everything with the sanitizers and runs every test: the
# desktop's, then the browser build's (scripts/web.sh --test, on the same content).
#   scripts/test.sh             every test
#   scripts/test.sh --desktop   the desktop's only
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
web=1
case "${1:-}" in
  "") ;;
  --desktop) web=0 ;;
  *) echo "usage: scripts/test.sh [--desktop]"; exit 2 ;;
esac
ardo_setup
ardo_build "$ARDO_ROOT/build/test" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DARDO_SANITIZE=ON -DARDO_WERROR=ON
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export LSAN_OPTIONS="suppressions=$ARDO_ROOT/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd "$ARDO_ROOT/build/test" && ctest --output-on-failure -j "$(nproc)" --timeout 600)
[ "$web" = 1 ] || exit 0
ARDO_WEB_NATIVE="$ARDO_ROOT/build/test" "$ARDO_ROOT/scripts/web.sh" --test
