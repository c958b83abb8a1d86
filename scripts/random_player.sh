#!/usr/bin/env bash
# Plays the game with the random player (playtest/randomplayer.h) for as long as asked: builds the release tree,
# then runs seeds one after another, each a stream of random input checked against the mall's rules after every
# frame, printing each seed's actions and frames, and at the end the seeds, actions and frames played.
#   scripts/random_player.sh [--minutes M] [--seeds A-B | --seeds "A B C"] [--actions N] [--skip RULE,...]
#                            [--keep FOLDER]
# Without --seeds it runs seeds 1, 2, ... until the minutes (default 10) are up. A failing seed prints the rule it
# broke and its last actions; with --keep its folder (actions.txt, broken.bmp, its log) is copied there, and
#   build/release/mall_playtest --random-player-replay FOLDER/seed_S/actions.txt OUT   (in an authored content folder)
# plays those actions again. Without MALL_X_DISPLAY the game runs on SDL's offscreen driver.
set -euo pipefail
cd "$(dirname "$0")/.."
args=("$@")
has_seeds=false
has_minutes=false
for arg in "$@"; do
  [ "$arg" = --seeds ] && has_seeds=true
  [ "$arg" = --minutes ] && has_minutes=true
done
if ! $has_seeds; then
  args+=(--seeds 1-)
  $has_minutes || args+=(--minutes 10)
fi
./scripts/setup.sh
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
cmake -S . -B build/release "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DMALL_TESTS=OFF >/dev/null
cmake --build build/release -j "$(nproc 2>/dev/null || echo 2)" --target mall_playtest mkcontent
exec playtest/randomplayer_test.sh "$PWD/build/release/tools/mkcontent" "$PWD/build/release/mall_playtest" \
  "$PWD/tools/content/text" "${args[@]}"
