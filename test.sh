#!/usr/bin/env bash
# Sets up, builds the tests with clang's sanitizers and runs every test.
#   ./test.sh           build everything (tests, tools and benchmarks) and run all tests
#   ./test.sh --bench   build the release tree and run the benchmarks
set -euo pipefail
cd "$(dirname "$0")"

./scripts/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi

if [ "${1:-}" = "--bench" ]; then
  cmake -S . -B build/release "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DMALL_TESTS=OFF -DMALL_BENCH=ON >/dev/null
  cmake --build build/release -j "$jobs"
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    export SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-offscreen}
  fi
  for b in build/release/bench/*_bench; do
    [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    "$b" --benchmark_counters_tabular=true
  done
  exit 0
fi

# Built with clang: the tests, the tools, the benchmarks (not run, so they keep compiling as the code under them
# changes) and every fuzz target, linked with libFuzzer; CTest replays each fuzz target's corpus.
./scripts/configure_tests.sh build/test
cmake --build build/test -j "$jobs"

# Tests run headless: SDL's offscreen video driver gives GL without a display
# and the dummy audio driver needs no sound card.  Tests that need a real X
# window get an Xvfb server of their own, stopped when the run ends.
export SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-offscreen}
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# The OpenGL tests run: a missing GL window or context fails them. On a machine without GL, MALL_REQUIRE_GL=0
# lets them skip instead.
export MALL_REQUIRE_GL=${MALL_REQUIRE_GL:-1}

xvfb_pid=""
display_file=$(mktemp)
cleanup() {
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -f "$display_file"
}
trap cleanup EXIT
if command -v Xvfb >/dev/null 2>&1; then
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.05; done
  if [ -s "$display_file" ]; then export MALL_X_DISPLAY=":$(head -n1 "$display_file")"; fi
fi

cd build/test
# Every test runs once: a test that fails fails the run.
ctest --output-on-failure -j "$jobs" --timeout 600
