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

if [ -x build/release/tools/content ]; then
  build/release/tools/content data
fi

echo "The game itself is not built yet. What there is to run:"
for t in build/release/tools/*; do
  [ -x "$t" ] && [ -f "$t" ] && echo "  $t"
done
