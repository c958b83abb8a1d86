#!/usr/bin/env bash
# Configures the sanitizer test tree with clang: tests, tools, benchmarks and every fuzz target linked with
# libFuzzer, all in one build. test.sh and scripts/fuzz.sh share it.
#   scripts/configure_tests.sh [build folder, default build/test] [more cmake arguments]
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$source_dir/build/test}
[ $# -gt 0 ] && shift
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
# A tree configured with another compiler starts its configure afresh: CMake would switch compilers itself but
# forget the options given with the switch.
if [ -f "$build_dir/CMakeCache.txt" ] && ! grep -q '^CMAKE_CXX_COMPILER:.*clang++$' "$build_dir/CMakeCache.txt"; then
  rm -rf "$build_dir/CMakeCache.txt" "$build_dir/CMakeFiles"
fi
cmake -S "$source_dir" -B "$build_dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DMALL_SANITIZE=ON -DMALL_TESTS=ON -DMALL_BENCH=ON "$@" >/dev/null
