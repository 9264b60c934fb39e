#!/usr/bin/env bash
# The game in a browser. Installs what is missing (emscripten, node, chromium), builds the
# libraries for the web from Debian's own source packages once (cached in build/web-deps),
# builds the game for the web into build/web/site and serves it on 127.0.0.1.
#   scripts/web.sh              build, then serve on http://127.0.0.1:8080/ (--port N)
#   scripts/web.sh --build      build only
#   scripts/web.sh --test       build, then the web tests: the unit tests, the scenarios and
#                               an autopilot run under node, and the Chromium smoke test
# The content, its tools and the native shots and reports to compare with come from a native
# build: build/release, built here, or the tree ARDO_WEB_NATIVE names (scripts/test.sh
# passes its test tree, built just before).
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

mode=serve
port=8080
while [ $# -gt 0 ]; do
  case "$1" in
    --build) mode=build ;;
    --test) mode=test ;;
    --port) port="$2"; shift ;;
    *) echo "usage: scripts/web.sh [--build | --test | --port N]"; exit 2 ;;
  esac
  shift
done

WEB_DEPS="$ARDO_ROOT/build/web-deps"
WEB_PREFIX="$WEB_DEPS/prefix"
WEB_BUILD="$ARDO_ROOT/build/web"
NATIVE_BUILD="$(realpath -m "${ARDO_WEB_NATIVE:-$ARDO_ROOT/build/release}")"
WEB_PACKAGES=(emscripten nodejs chromium python3 python3-fonttools pkg-config fonts-ipafont-gothic)

web_install() {
  local missing=() p
  for p in "${WEB_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ "${#missing[@]}" -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
}

# emscripten's packaged configuration has a frozen, read-only cache (the C library is
# built into it on first use): a writable copy under the build folder.
web_toolchain() {
  local em="$WEB_DEPS/emscripten"
  if [ ! -f "$em/config" ]; then
    mkdir -p "$em"
    rm -rf "$em/cache"
    cp -a /usr/share/emscripten/cache "$em/cache"
    sed -e "s|^FROZEN_CACHE.*|FROZEN_CACHE = False|" /usr/share/emscripten/.emscripten > "$em/config.tmp"
    printf "\nCACHE = '%s'\n" "$em/cache" >> "$em/config.tmp"
    mv "$em/config.tmp" "$em/config"
  fi
  export EM_CONFIG="$em/config"
  export NODE_PATH=/usr/share/nodejs  # emscripten's own tools need Debian's acorn
  export PATH="/usr/share/emscripten:$PATH"
}

# Debian's source packages, through an apt configuration of our own under the build folder
# (the machine's own source lists are left as they are): the same archives, with deb-src.
web_apt() {
  local apt="$WEB_DEPS/apt"
  mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/cache/archives/partial"
  APT_OPTS=(-o "Dir::Etc::SourceList=/dev/null" -o "Dir::Etc::SourceParts=$apt/sources.list.d"
    -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache")
  if [ ! -f "$apt/updated" ]; then
    rm -f "$apt/sources.list.d/"*
    local f
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] && sed -e 's/^Types:.*/Types: deb deb-src/' "$f" > "$apt/sources.list.d/$(basename "$f")"
    done
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
      [ -f "$f" ] || continue
      grep -E '^deb ' "$f" | sed -e 's/^deb /deb-src /' > "$apt/sources.list.d/$(basename "$f").list" || true
    done
    apt-get "${APT_OPTS[@]}" update -qq
    touch "$apt/updated"
  fi
}

# Fetches Debian source package $1 into build/web-deps/src/$1 (once).
web_source() {
  local pkg="$1" dir="$WEB_DEPS/src/$1"
  if [ ! -f "$dir/.fetched" ]; then
    web_apt
    rm -rf "$dir"
    mkdir -p "$dir"
    (cd "$dir" && apt-get "${APT_OPTS[@]}" source -qq "$pkg" >/dev/null)
    touch "$dir/.fetched"
  fi
  SRC_DIR="$(find "$dir" -mindepth 1 -maxdepth 1 -type d | head -n 1)"
}

# Builds a CMake project of Debian source package $1 for the web into the prefix (once).
web_lib() {
  local pkg="$1"
  shift
  # (built again when its options change)
  [ "$(cat "$WEB_DEPS/stamps/$pkg" 2>/dev/null)" = "$*" ] && return 0
  echo "Building $pkg for the web (once; cached in build/web-deps)"
  web_source "$pkg"
  local bdir="$WEB_DEPS/build/$pkg"
  rm -rf "$bdir"
  mkdir -p "$bdir"
  emcmake cmake -S "$SRC_DIR" -B "$bdir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$WEB_PREFIX" -DCMAKE_PREFIX_PATH="$WEB_PREFIX" \
    -DCMAKE_FIND_ROOT_PATH="$WEB_PREFIX" -DBUILD_SHARED_LIBS=OFF "$@" >"$bdir.log" 2>&1 ||
    { tail -30 "$bdir.log"; exit 1; }
  cmake --build "$bdir" -j "$(nproc)" >>"$bdir.log" 2>&1 || { tail -30 "$bdir.log"; exit 1; }
  cmake --install "$bdir" >>"$bdir.log" 2>&1 || { tail -30 "$bdir.log"; exit 1; }
  rm -rf "$bdir"
  mkdir -p "$WEB_DEPS/stamps"
  echo "$*" > "$WEB_DEPS/stamps/$pkg"
}

# inih: Debian's source package is not to be had, so the web build has its own reader
# with inih's interface and rules (web/ini.c).
web_inih() {
  [ -f "$WEB_DEPS/stamps/inih" ] && [ "$WEB_DEPS/stamps/inih" -nt "$ARDO_ROOT/web/ini.c" ] && return 0
  mkdir -p "$WEB_PREFIX/lib/pkgconfig" "$WEB_PREFIX/include" "$WEB_DEPS/stamps"
  emcc -O2 -Wall -Wextra -Werror -c "$ARDO_ROOT/web/ini.c" -o "$WEB_DEPS/ini.o"
  rm -f "$WEB_PREFIX/lib/libinih.a"
  emar rcs "$WEB_PREFIX/lib/libinih.a" "$WEB_DEPS/ini.o"
  cp "$ARDO_ROOT/web/ini.h" "$WEB_PREFIX/include/"
  printf 'prefix=%s\nName: inih\nDescription: INI reader\nVersion: 55\nLibs: -L${prefix}/lib -linih\nCflags: -I${prefix}/include\n' \
    "$WEB_PREFIX" > "$WEB_PREFIX/lib/pkgconfig/inih.pc"
  touch "$WEB_DEPS/stamps/inih"
}

web_libraries() {
  web_apt
  # SDL first on its own (the longest) beside the others.
  # Only the subsystems the game uses (video, render, events, audio, joysticks, timers), and
  # its configure checks answered beforehand (web/sdl-checks.cmake).
  web_lib libsdl2 -C "$ARDO_ROOT/web/sdl-checks.cmake" -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF \
    -DSDL_HAPTIC=OFF -DSDL_HIDAPI=OFF -DSDL_POWER=OFF -DSDL_SENSOR=OFF -DSDL_LOCALE=OFF -DSDL_MISC=OFF \
    -DSDL_DISKAUDIO=OFF &
  local sdl=$!
  web_other_libraries
  wait "$sdl"
  web_sdl_libraries
}

# libogg and libvorbis (the music's decoder): their C files compiled as they are (their
# CMake size checks fail under emscripten).
web_vorbis() {
  [ -f "$WEB_DEPS/stamps/libvorbis" ] && return 0
  echo "Building libogg and libvorbis for the web (once; cached in build/web-deps)"
  local obj="$WEB_DEPS/build/vorbis" ogg vorbis f
  rm -rf "$obj"
  mkdir -p "$obj" "$WEB_PREFIX/lib/pkgconfig" "$WEB_PREFIX/include/ogg" "$WEB_PREFIX/include/vorbis"
  web_source libogg
  ogg="$SRC_DIR"
  cp "$ogg"/include/ogg/ogg.h "$ogg"/include/ogg/os_types.h "$WEB_PREFIX/include/ogg/"
  printf '%s\n' '#ifndef __CONFIG_TYPES_H__' '#define __CONFIG_TYPES_H__' '#include <stdint.h>' \
    'typedef int16_t ogg_int16_t;' 'typedef uint16_t ogg_uint16_t;' 'typedef int32_t ogg_int32_t;' \
    'typedef uint32_t ogg_uint32_t;' 'typedef int64_t ogg_int64_t;' 'typedef uint64_t ogg_uint64_t;' \
    '#endif' > "$WEB_PREFIX/include/ogg/config_types.h"
  web_source libvorbis
  vorbis="$SRC_DIR"
  cp "$vorbis"/include/vorbis/*.h "$WEB_PREFIX/include/vorbis/"
  for f in "$ogg"/src/bitwise.c "$ogg"/src/framing.c; do
    emcc -O2 -I"$WEB_PREFIX/include" -c "$f" -o "$obj/ogg_$(basename "$f" .c).o"
  done
  for f in "$vorbis"/lib/*.c; do
    case "$(basename "$f")" in barkmel.c|psytune.c|tone.c) continue ;; esac
    emcc -O2 -w -I"$WEB_PREFIX/include" -I"$vorbis/lib" -c "$f" -o "$obj/vorbis_$(basename "$f" .c).o"
  done
  emar rcs "$WEB_PREFIX/lib/libogg.a" "$obj"/ogg_*.o
  emar rcs "$WEB_PREFIX/lib/libvorbis.a" "$obj"/vorbis_*.o
  printf 'prefix=%s\nName: vorbisfile\nDescription: Ogg Vorbis\nVersion: 1.3.7\nLibs: -L${prefix}/lib -lvorbis -logg\nCflags: -I${prefix}/include\n' \
    "$WEB_PREFIX" > "$WEB_PREFIX/lib/pkgconfig/vorbisfile.pc"
  rm -rf "$obj"
  mkdir -p "$WEB_DEPS/stamps"
  touch "$WEB_DEPS/stamps/libvorbis"
}

# HarfBuzz, which lays out SDL_ttf's lines on the desktop too (without it bold text is a
# pixel wider a character): its one-file build, with FreeType.
web_harfbuzz() {
  [ -f "$WEB_DEPS/stamps/harfbuzz" ] && return 0
  echo "Building harfbuzz for the web (once; cached in build/web-deps)"
  web_source harfbuzz
  mkdir -p "$WEB_PREFIX/lib/pkgconfig" "$WEB_PREFIX/include/harfbuzz" "$WEB_DEPS/build"
  em++ -std=c++11 -O2 -DNDEBUG -DHAVE_FREETYPE=1 -DHB_NO_MT -fno-rtti -fno-exceptions \
    -I"$WEB_PREFIX/include/freetype2" -c "$SRC_DIR/src/harfbuzz.cc" -o "$WEB_DEPS/build/harfbuzz.o"
  rm -f "$WEB_PREFIX/lib/libharfbuzz.a"
  emar rcs "$WEB_PREFIX/lib/libharfbuzz.a" "$WEB_DEPS/build/harfbuzz.o"
  rm -f "$WEB_DEPS/build/harfbuzz.o"
  cp "$SRC_DIR"/src/hb.h "$SRC_DIR"/src/hb-*.h "$WEB_PREFIX/include/harfbuzz/"
  printf 'prefix=%s\nName: harfbuzz\nDescription: text shaping\nVersion: 6.0.0\nLibs: -L${prefix}/lib -lharfbuzz\nCflags: -I${prefix}/include/harfbuzz\n' \
    "$WEB_PREFIX" > "$WEB_PREFIX/lib/pkgconfig/harfbuzz.pc"
  touch "$WEB_DEPS/stamps/harfbuzz"
}

web_other_libraries() {
  web_vorbis
  web_lib googletest "-DCMAKE_CXX_FLAGS=-fexceptions" -Dgtest_disable_pthreads=ON -DBUILD_GMOCK=ON
  web_inih
  web_lib freetype -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
    -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
  web_harfbuzz
}

web_sdl_libraries() {
  web_lib libsdl2-ttf -DSDL2TTF_VENDORED=OFF -DSDL2TTF_HARFBUZZ=ON -DSDL2TTF_SAMPLES=OFF
  web_lib libsdl2-image -DSDL2IMAGE_BACKEND_STB=ON -DSDL2IMAGE_SAMPLES=OFF -DSDL2IMAGE_DEPS_SHARED=OFF \
    -DSDL2IMAGE_AVIF=OFF -DSDL2IMAGE_BMP=OFF -DSDL2IMAGE_GIF=OFF -DSDL2IMAGE_JPG=OFF -DSDL2IMAGE_JXL=OFF \
    -DSDL2IMAGE_LBM=OFF -DSDL2IMAGE_PCX=OFF -DSDL2IMAGE_PNM=OFF -DSDL2IMAGE_QOI=OFF -DSDL2IMAGE_SVG=OFF \
    -DSDL2IMAGE_TGA=OFF -DSDL2IMAGE_TIF=OFF -DSDL2IMAGE_WEBP=OFF -DSDL2IMAGE_XCF=OFF -DSDL2IMAGE_XPM=OFF \
    -DSDL2IMAGE_XV=OFF -DSDL2IMAGE_PNG=ON
  web_lib libsdl2-mixer -DSDL2MIXER_SAMPLES=OFF -DSDL2MIXER_DEPS_SHARED=OFF -DSDL2MIXER_VENDORED=OFF \
    -DSDL2MIXER_CMD=OFF -DSDL2MIXER_FLAC=OFF -DSDL2MIXER_MOD=OFF -DSDL2MIXER_MP3=OFF -DSDL2MIXER_MIDI=OFF \
    -DSDL2MIXER_OPUS=OFF -DSDL2MIXER_OGG=OFF -DSDL2MIXER_WAVE=ON
}

# SDL's satellite libraries install no pkg-config files when built for the web.
web_sdl_pc() {
  local pc="$WEB_PREFIX/lib/pkgconfig" n req
  for n in image ttf mixer; do
    req=sdl2
    [ "$n" = ttf ] && req="sdl2 freetype2 harfbuzz"
    printf 'prefix=%s\nName: SDL2_%s\nDescription: SDL2_%s\nVersion: 2\nRequires: %s\nLibs: -L${prefix}/lib -lSDL2_%s\nCflags: -I${prefix}/include/SDL2\n' \
      "$WEB_PREFIX" "$n" "$n" "$req" "$n" > "$pc/SDL2_$n.pc"
  done
}

# nlohmann's JSON (headers only) beside the libraries, where the web build looks.
web_json() {
  [ -f "$WEB_PREFIX/share/cmake/nlohmann_json/nlohmann_jsonConfig.cmake" ] && return 0
  mkdir -p "$WEB_PREFIX/include" "$WEB_PREFIX/share/cmake"
  cp -r /usr/include/nlohmann "$WEB_PREFIX/include/"
  cp -r /usr/share/cmake/nlohmann_json "$WEB_PREFIX/share/cmake/"
}

# The game for the web: build/web/site holds the page, the program and the content.
web_game() {
  local targets=("$@")
  export PKG_CONFIG_LIBDIR="$WEB_PREFIX/lib/pkgconfig:$WEB_PREFIX/share/pkgconfig"
  if [ ! -f "$WEB_BUILD/build.ninja" ] ||
    ! grep -qxF "ARDO_NATIVE_BUILD:PATH=$NATIVE_BUILD" "$WEB_BUILD/CMakeCache.txt"; then
    emcmake cmake -S "$ARDO_ROOT/web" -B "$WEB_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DARDO_NATIVE_BUILD="$NATIVE_BUILD" -DARDO_WERROR=ON \
      -DCMAKE_PREFIX_PATH="$WEB_PREFIX" -DCMAKE_FIND_ROOT_PATH="$WEB_PREFIX" -DPKG_CONFIG_ARGN=--static \
      "-DCMAKE_CROSSCOMPILING_EMULATOR=/usr/bin/node;--no-experimental-fetch" >/dev/null
  fi
  cmake --build "$WEB_BUILD" -j "$(nproc)" --target "${targets[@]}"
  # The content, packaged once: everything the game reads, not the native program, its
  # saves or its error log.
  local site="$WEB_BUILD/site" stage="$WEB_BUILD/stage"
  rm -rf "$stage"
  mkdir -p "$stage/game"
  local d
  for d in map data music sound graphics text narration; do
    cp -rL "$NATIVE_BUILD/game/$d" "$stage/game/"
  done
  # The font where the game looks for it, cut down to the characters the game shows.
  local fonts="$stage/usr/share/fonts/opentype/ipafont-gothic"
  mkdir -p "$fonts"
  /usr/bin/python3 "$ARDO_ROOT/web/font_chars.py" "$ARDO_ROOT" > "$WEB_BUILD/font-chars.txt"
  /usr/bin/python3 -m fontTools.subset /usr/share/fonts/opentype/ipafont-gothic/ipag.ttf \
    --text-file="$WEB_BUILD/font-chars.txt" --output-file="$fonts/ipag.ttf" --name-IDs='*' \
    --name-languages='*' --notdef-outline --layout-features='*'
  # The music plays from its Ogg renderings, fetched by the page after the start
  # (web/ardo-pre.js): beside the package, not in it.
  rm -rf "$site/music"
  mkdir -p "$site/music"
  mv "$stage"/game/music/*.ogg "$site/music/"
  (cd "$site/music" && ls -1 -- *.ogg) > "$site/music/list.txt"
  rm -f "$stage"/game/music/*.mid
  local stamp="$WEB_BUILD/content.sum"
  local sum
  sum="$( (cd "$stage" && find game usr -type f -print0 | sort -z | xargs -0 sha1sum) | sha1sum)"
  if [ ! -f "$site/ardo.data" ] || [ "$(cat "$stamp" 2>/dev/null)" != "$sum" ]; then
    (cd "$stage" && /usr/bin/python3 /usr/share/emscripten/tools/file_packager.py "$site/ardo.data" \
      --preload game@/game usr@/usr --js-output="$site/ardo-data.js" >/dev/null)
    echo "$sum" > "$stamp"
  fi
  cp "$ARDO_ROOT/web/index.html" "$site/index.html"
  # Served compressed: each file beside its gzip (web/serve.py sends that one).
  local f
  for f in "$site"/index.html "$site"/ardo.js "$site"/ardo.wasm "$site"/ardo-data.js "$site"/ardo.data \
    "$site"/music/*.ogg "$site"/music/list.txt; do
    [ -f "$f.gz" ] && [ "$f.gz" -nt "$f" ] || gzip -9 -k -f "$f"
  done
  echo "Download (compressed as served):"
  for f in "$site"/*.gz; do printf '  %-14s %8d bytes\n' "$(basename "${f%.gz}")" "$(stat -c %s "$f")"; done
  printf '  %-14s %8d bytes\n' music/ "$(cat "$site"/music/*.gz | wc -c)"
  printf '  %-14s %8d bytes\n' total "$(cat "$site"/*.gz "$site"/music/*.gz | wc -c)"
}

[ "${WEB_SOURCE_ONLY:-}" = 1 ] && return 0  # sourced for its functions
web_install
web_toolchain
web_libraries
web_sdl_pc
web_json
[ "${WEB_DEPS_ONLY:-}" = 1 ] && exit 0

# The native build: the content, its tools, and the shots and reports to compare with.
if [ -z "${ARDO_WEB_NATIVE:-}" ]; then
  ardo_setup
  ardo_build "$NATIVE_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DARDO_SANITIZE=OFF \
    -DARDO_TESTS=OFF -DARDO_BENCH=OFF
fi

case "$mode" in
  serve)
    web_game ardo_web
    echo "Play at http://127.0.0.1:$port/ (Ctrl+C stops the server)"
    exec python3 "$ARDO_ROOT/web/serve.py" "$WEB_BUILD/site" "$port"
    ;;
  build)
    web_game ardo_web
    ;;
  test)
    web_game all
    cd "$WEB_BUILD"
    ctest --output-on-failure -j "$(nproc)" --timeout 1200
    bash "$ARDO_ROOT/web/smoke.sh" "$WEB_BUILD" "$NATIVE_BUILD"
    echo "smoke: 1 passed, 0 failed"
    ;;
esac
