#!/bin/sh
# Builds the libFuzzer targets of the engine (engine/*_fuzz.cpp) with clang and runs each for a while.
#
# Usage: scripts/fuzz.sh [seconds per target, default 60] [target names, default all]
#   e.g. scripts/fuzz.sh 300 tagtree_fuzz
# Needs clang++ and libclang-rt-14-dev. The libraries are built with clang in build/fuzz
# (or $FUZZ_BUILD_DIR); corpora live in build/fuzz/corpus/<target>, and a crashing input is
# written there as crash-* for the reader to turn into a regular test case.
set -eu

seconds=${1:-60}
[ $# -gt 0 ] && shift
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${FUZZ_BUILD_DIR:-$source_dir/build/fuzz}
flags="-g -O1 -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=undefined"

cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_FLAGS_DEBUG="$flags -fsanitize=fuzzer-no-link" \
    -DMALL_TESTS=OFF -DMALL_SANITIZE=OFF >/dev/null
cmake --build "$build_dir" --target engine -j 3

libs="$build_dir/libengine.a"
for lib in gfx_d3d9 platform_d3d9 gfx_core platform_win32; do
    if [ -f "$build_dir/lib$lib.a" ]; then libs="$libs $build_dir/lib$lib.a"; fi
done
extra=$(pkg-config --libs sdl2 libpng zlib gl 2>/dev/null || echo "-lpng -lz")

targets=${*:-$(cd "$source_dir/engine" && ls *_fuzz.cpp | sed 's/\.cpp$//')}
for target in $targets; do
    clang++ -std=c++17 $flags -fsanitize=fuzzer -I"$source_dir" \
        "$source_dir/engine/$target.cpp" -Wl,--start-group $libs -Wl,--end-group $extra -lpthread \
        -o "$build_dir/$target"
    mkdir -p "$build_dir/corpus/$target"
    echo "== $target: $seconds s"
    (cd "$build_dir/corpus/$target" && "$build_dir/$target" -max_total_time="$seconds" -max_len=4096 \
        -timeout=10 -print_final_stats=1 .)
done
