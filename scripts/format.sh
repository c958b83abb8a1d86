#!/usr/bin/env bash
# Formats the tracked C++ sources with clang-format and the tree's .clang-format.
#   scripts/format.sh           rewrite every tracked .cpp and .h file in place
#   scripts/format.sh --check   list the files clang-format would change; fail when there is one
# Ends with 77 when clang-format is missing (scripts/setup.sh installs it), so CTest can skip the check.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

mode=fix
case "${1:-}" in
  "") ;;
  --check) mode=check ;;
  *) echo "usage: $0 [--check]" >&2; exit 2 ;;
esac

formatter=""
for candidate in clang-format clang-format-14; do
  if command -v "$candidate" >/dev/null 2>&1; then formatter=$candidate; break; fi
done
if [ -z "$formatter" ]; then
  echo "format: clang-format is missing" >&2
  exit 77
fi

# The files git tracks; a copy of the tree without its history takes every source outside the build folders.
list_sources() {
  if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git -C "$root" ls-files -z -- '*.cpp' '*.h'
  else
    find . \( -path ./build -o -path ./content -o -path ./.git \) -prune -o \
      -type f \( -name '*.cpp' -o -name '*.h' \) -printf '%P\0'
  fi
}

jobs=$(nproc 2>/dev/null || echo 2)
if [ "$mode" = fix ]; then
  list_sources | xargs -0 -r -n 32 -P "$jobs" "$formatter" -i --style=file
  exit 0
fi

# One name a line for each file whose formatted text differs from what it holds.
export formatter
unformatted=$(list_sources | xargs -0 -r -n 32 -P "$jobs" sh -c \
  'for f; do "$formatter" --style=file "$f" | cmp -s - "$f" || echo "$f"; done' check | sort)
if [ -n "$unformatted" ]; then
  echo "$unformatted"
  echo "format: $(echo "$unformatted" | wc -l) not formatted; scripts/format.sh formats them" >&2
  exit 1
fi
