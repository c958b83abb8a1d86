#!/usr/bin/env bash
# Builds every libFuzzer target of the tree (*_fuzz.cpp in any module folder) with clang and runs each for a while.
#
# Usage: scripts/fuzz.sh [-j jobs] [-k] [seconds per target, default 60] [target names, default all]
#   e.g. scripts/fuzz.sh 300 tagtree_fuzz          (a name is the file name without .cpp;
#        scripts/fuzz.sh -j 3 20 gfx_core_spline_fuzz  the folder's library prefix picks one of equal names)
# -j runs that many targets at once (default 1; at most 3 on a shared machine).
# -k keeps a target fuzzing after a crash, leak, out-of-memory or time-out (libFuzzer's fork mode), so a
#    known fault does not hide the ones behind it; every input that failed is kept.
# $FUZZ_FLAGS adds compiler flags, e.g. FUZZ_FLAGS=-fno-sanitize=enum FUZZ_BUILD_DIR=build/fuzz-noenum to fuzz
# past a class of fault already reported (use a build folder of its own, the libraries are built with them).
#
# Needs clang++ and libclang-rt-14-dev. The libraries are built with clang in build/fuzz (or $FUZZ_BUILD_DIR),
# and a target is linked there as <library>_<name>. Each run starts from the committed seed corpus
# <module dir>/corpus/<name>/ and its crashes/ folder, copied into the working corpus
# build/fuzz/corpus/<library>_<name>, which the fuzzer grows. A crashing input is kept as
# build/fuzz/crashes/<library>_<name>/crash-* (or leak-*, oom-*, timeout-*): once the reader is mended, the
# input goes into the module's corpus/<name>/crashes/ folder, where CTest replays it for good.
# Allocations over $FUZZ_MALLOC_MB (256) MB and a resident size over $FUZZ_RSS_MB (2048) MB count as crashes.
# Every target runs even when one fails; the script fails when any did.
set -eu

jobs=1
keep_going=0
while [ $# -gt 0 ]; do
    case "$1" in
    -j) jobs=${2:?-j needs a number}; shift 2 ;;
    -k) keep_going=1; shift ;;
    *) break ;;
    esac
done
seconds=${1:-60}
[ $# -gt 0 ] && shift
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${FUZZ_BUILD_DIR:-$source_dir/build/fuzz}
malloc_mb=${FUZZ_MALLOC_MB:-256}
rss_mb=${FUZZ_RSS_MB:-2048}
flags="-g -O1 -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=undefined ${FUZZ_FLAGS:-}"

# Every fuzz source, as paths relative to the source tree (build trees left out).
sources=$(cd "$source_dir" && find . -path ./build -prune -o -name '*_fuzz.cpp' -print | sed 's|^\./||' | sort)
if [ -z "$sources" ]; then
    echo "no *_fuzz.cpp files in $source_dir" >&2
    exit 1
fi

# The library a folder's sources belong to, as CMakeLists.txt declares it: mall_module(gfx_core gfx/core ...)
# or mall_module_folder(ui ui/game).
module_table=$(sed -n 's/^mall_module\(_folder\)\{0,1\}(\([a-z0-9_]*\) \([a-z0-9_/]*\).*/\3 \2/p' "$source_dir/CMakeLists.txt")
library_of() {
    folder=$(dirname "$1")
    echo "$module_table" | awk -v f="$folder" '$1 == f { print $2 }'
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

# The modules' libraries, plus the Direct3D 9 driver that core readers of native textures and rasters need.
libraries=$( (for source in $sources; do library_of "$source"; done; echo gfx_d3d9) | sort -u)

cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_FLAGS_DEBUG="$flags -fsanitize=fuzzer-no-link" \
    -DMALL_TESTS=OFF -DMALL_SANITIZE=OFF >/dev/null
# shellcheck disable=SC2086
cmake --build "$build_dir" --target $libraries -j 3

# Every library the build made; the group lets the linker resolve them in any order, so new modules need
# no change here.
libs=$(find "$build_dir" -maxdepth 1 -name 'lib*.a' | sort | tr '\n' ' ')
extra=$(pkg-config --libs sdl2 SDL2_mixer libpng zlib gl 2>/dev/null || echo "-lSDL2 -lpng -lz -lGL")
# Platform targets include SDL's headers.
cflags=$(pkg-config --cflags sdl2 2>/dev/null || echo "-I/usr/include/SDL2")

# Link every wanted target first, so a build error stops the script before any fuzzing.
targets=()
for source in $sources; do
    base=$(basename "$source" .cpp)
    target="$(library_of "$source")_$base"
    # shellcheck disable=SC2068
    if ! wanted "$base" $@ && ! wanted "$target" $@; then
        continue
    fi
    # shellcheck disable=SC2086
    clang++ -std=c++17 $flags $cflags -fsanitize=fuzzer -I"$source_dir" \
        "$source_dir/$source" -Wl,--start-group $libs -Wl,--end-group $extra -lpthread \
        -o "$build_dir/$target"
    targets+=("$target:$source")
done
if [ ${#targets[@]} -eq 0 ]; then
    echo "no fuzz target matches: $*" >&2
    exit 1
fi

# One target: seeds copied into the working corpus, crashes kept in their own folder, a log per target.
run_target() {
    target=$1
    source=$2
    seeds="$source_dir/$(dirname "$source")/corpus/$(basename "$source" .cpp)"
    corpus="$build_dir/corpus/$target"
    crashes="$build_dir/crashes/$target"
    log="$build_dir/logs/$target.log"
    mkdir -p "$corpus" "$crashes" "$build_dir/logs"
    if [ -d "$seeds" ]; then
        find "$seeds" -type f -exec cp {} "$corpus/" \;
    fi
    touch "$build_dir/logs/$target.start"
    mode=""
    if [ "$keep_going" -eq 1 ]; then
        mode="-fork=1 -ignore_crashes=1 -ignore_ooms=1 -ignore_timeouts=1"
    fi
    status=0
    # shellcheck disable=SC2086
    (cd "$crashes" && MALL_D3D9_BACKEND=software SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy \
        UBSAN_OPTIONS=print_stacktrace=1 \
        "$build_dir/$target" -max_total_time="$seconds" -max_len=8192 -timeout=10 \
        -malloc_limit_mb="$malloc_mb" -rss_limit_mb="$rss_mb" -artifact_prefix="$crashes/" \
        -print_final_stats=1 $mode "$corpus") >"$log" 2>&1 || status=$?
    # The count of the single run's statistics, or the last progress line of a fork-mode run.
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    if [ -z "$execs" ]; then
        execs=$(sed -n 's/^#\([0-9]*\):* .*/\1/p' "$log" | tail -1)
    fi
    found=$(find "$crashes" -type f -newer "$build_dir/logs/$target.start" | wc -l)
    if [ "$status" -eq 0 ] && [ "$found" -gt 0 ] && [ "$keep_going" -eq 1 ]; then
        status=1
    fi
    if [ "$status" -eq 0 ]; then
        echo "== $target: clean, ${execs:-?} executions in $seconds s"
    else
        echo "== $target: FAILED after ${execs:-?} executions; $found input(s) in $crashes, log $log"
        grep -m 3 -E 'ERROR: |SUMMARY: |runtime error' "$log" | sed 's/^/   /' || true
    fi
    return "$status"
}

echo "== fuzzing ${#targets[@]} target(s), $seconds s each, $jobs at a time"
failed=0
running=0
for entry in "${targets[@]}"; do
    run_target "${entry%%:*}" "${entry#*:}" &
    running=$((running + 1))
    if [ "$running" -ge "$jobs" ]; then
        wait -n || failed=$((failed + 1))
        running=$((running - 1))
    fi
done
while [ "$running" -gt 0 ]; do
    wait -n || failed=$((failed + 1))
    running=$((running - 1))
done
if [ "$failed" -ne 0 ]; then
    echo "== $failed of ${#targets[@]} target(s) failed"
    exit 1
fi
echo "== ${#targets[@]} target(s) ran clean"
