#!/usr/bin/env bash
# Builds the viewer and starts it: ./run.sh [picture]
# Without a display, the viewer runs on a private Xvfb screen; a screenshot of its window is saved,
# the window is closed (so the settings file is written) and the screenshot's path is printed.
set -euo pipefail
LUMIVANE_SOURCE=$(cd "$(dirname "$0")" && pwd)
source "$LUMIVANE_SOURCE/tools/deps.sh"
lumivane_install_deps
build="$LUMIVANE_SOURCE/build/release"
lumivane_build "$build" -DCMAKE_BUILD_TYPE=Release -DLUMIVANE_TESTS=OFF -DLUMIVANE_BENCH=OFF
exe="$build/app/lumivane"

arg=()
if [ $# -ge 1 ]; then arg=("$(realpath -m "$1")"); fi

if [ -n "${DISPLAY:-}" ]; then
  exec "$exe" "${arg[@]}"
fi

shot="${LUMIVANE_SCREENSHOT:-$LUMIVANE_SOURCE/build/lumivane-screenshot.png}"
python3_bin=/usr/bin/python3
exec "$python3_bin" "$LUMIVANE_SOURCE/tools/xvfb_session.py" --screenshot "$shot" -- "$exe" "${arg[@]}"
