#!/usr/bin/env bash
# Runs a link and keeps the linker's list of the code sections it dropped in a file: the launcher of the game's reach
# link (CMakeLists.txt). Every other line of the linker's output goes on as it came.
#   tools/reach/reach_link.sh <list file> <link command>...
set -uo pipefail
list=$1
shift
output=$(mktemp)
"$@" 2>"$output"
status=$?
grep -F "removing unused section '.text" "$output" >"$list.new"
grep -vF "removing unused section" "$output" >&2
rm -f "$output"
[ "$status" -eq 0 ] && mv "$list.new" "$list"
exit "$status"
