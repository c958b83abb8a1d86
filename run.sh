#!/usr/bin/env bash
# Sets up, builds the release tree, authors the content and starts the program.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
cmake -S . -B build/release "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DMALL_TESTS=OFF >/dev/null
cmake --build build/release -j "$jobs"

# Author the game root. Without a display the tools use SDL's offscreen video.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-offscreen}
fi
MALL_D3D9_BACKEND=software build/release/tools/mkcontent tools/content/text content

echo "The game itself is not built yet. What there is to run:"
echo "  build/release/tools/gxwindow    the graphics engine draws 2D and 3D primitives in a window"
echo "  build/release/tools/d3d9cube    a spinning lit, textured cube through the Direct3D 9 layer"
echo "Both take --frames N --screenshot FILE.bmp to run headless and save the last frame."
