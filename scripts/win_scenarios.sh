#!/usr/bin/env bash
# Plays the scripted winning game on each of the nine scenarios and prints a table: scenario, won or lost, game
# days. Builds the release tree, authors the content into a scratch folder and runs the games headless, a few at
# a time, each in its own copy of the content.
# Usage: scripts/win_scenarios.sh [-j N]   (N games at once, default 3)
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=3
if [ "${1:-}" = -j ] && [ $# -ge 2 ]; then
  jobs=$2
fi

generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
cmake -S . -B build/release "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DMALL_TESTS=OFF >/dev/null
cmake --build build/release -j "$(nproc 2>/dev/null || echo 2)" --target mall_playtest mkcontent >/dev/null

export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
root=$(mktemp -d "${TMPDIR:-/tmp}/mall_scenarios.XXXXXX")
trap 'rm -rf "$root"' EXIT
MALL_D3D9_BACKEND=software build/release/tools/mkcontent tools/content/text "$root/content" >"$root/mkcontent.log" 2>&1 || {
  cat "$root/mkcontent.log"
  exit 1
}
harness=$(pwd)/build/release/mall_playtest

# One game in a copy of the content; its log keeps the play-through's lines.
play() {
  local city=$1 number=$2 run="$root/$1$2"
  cp -r "$root/content" "$run"
  (cd "$run" && "$harness" --play-through-win "$run.shots" --scenario "$city" "$number" >"$run.log" 2>&1) || true
}

scenarios=()
for city in london berlin paris; do
  for number in 1 2 3; do
    scenarios+=("$city $number")
  done
done
running=0
for scenario in "${scenarios[@]}"; do
  # shellcheck disable=SC2086
  play $scenario &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
done
wait

# The line "play-through: <City>'s scenario N won|lost after D game days: ..." tells the end; without it the game
# stopped before the end (its last line says why).
printf '%-10s %-6s %s\n' scenario result days
failed=0
for scenario in "${scenarios[@]}"; do
  read -r city number <<<"$scenario"
  log="$root/$city$number.log"
  line=$(grep -E "^play-through: .*'s scenario $number (won|lost) after [0-9]+ game days" "$log" | tail -1 || true)
  if [ -z "$line" ]; then
    printf '%-10s %-6s %s\n' "$city $number" failed "$(tail -1 "$log")"
    failed=1
    continue
  fi
  result=$(sed -E 's/.* (won|lost) after .*/\1/' <<<"$line")
  days=$(sed -E 's/.* after ([0-9]+) game days.*/\1/' <<<"$line")
  printf '%-10s %-6s %s\n' "$city $number" "$result" "$days"
  if [ "$result" != won ]; then failed=1; fi
done
exit "$failed"
