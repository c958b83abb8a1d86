#!/usr/bin/env bash
# Fails when the game links a function of ours that its start never reaches, unless the allow list beside this
# script names it: an operation the game's design names (part), a seam the map lists (seam, which must be found in
# the map), or a helper that only such an operation calls (serves).
# The functions come from the linker's list of the sections it dropped from a link of the game that keeps only what
# its start reaches (CMakeLists.txt, mall_reach_link): a dropped function of one of our libraries is one the game
# links and never calls. Functions declared inline (weak definitions) are left out, as are the variants of a
# constructor or destructor the link kept another of.
#   tools/reach/reach.sh <dropped sections> <program> <allow list> <map> <library,library,...>
set -euo pipefail
dropped=$1
program=$2
allowed=$3
map=$4
libraries=$5

if [ ! -f "$dropped" ] || [ ! -f "$program" ]; then
  echo "reach: $dropped or $program is missing: build the reach link first" >&2
  exit 2
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# "<library> <archive> <symbol>" for each function section of our libraries the link dropped.
awk -v libraries="$libraries" '
  BEGIN { n = split(libraries, names, ","); for (i = 1; i <= n; i++) ours["lib" names[i] ".a"] = names[i] }
  /removing unused section/ {
    if (!match($0, /section \x27[^\x27]*\x27/)) next
    section = substr($0, RSTART + 9, RLENGTH - 10)
    if (!match($0, /in file \x27[^\x27]*\(/)) next
    archive = substr($0, RSTART + 9, RLENGTH - 10)
    base = archive; sub(/.*\//, "", base)
    if (!(base in ours)) next
    sub(/\[.*$/, "", section)
    if (section !~ /^\.text\./) next
    sub(/^\.text\.(unlikely\.|hot\.|split\.)?/, "", section)
    print ours[base], archive, section
  }' "$dropped" | sort -u >"$work/dropped"

# Definitions declared inline are weak: an unused one is no function the game links out of line.
cut -d' ' -f2 "$work/dropped" | sort -u | while read -r archive; do
  nm --defined-only "$archive" 2>/dev/null | awk '$2 ~ /^[WwVv]$/ { print $3 }'
done | sort -u >"$work/weak"
awk 'FILENAME == ARGV[1] { weak[$1] = 1; next } !($3 in weak) { print $1 "\t" $3 }' "$work/weak" "$work/dropped" |
  c++filt | sort -u >"$work/unreached_full"
# A constructor or destructor dropped in one variant and kept in another is reached.
nm --defined-only "$program" | awk '{ print $3 }' | c++filt | sort -u >"$work/kept"
awk -F'\t' 'FILENAME == ARGV[1] { kept[$0] = 1; next } !($2 in kept)' "$work/kept" "$work/unreached_full" |
  sed -e 's/(anonymous namespace):://g' -e 's/\[abi:[^]]*\]//g' -e 's/operator()/operator@@/g' \
      -e 's/\t\([^(]*\)(.*$/\t\1/' -e 's/operator@@/operator()/g' |
  # The standard library's templates made for our types, and the system headers' own inline helpers.
  grep -v -P '\t(.*[ *&])?(std|__gnu_cxx)::|\t__' | sort -u >"$work/unreached"

# The allow list: "<kind> <name>" a line, "serves <name> <operation>" for a helper of an allowed operation only it
# calls, # comments.
status=0
awk '!/^[ \t]*(#|$)/ { print $1, $2, $3 }' "$allowed" >"$work/allowed"
while read -r kind name served; do
  case $kind in
    part) ;;
    serves)
      if ! awk -v op="$served" '$1 != "serves" && $2 == op { found = 1 } END { exit !found }' "$work/allowed"; then
        echo "reach: the allow list lets $name serve $served, which it does not allow"
        status=1
      fi
      ;;
    seam)
      if ! grep -qF -- "${name##*::}" "$map"; then
        echo "reach: the allow list calls $name a seam, and the map does not list it"
        status=1
      fi
      ;;
    *)
      echo "reach: the allow list's line '$kind $name' is neither part, seam nor serves"
      status=1
      ;;
  esac
done <"$work/allowed"

awk 'FILENAME == ARGV[1] { allow[$2] = 1; next } { name = $0; sub(/^[^\t]*\t/, "", name) } !(name in allow)' \
  "$work/allowed" "$work/unreached" >"$work/failing"
total=$(wc -l <"$work/unreached")
if [ -s "$work/failing" ]; then
  echo "reach: $program links functions of ours its start never reaches (library, function):"
  sed 's/^/  /' "$work/failing"
  status=1
fi
echo "reach: $total functions linked and never reached, $(($(wc -l <"$work/unreached") - $(wc -l <"$work/failing"))) of them allowed"
exit $status
