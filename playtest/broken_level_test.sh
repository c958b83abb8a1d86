#!/usr/bin/env bash
# A level whose world file is cut or named as /dev/zero is never entered: the input-level run presses London's
# start and must find London's view again, and standard error names the file. (An emptied
# or replaced world file fails the same stream read as a cut one.)
# Arguments: mkcontent, mall_playtest, the content texts folder.
set -euo pipefail
source "$(dirname "$0")/author_content.sh"
mkcontent=$1
harness=$2
texts=$3
root=$(mktemp -d "${TMPDIR:-/tmp}/mall_brokenlevel.XXXXXX")
# MALL_PLAY_TEST_KEEP=FOLDER keeps the screenshots there, also of a failed run.
keep() {
  if [ -n "${MALL_PLAY_TEST_KEEP:-}" ]; then cp -r "$root/shots" "$MALL_PLAY_TEST_KEEP" 2>/dev/null || true; fi
  rm -rf "$root"
}
trap keep EXIT
export SDL_VIDEODRIVER=offscreen
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
author_content "$mkcontent" "$texts" "$root"
game="$root/content"
level=models/levels/London/london.gxs
cp "$game/$level" "$root/level"
cp "$game/setup.xml" "$root/setup.xml"

fail() {
  echo "broken level: $*"
  exit 1
}

for damage in cut devzero; do
  named="./$level"
  case $damage in
  cut)
    head -c "$(($(wc -c <"$root/level") / 2))" "$root/level" >"$game/$level"
    ;;
  devzero)
    sed "s#^\./$level\(\r\?\)\$#/dev/zero\1#" "$root/setup.xml" >"$game/setup.xml"
    ! cmp -s "$root/setup.xml" "$game/setup.xml" || fail "setup.xml names no ./$level to replace"
    named=/dev/zero
    ;;
  esac
  mkdir -p "$root/shots/$damage"
  (cd "$game" && "$harness" --play-test-broken-level "$root/shots/$damage") >"$root/out" 2>"$root/err" || {
    cat "$root/err"
    fail "$damage: the run failed"
  }
  grep -qF "level 0 ($named) cannot be loaded; back to its city view" "$root/err" || {
    cat "$root/err"
    fail "$damage: standard error does not name $named"
  }
  cp "$root/level" "$game/$level"
  cp "$root/setup.xml" "$game/setup.xml"
done
echo "broken level: every broken level led back to London's view"
