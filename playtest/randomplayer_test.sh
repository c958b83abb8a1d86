#!/usr/bin/env bash
# The random player: authors the game's content into a folder of this run, gives London's first scenario money
# enough for any building and no end, then plays it seed after seed with --random-player, each run a stream of
# random input checked against the mall's rules after every frame. It runs on the X server test.sh started
# (MALL_X_DISPLAY), else on SDL's offscreen driver.
# Arguments: mkcontent, mall_playtest, the content texts folder, then
#   --seeds A-B | --seeds "A B C"   the seeds (default 1-); without an end, seeds run until the minutes are up
#   --minutes M                     no new seed starts after M minutes (default: only the seeds given)
#   --actions N                     actions per seed (default 1000)
#   --skip RULE,...                 rules left unchecked (buildings, balance, modal, lod, saves)
#   --keep FOLDER                   a failing seed's folder (actions.txt, broken.bmp, its log) is copied there
#   --replay FILE                   plays the action list in FILE instead of seeds (may be given more than once)
# Prints each seed's result and, at the end, the seeds, actions and frames played; fails when a seed failed.
set -euo pipefail
source "$(dirname "$0")/author_content.sh"
mkcontent=$1
harness=$2
texts=$3
shift 3
seeds="1-"
minutes=""
actions=1000
skip=""
keep=""
replays=()
while [ $# -gt 0 ]; do
  case $1 in
    --seeds) seeds=$2; shift 2 ;;
    --minutes) minutes=$2; shift 2 ;;
    --actions) actions=$2; shift 2 ;;
    --skip) skip=$2; shift 2 ;;
    --keep) keep=$2; shift 2 ;;
    --replay) replays+=("$2"); seeds=""; shift 2 ;;
    *) echo "random player: unknown argument $1"; exit 2 ;;
  esac
done
case $seeds in
  *-*) first=${seeds%-*}; last=${seeds#*-} ;;
  *) first=""; last="" ;;
esac
if [ ${#replays[@]} -gt 0 ]; then
  first=""
  list=("${replays[@]}")
elif [ -n "$first" ] && [ -z "$last" ] && [ -z "$minutes" ]; then
  echo "random player: seeds without an end need --minutes"
  exit 2
fi
root=$(mktemp -d "${TMPDIR:-/tmp}/mall_random.XXXXXX")
trap 'rm -rf "$root"' EXIT
use_test_display
author_content "$mkcontent" "$texts" "$root"
# London's first scenario with fifty million to build with, a goal no run reaches (more than 100000 days) and
# nothing that loses it.
scenario=$root/content/scenarios/london1.fds
sed -i -e '6s/.*/1,1,100000\r/' -e '7s/.*/\r/' -e '10s/.*/50000000\r/' "$scenario"
if ! sed -n '10p' "$scenario" | grep -q '^50000000'; then
  echo "random player: London's first scenario was not given its money"
  exit 1
fi
cd "$root/content"
start=$(date +%s)
played=0 failed=0 total_actions=0 total_frames=0 failures=""
seed=${first:-}
[ ${#replays[@]} -gt 0 ] || list=($seeds)
index=0
while true; do
  if [ -n "$first" ]; then
    [ -n "$last" ] && [ "$seed" -gt "$last" ] && break
    current=$seed
    seed=$((seed + 1))
  else
    [ $index -ge ${#list[@]} ] && break
    current=${list[$index]}
    index=$((index + 1))
  fi
  if [ -n "$minutes" ] && [ $(($(date +%s) - start)) -ge $((minutes * 60)) ]; then
    break
  fi
  # The harness makes the run's folder itself; the log stands beside it.
  run=$root/runs/$(basename "$current")
  log=$root/runs/$(basename "$current").log
  mkdir -p "$root/runs"
  if [ ${#replays[@]} -gt 0 ]; then
    args=(--random-player-replay "$current" "$run")
  else
    args=(--random-player "$current" "$run" --random-player-actions "$actions")
  fi
  [ -n "$skip" ] && args+=(--random-player-skip "$skip")
  status=0
  # A crash leaves a core where the system keeps them here; its stack is printed below.
  (ulimit -c unlimited 2>/dev/null || true; exec "$harness" "${args[@]}") >"$log" 2>&1 || status=$?
  played=$((played + 1))
  line=$(grep '^random player:' "$log" | tail -n 1 || true)
  if [ $status -eq 0 ] && [ -n "$line" ]; then
    echo "$line"
    total_actions=$((total_actions + $(echo "$line" | sed -n 's/.*: \([0-9]*\) actions, .*/\1/p')))
    total_frames=$((total_frames + $(echo "$line" | sed -n 's/.*actions, \([0-9]*\) frames.*/\1/p')))
  else
    # A broken rule names the action and frame it came at.
    broken=$(grep '^random player: .*: action [0-9]* (.*), frame [0-9]*:' "$log" | tail -n 1 || true)
    total_actions=$((total_actions + $(echo "$broken" | sed -n 's/.*: action \([0-9]*\) (.*/\1/p' | grep . || echo 0)))
    total_frames=$((total_frames + $(echo "$broken" | sed -n 's/.*), frame \([0-9]*\):.*/\1/p' | grep . || echo 0)))
    failed=$((failed + 1))
    failures="$failures $current"
    echo "random player: $current failed (exit $status)"
    { grep -v '^$' "$log" || echo "random player: the run printed nothing"; } | tail -n 15
    for core in core core.*; do
      [ -f "$core" ] || continue
      if [ $status -ge 128 ] && command -v gdb >/dev/null 2>&1; then
        echo "random player: the crash's stack:"
        gdb -batch -ex "bt 40" "$harness" "$core" 2>/dev/null | grep '^#' || true
      fi
      rm -f "$core"
    done
    # A run that crashed never filed its saves: they are its own (this content folder holds no player's).
    [ $status -lt 128 ] || rm -f maps/rpa.* maps/rpb.* maps/rpc.*
    if [ -f "$run/actions.txt" ]; then
      echo "random player: its actions ($(grep -vc '^#' "$run/actions.txt")):"
      tail -n 20 "$run/actions.txt"
    fi
    if [ -n "$keep" ]; then
      mkdir -p "$keep/seed_$(basename "$current")" &&
        cp -r "$run/." "$log" "$keep/seed_$(basename "$current")/" || true
    fi
  fi
done
echo "random player: $played runs, $total_actions actions, $total_frames frames; $((played - failed)) passed, $failed failed:${failures:- none}; $(($(date +%s) - start)) s"
# The runs' saves went to their own folders: the player's save list holds none of them.
left=$(ls maps 2>/dev/null | grep -E '^rp[abc]\.' || true)
if [ -n "$left" ]; then
  echo "random player: the runs left saves in the player's folder:" $left
  exit 1
fi
[ $failed -eq 0 ]
