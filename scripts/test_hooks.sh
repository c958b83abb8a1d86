#!/usr/bin/env bash
# Fails when a program holds a name that test support declares or a builder defines: the test support folders'
# headers, every *_testing.h and every builder file (*_builder.cpp, builder.cpp) of the tree are read for each
# function, class, struct and global they declare at file scope, and the program's symbols searched for each as a
# name of its own (a member of that name in another class is not it).
#   scripts/test_hooks.sh <program> <source tree>
set -euo pipefail
program=$1
source_dir=$2

names=$(mktemp)
trap 'rm -f "$names"' EXIT
# Declarations at file scope, outside every brace (a class's members are caught through its own name, and helpers
# inside a namespace are the header's own).
{
  find "$source_dir"/platform/testsupport "$source_dir"/gfx/testsupport "$source_dir"/engine/testsupport \
       "$source_dir"/game/testsupport -name '*.h' -print0
  find "$source_dir" -path "$source_dir/build" -prune -o -name '*_testing.h' -print0
  find "$source_dir" -path "$source_dir/build" -prune -o \( -name '*_builder.cpp' -o -name 'builder.cpp' \) -print0
} |
  xargs -0 awk '
    FNR == 1 { depth = 0 }
    { line = $0; sub(/\/\/.*/, "", line) }
    depth == 0 && line ~ /^(class|struct)[ \t]+[A-Za-z_][A-Za-z0-9_]*[^;]*$/ {
      split(line, words, /[ \t:{]+/); print words[2]
    }
    depth == 0 && line ~ /^[A-Za-z_][A-Za-z0-9_:<>,*& ]*[ *&][A-Za-z_][A-Za-z0-9_]*[ \t]*\(/ &&
      line !~ /^(return|namespace|using|typedef|template|enum|class|struct)[ \t]/ {
      name = line; sub(/[ \t]*\(.*/, "", name); sub(/.*[ *&]/, "", name); print name
    }
    {
      opened = gsub(/\{/, "{", line); closed = gsub(/\}/, "}", line); depth += opened - closed
    }' |
  sort -u >"$names"

count=$(wc -l <"$names")
if [ "$count" -lt 20 ]; then
  echo "test_hooks: only $count names read from the test support headers; the reading is broken" >&2
  exit 2
fi
# A name counts where it begins a symbol's qualified name or stands alone in it, never after "::".
pattern="(?<![A-Za-z0-9_:])($(paste -sd'|' "$names"))(?![A-Za-z0-9_])"
found=$(nm -C "$program" | sed 's/^[0-9a-fA-F ]* [A-Za-z] //' | grep -o -P "$pattern" | sort -u || true)
if [ -n "$found" ]; then
  echo "test_hooks: $program holds names that test support declares:"
  printf '  %s\n' $found
  exit 1
fi
echo "test_hooks: $program holds none of the $count names test support declares"
