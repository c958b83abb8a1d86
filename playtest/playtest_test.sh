#!/usr/bin/env bash
# The input-level play test: authors the game's content into a folder of this run, then plays it through the
# launcher and the game with input pushed into SDL's event queue, on a fixed 0.05 s clock. It runs on the X
# server test.sh started (MALL_X_DISPLAY), else on SDL's offscreen driver, and checks the exit code and the
# screenshots of the steps.
# Arguments: mkcontent, mall_playtest, the content texts folder, then "full" for the whole run or WxH for the mode run
# of that mode.
set -euo pipefail
source "$(dirname "$0")/author_content.sh"
mkcontent=$1
harness=$2
texts=$3
run=${4:-full}
root=$(mktemp -d "${TMPDIR:-/tmp}/mall_playtest.XXXXXX")
# The pictures of the steps a player looks at are kept in the folder the test runs in, under playtest_shots/: in
# French the launcher's mode list, the menu, a city's page, the level, a locked item's tooltip, a held shop's
# price, a card, the shoppers panel and the save panel with a name typed; the walls of a room laid and extended, a
# shop's front, a demolition (a hole walled round), three storeys over stairs, the storey above stairs removed, the
# finance page, a contract's end and its level, the message history, a save's picture, Escape over panels, a game
# won and one lost.
# MALL_PLAY_TEST_KEEP=FOLDER keeps all the screenshots there, also of a failed run.
kept="*language_* *launcher_mode* *walls* *demolish* *third_storey* *stairs_removed* *shop_front* *finance_floors*
  *escape* *contract_done* *staff_level* *message_history* *save_cased* save_panel* load_panel_accented* shoppers_panel* held_price*
  *ending_won.bmp *ending_bankrupt* *_in_folder*"
build=$(pwd)
keep() {
  if [ "$run" = full ] && [ -d "$root/shots" ]; then
    rm -rf "$build/playtest_shots" && mkdir -p "$build/playtest_shots" || true
    set -f  # the names are patterns for find, not for the shell
    for name in $kept; do
      find "$root/shots" -name "$name" -exec cp {} "$build/playtest_shots" \; || true
    done
    set +f
  fi
  if [ -n "${MALL_PLAY_TEST_KEEP:-}" ]; then cp -r "$root/shots" "$MALL_PLAY_TEST_KEEP" 2>/dev/null || true; fi
  rm -rf "$root"
}
trap keep EXIT
use_test_display
author_content "$mkcontent" "$texts" "$root"
mkdir -p "$root/shots"
cd "$root/content"
# London's fourth scenario, for the play test's won ending: its goal (a balance above 0) and its limit (a
# balance below a million) both hold as it opens, and the goal wins.
scenario() {
  printf '%s\r\n' "<LEVEL>" ./models/levels/London/london.gxs "</LEVEL>" "<CONDITIONS>" 0 "$1" "$2" "</CONDITIONS>"
}
if [ "$run" = full ]; then
  scenario 0,1,0 0,0,1000000 >scenarios/london4.fds
  # The first cleaning contract lasts 15 technology steps instead of 300, so that the play test sees it end within
  # about a hundred frames at top speed.
  sed -i '/^<brooms>/{n;n;s/^300/15/}' data.xml
  if ! sed -n '/^<brooms>/{n;n;p}' data.xml | grep -q '^15'; then
    echo "play test: the first cleaning contract's duration was not shortened in data.xml"
    exit 1
  fi
  "$harness" --play-test "$root/shots"
  expected="launcher menu city start language_menu language_city language_level language_card"
else
  "$harness" --play-test-mode "$run" "$root/shots"
  expected="launcher menu"
fi
# Each step's picture is numbered by its place in the run: "<nn>_<step>.bmp".
for shot in $expected; do
  found=$(find "$root/shots" -name "[0-9][0-9]_$shot.bmp" -size +0)
  if [ -z "$found" ]; then
    echo "play test: the picture of $shot was not written"
    exit 1
  fi
done
