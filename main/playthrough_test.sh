#!/usr/bin/env bash
# The play-through test: authors the game's content into a folder of this run, plays London's first scenario
# headless on a fixed 0.05 s clock, and checks the exit code, the three screenshots and, in the full run, the
# two saves the options panel wrote (run1, and run2 after loading run1).
# Arguments: mkcontent, mall, the content texts folder, then --play-through, --play-through-quit (the
# program quits with the level running) or --repeat (the full run twice on copies of the content, with one
# seed: the saves of the two runs must be equal byte for byte).
set -euo pipefail
mkcontent=$1
mall=$2
texts=$3
mode=${4:---play-through}
root=$(mktemp -d "${TMPDIR:-/tmp}/mall_playthrough.XXXXXX")
trap 'rm -rf "$root"' EXIT
export SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-offscreen}
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
MALL_D3D9_BACKEND=software "$mkcontent" "$texts" "$root/content" >"$root/mkcontent.log" 2>&1 || {
  cat "$root/mkcontent.log"
  exit 1
}

# One run in a content folder, with the mode and any further options; its screenshots go beside the folder.
play() {
  local content=$1 how=$2
  local shots="$content.shots"
  mkdir -p "$shots"
  (cd "$content" && "$mall" "${@:3}" "$how" "$shots")
  for shot in menu city level; do
    if [ ! -s "$shots/$shot.bmp" ]; then
      echo "play-through: $shot.bmp was not written"
      exit 1
    fi
  done
  if [ "$how" = --play-through ]; then
    for save in run1 run2; do
      if [ ! -s "$content/maps/$save.fds" ]; then
        echo "play-through: maps/$save.fds was not written"
        exit 1
      fi
    done
  fi
}

if [ "$mode" != --repeat ]; then
  play "$root/content" "$mode"
  exit 0
fi
cp -a "$root/content" "$root/again"
play "$root/content" --play-through --seed 777
play "$root/again" --play-through --seed 777
for save in run0 run1 run2; do
  if ! cmp "$root/content/maps/$save.fds" "$root/again/maps/$save.fds"; then
    echo "play-through: maps/$save.fds differs between two runs with one seed"
    exit 1
  fi
done
