# Installs the Debian packages the build, the tests and the viewer need, when any is missing.
# Sourced by run.sh and test.sh.
LUMIVANE_PACKAGES=(
  g++ cmake ninja-build pkg-config clang-format clang libclang-rt-14-dev
  qt6-base-dev libgl-dev libjpeg62-turbo-dev libpng-dev fonts-liberation
  libgtest-dev libgmock-dev libbenchmark-dev libgif-dev
  xvfb xdotool x11-utils imagemagick python3 python3-xlib python3-pil
  libwebp-dev
  dpkg-dev desktop-file-utils
)

lumivane_install_deps() {
  local missing=()
  local pkg
  for pkg in "${LUMIVANE_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; return 1; }
    sudo="sudo"
  fi
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q >/dev/null || return 1
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" || return 1
}

# Configures and builds one build tree, all of it or only the targets named after a "--":
#   lumivane_build DIR [cmake options...] [-- target...]
lumivane_build() {
  local dir=$1
  shift
  local options=() targets=()
  while [ $# -gt 0 ]; do
    if [ "$1" = "--" ]; then
      shift
      targets=(--target "$@")
      break
    fi
    options+=("$1")
    shift
  done
  cmake -S "$LUMIVANE_SOURCE" -B "$dir" -G Ninja "${options[@]}" >/dev/null || return 1
  cmake --build "$dir" -j"$(nproc)" "${targets[@]}" || return 1
}

# Fails, listing the files, when any C++ file differs from the style in .clang-format.
lumivane_check_format() {
  local files
  if git -C "$LUMIVANE_SOURCE" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t files < <(git -C "$LUMIVANE_SOURCE" ls-files --cached --others --exclude-standard '*.cpp' '*.h')
  else
    mapfile -t files < <(cd "$LUMIVANE_SOURCE" && find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
  fi
  local report
  report=$(cd "$LUMIVANE_SOURCE" && clang-format --dry-run --Werror "${files[@]}" 2>&1) && return 0
  local bad
  bad=$(printf '%s\n' "$report" | grep -o '^[^:]*:[0-9]*:[0-9]*: error' | cut -d: -f1 | sort -u | tr '\n' ' ')
  echo "Not formatted as .clang-format says (run clang-format -i): ${bad:-$report}" >&2
  return 1
}
