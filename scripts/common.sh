# Shared by play.sh and test.sh: install what is missing, configure and build.
# Usage: . scripts/common.sh; ardo_setup; ardo_build BUILD_DIR [cmake options...]
set -euo pipefail

ARDO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
ARDO_PACKAGES=(cmake ninja-build g++ pkg-config libsdl2-dev libsdl2-image-dev libsdl2-ttf-dev
  libsdl2-mixer-dev fonts-ipafont-gothic timgm6mb-soundfont fluid-soundfont-gm libgtest-dev libgmock-dev
  libbenchmark-dev nlohmann-json3-dev libfluidsynth-dev libvorbis-dev libinih-dev desktop-file-utils appstream
  man-db dpkg-dev)

ardo_setup() {
  if ! command -v dpkg-query >/dev/null 2>&1 || ! command -v apt-get >/dev/null 2>&1; then
    echo "This is not a Debian system. Install these packages (or your system's equivalents), then run again:"
    printf '  %s\n' "${ARDO_PACKAGES[@]}"
    exit 1
  fi
  local missing=()
  local p
  for p in "${ARDO_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  if [ "${#missing[@]}" -eq 0 ]; then
    return 0
  fi
  echo "Installing: ${missing[*]}"
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
      sudo=(sudo)
    else
      echo "Missing packages, and this user cannot install them. As root, run:"
      echo "  apt-get install -y ${missing[*]}"
      exit 1
    fi
  fi
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
}

ardo_build() {
  local dir="$1"
  shift
  cmake -S "$ARDO_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$(nproc)"
}
