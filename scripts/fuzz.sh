#!/usr/bin/env bash
# Runs the libFuzzer targets of the test tree (every *_fuzz.cpp of a module folder) for a while each.
#
# Usage: scripts/fuzz.sh [-j jobs] [-k] [seconds per target, default 60] [target names, default all]
#   e.g. scripts/fuzz.sh 300 tagtree_fuzz          (a name is the file name without .cpp;
#        scripts/fuzz.sh -j 3 20 gfx_core_spline_fuzz  the folder's library prefix picks one of equal names)
# -j runs that many targets at once (default 1; at most 3 on a shared machine).
# -k keeps a target fuzzing after a crash, leak, out-of-memory or time-out (libFuzzer's fork mode), so a
#    known fault does not hide the ones behind it; every input that failed is kept.
#
# The targets are those the test tree builds (build/test, or $FUZZ_BUILD_DIR), configured with clang as test.sh
# does and built here first where needed; this script links nothing itself. $FUZZ_FLAGS adds compiler flags, e.g.
# FUZZ_FLAGS=-fno-sanitize=enum FUZZ_BUILD_DIR=build/fuzz-noenum to fuzz past a class of fault already reported
# (in a build folder of its own, as the libraries are built with them).
# Each run starts from the committed seed corpus <module dir>/corpus/<name>/ and its crashes/ folder, copied into
# the working corpus <build>/fuzz/corpus/<target>, which the fuzzer grows. A crashing input is kept as
# <build>/fuzz/crashes/<target>/crash-* (or leak-*, oom-*, timeout-*): once the reader is mended, the input goes
# into the module's corpus/<name>/crashes/ folder, where CTest replays it for good.
# Allocations over $FUZZ_MALLOC_MB (256) MB and a resident size over $FUZZ_RSS_MB (2048) MB count as crashes.
# Inputs are at most 8192 bytes, or what a line "// Fuzz inputs up to N bytes." of the target's source asks for
# (the picture readers: a file long enough to declare a picture past their size limit and hold its data).
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
build_dir=${FUZZ_BUILD_DIR:-$source_dir/build/test}
# Absolute, as each target runs from its crashes folder.
build_dir=$(mkdir -p "$build_dir" && cd "$build_dir" && pwd)
work_dir=$build_dir/fuzz
malloc_mb=${FUZZ_MALLOC_MB:-256}
rss_mb=${FUZZ_RSS_MB:-2048}

if [ -n "${FUZZ_FLAGS:-}" ]; then
    "$source_dir/scripts/configure_tests.sh" "$build_dir" -DCMAKE_CXX_FLAGS="$FUZZ_FLAGS"
else
    "$source_dir/scripts/configure_tests.sh" "$build_dir"
fi
# target, source and corpus folder of every fuzz target, as the configure lists them.
list="$build_dir/fuzz_targets.txt"
if [ ! -s "$list" ]; then
    echo "no fuzz targets in $list" >&2
    exit 1
fi

wanted() {
    [ $# -eq 1 ] && return 0
    candidate=$1
    shift
    for name in "$@"; do
        [ "$name" = "$candidate" ] && return 0
    done
    return 1
}

# The longest input of a target: its source's own line, else 8192 bytes.
max_len_of() {
    len=$(sed -n 's|^// Fuzz inputs up to \([0-9]*\) bytes\.$|\1|p' "$1" 2>/dev/null | head -1)
    echo "${len:-8192}"
}

targets=()
while read -r target source corpus; do
    base=$(basename "$source" .cpp)
    # shellcheck disable=SC2068
    if ! wanted "$base" $@ && ! wanted "$target" $@; then
        continue
    fi
    targets+=("$target:$(max_len_of "$source"):$corpus")
done <"$list"
if [ ${#targets[@]} -eq 0 ]; then
    echo "no fuzz target matches: $*" >&2
    exit 1
fi
# Every wanted target is built first, so a build error stops the script before any fuzzing.
cmake --build "$build_dir" -j 3 --target "${targets[@]%%:*}"

# One target: seeds copied into the working corpus, crashes kept in their own folder, a log per target.
run_target() {
    target=$1
    max_len=$2
    seeds=$3
    corpus="$work_dir/corpus/$target"
    crashes="$work_dir/crashes/$target"
    log="$work_dir/logs/$target.log"
    mkdir -p "$corpus" "$crashes" "$work_dir/logs"
    if [ -d "$seeds" ]; then
        find "$seeds" -type f -exec cp {} "$corpus/" \;
    fi
    touch "$work_dir/logs/$target.start"
    mode=""
    if [ "$keep_going" -eq 1 ]; then
        mode="-fork=1 -ignore_crashes=1 -ignore_ooms=1 -ignore_timeouts=1"
    fi
    status=0
    # shellcheck disable=SC2086
    (cd "$crashes" && MALL_D3D9_BACKEND=software SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy \
        UBSAN_OPTIONS=print_stacktrace=1 \
        "$build_dir/$target" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 \
        -malloc_limit_mb="$malloc_mb" -rss_limit_mb="$rss_mb" -artifact_prefix="$crashes/" \
        -print_final_stats=1 $mode "$corpus") >"$log" 2>&1 || status=$?
    # The count of the single run's statistics, or the last progress line of a fork-mode run.
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    if [ -z "$execs" ]; then
        execs=$(sed -n 's/^#\([0-9]*\):* .*/\1/p' "$log" | tail -1)
    fi
    found=$(find "$crashes" -type f -newer "$work_dir/logs/$target.start" | wc -l)
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
    rest=${entry#*:}
    run_target "${entry%%:*}" "${rest%%:*}" "${rest#*:}" &
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
