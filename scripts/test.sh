#!/usr/bin/env bash
# Installs what is missing, builds everything with the sanitizers and runs every test.
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
ardo_setup
ardo_build "$ARDO_ROOT/build/test" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DARDO_SANITIZE=ON -DARDO_WERROR=ON
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export LSAN_OPTIONS="suppressions=$ARDO_ROOT/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd "$ARDO_ROOT/build/test"
ctest --output-on-failure -j "$(nproc)" --timeout 600
