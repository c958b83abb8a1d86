#!/usr/bin/env bash
# The reach check on a planted program: it must name the planted function nothing calls, and only it (not the one
# its own file calls, which inlining could have hidden), and pass once the allow list names it.
#   tools/reach/planted_test.sh <reach.sh> <dropped sections> <program>
set -euo pipefail
check=$1
dropped=$2
program=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
: >"$work/empty"
if "$check" "$dropped" "$program" "$work/empty" /dev/null reach_planted >"$work/out"; then
  cat "$work/out"
  echo "planted: the check passed a program holding a function nothing reaches"
  exit 1
fi
cat "$work/out"
found=$(grep -c '^  reach_planted' "$work/out" || true)
if [ "$found" -ne 1 ] || ! grep -q $'^  reach_planted\tPlantedUnreached$' "$work/out"; then
  echo "planted: the check should name PlantedUnreached alone"
  exit 1
fi
echo "part PlantedUnreached" >"$work/allowed"
"$check" "$dropped" "$program" "$work/allowed" /dev/null reach_planted
echo "seam PlantedUnreached" >"$work/seam"
if "$check" "$dropped" "$program" "$work/seam" /dev/null reach_planted; then
  echo "planted: a seam the map does not list passed"
  exit 1
fi
