#!/usr/bin/env bash
# Sets up, builds the release tree, authors the content and starts the game in its root folder.
set -euo pipefail
caller=$(pwd)
cd "$(dirname "$0")"

./scripts/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
cmake -S . -B build/release "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DMALL_TESTS=OFF >/dev/null
cmake --build build/release -j "$jobs"
# Beside the game (build/release/mall) this builds the test harness (build/release/mall_playtest, README.md) and
# build/release/tools/: mkcontent, gxwindow, d3d9cube, modelview.

# Author the game root. Without a display the tools use SDL's offscreen video.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-offscreen}
fi
MALL_D3D9_BACKEND=software build/release/tools/mkcontent tools/content/text content

# Start the game in its root. The game reads no options: given any, the harness runs it with them
# (--frames N --screenshot FILE.bmp for a headless run, or one of its runs, README.md). A relative screenshot name
# is taken from where run.sh was called; the harness's folders are taken from content/, where it runs.
args=()
while [ $# -gt 0 ]; do
  if [ "$1" = "--screenshot" ] && [ $# -gt 1 ]; then
    case "$2" in
      /*) args+=("$1" "$2") ;;
      *) args+=("$1" "$caller/$2") ;;
    esac
    shift 2
  else
    args+=("$1")
    shift
  fi
done
cd content
if [ ${#args[@]} -gt 0 ]; then
  exec ../build/release/mall_playtest "${args[@]}"
fi
if [ "${SDL_VIDEODRIVER:-}" = offscreen ]; then
  echo "run.sh: no display: the game runs headless, unseen, in its main menu until interrupted (Ctrl+C);" \
    "./run.sh --frames 300 --step-ms 50 --screenshot menu.bmp saves a picture of it instead" >&2
fi
exec ../build/release/mall
