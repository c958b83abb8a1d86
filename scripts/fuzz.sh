#!/bin/sh
# Builds every libFuzzer target of the tree (*_fuzz.cpp in any module folder) with clang and runs each for a while.
#
# Usage: scripts/fuzz.sh [seconds per target, default 60] [target names, default all]
#   e.g. scripts/fuzz.sh 300 tagtree_fuzz     (a name is the file name without .cpp;
#        scripts/fuzz.sh 20 gfx_core_spline_fuzz   the folder's library prefix picks one of equal names)
# Needs clang++ and libclang-rt-14-dev. The libraries are built with clang in build/fuzz
# (or $FUZZ_BUILD_DIR); a target is linked as <library>_<name>, its corpus lives in
# build/fuzz/corpus/<library>_<name>, and a crashing input is written there as crash-* for
# the reader to turn into a regular test case. The script stops at the first failing target.
set -eu

seconds=${1:-60}
[ $# -gt 0 ] && shift
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${FUZZ_BUILD_DIR:-$source_dir/build/fuzz}
flags="-g -O1 -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=undefined"

# Every fuzz source, as paths relative to the source tree (build trees left out).
sources=$(cd "$source_dir" && find . -path ./build -prune -o -name '*_fuzz.cpp' -print | sed 's|^\./||' | sort)
if [ -z "$sources" ]; then
    echo "no *_fuzz.cpp files in $source_dir" >&2
    exit 1
fi

# The library a folder's sources belong to: gfx/core -> gfx_core.
library_of() {
    dirname "$1" | tr '/' '_'
}

wanted() {
    [ $# -eq 1 ] && return 0
    candidate=$1
    shift
    for name in "$@"; do
        [ "$name" = "$candidate" ] && return 0
    done
    return 1
}

libraries=$(for source in $sources; do library_of "$source"; done | sort -u)

cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_FLAGS_DEBUG="$flags -fsanitize=fuzzer-no-link" \
    -DMALL_TESTS=OFF -DMALL_SANITIZE=OFF >/dev/null
# shellcheck disable=SC2086
cmake --build "$build_dir" --target $libraries -j 3

# Every library built, in dependency order; the group lets the linker resolve in any order anyway.
libs=""
for lib in engine gfx_2d gfx_d3d9 platform_d3d9 gfx_world gfx_core platform_fmod platform_win32; do
    if [ -f "$build_dir/lib$lib.a" ]; then libs="$libs $build_dir/lib$lib.a"; fi
done
extra=$(pkg-config --libs sdl2 libpng zlib gl 2>/dev/null || echo "-lpng -lz")

mkdir -p "$build_dir/corpus"
ran=0
for source in $sources; do
    base=$(basename "$source" .cpp)
    target="$(library_of "$source")_$base"
    # shellcheck disable=SC2068
    if ! wanted "$base" $@ && ! wanted "$target" $@; then
        continue
    fi
    # shellcheck disable=SC2086
    clang++ -std=c++17 $flags -fsanitize=fuzzer -I"$source_dir" \
        "$source_dir/$source" -Wl,--start-group $libs -Wl,--end-group $extra -lpthread \
        -o "$build_dir/$target"
    mkdir -p "$build_dir/corpus/$target"
    echo "== $target ($source): $seconds s"
    (cd "$build_dir/corpus/$target" && "$build_dir/$target" -max_total_time="$seconds" -max_len=4096 \
        -timeout=10 -print_final_stats=1 .)
    ran=$((ran + 1))
done
if [ "$ran" -eq 0 ]; then
    echo "no fuzz target matches: $*" >&2
    exit 1
fi
echo "== $ran target(s) ran clean"
