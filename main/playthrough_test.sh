#!/usr/bin/env bash
# The play-through test: authors the game's content into a folder of this run, plays London's first scenario
# headless on a fixed 0.05 s clock, and checks the exit code, the three screenshots and, in the full run, the
# two saves the options panel wrote (run1, and run2 after loading run1).
# Arguments: mkcontent, mall, the content texts folder, then --play-through or --play-through-quit (the
# program quits with the level still running).
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
mkdir -p "$root/shots"
cd "$root/content"
"$mall" "$mode" "$root/shots"
for shot in menu city level; do
  if [ ! -s "$root/shots/$shot.bmp" ]; then
    echo "play-through: $shot.bmp was not written"
    exit 1
  fi
done
if [ "$mode" = --play-through ]; then
  for save in run1 run2; do
    if [ ! -s "$root/content/maps/$save.fds" ]; then
      echo "play-through: maps/$save.fds was not written"
      exit 1
    fi
  done
fi
