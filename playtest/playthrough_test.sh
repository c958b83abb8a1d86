#!/usr/bin/env bash
# The play-through test: authors the game's content into a folder of this run, plays London's first scenario
# headless on a fixed 0.05 s clock, and checks the exit code, the screenshot folder the program made, the
# screenshots at a few pixels and, in the full run, the two saves the options panel wrote (run1, and run2 after
# loading run1), filed in the run's folder with a player's save of the same name kept in maps/.
# Arguments: mkcontent, mall_playtest, the content texts folder, then --play-through, --play-through-quit (the
# program quits with the level running, in a window when there is a display), --play-through-win (a mall built
# to a plan plays until the scenario is won) or --repeat (the full run twice at 1024 x 768 in one content
# folder, with one seed: the saves of the two runs must be equal byte for byte). The winning run may be given a
# screen mode and a language after it (WxH and 0 English, 1 German, 2 French), and a city and a scenario number
# after those (london|paris|berlin N); its pictures (the mall built, the first month of two digits, the game won)
# are kept in the folder the test runs in, under playthrough_shots/ (a chosen scenario's under its name there).
set -euo pipefail
source "$(dirname "$0")/author_content.sh"
mkcontent=$1
harness=$2
texts=$3
mode=${4:---play-through}
root=$(mktemp -d "${TMPDIR:-/tmp}/mall_playthrough.XXXXXX")
trap 'rm -rf "$root"' EXIT
export SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-offscreen}
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
# The short form plays in a window on the X server test.sh started, when there is one: with a display too the
# launcher presses Play by itself.
if [ "$mode" = --play-through-quit ] && [ -n "${MALL_X_DISPLAY:-}" ]; then
  export DISPLAY=$MALL_X_DISPLAY SDL_VIDEODRIVER=x11
fi
author_content "$mkcontent" "$texts" "$root"

# Blue, green and red of a pixel of a BMP with 24 bits a pixel, at the point (x, y from the top left) of the
# 800 x 600 screen that the screen the picture shows is scaled from.
pixel() {
  local file=$1 x=$2 y=$3 width height offset row
  offset=$(od -An -tu4 -j10 -N4 "$file" | tr -d ' ')
  width=$(od -An -tu4 -j18 -N4 "$file" | tr -d ' ')
  height=$(od -An -tu4 -j22 -N4 "$file" | tr -d ' ')
  x=$((x * width / 800))
  y=$((y * height / 600))
  row=$(((width * 3 + 3) / 4 * 4))
  od -An -tu1 -j $((offset + (height - 1 - y) * row + x * 3)) -N3 "$file" | tr -s ' '
}
# Each picture shows its screen (800 x 600): the menu's London button stands out from the background beside it
# (the loading picture behind the menu is even across a row); the city view's sky is blue above its grey panel;
# the level's sky differs from its ground.
check() {
  local shot=$1 what=$2 a=$3 b=$4
  if [ "$a" = "$b" ]; then
    echo "play-through: $shot.bmp does not show $what ($a at both points)"
    exit 1
  fi
}

# One run in a content folder, with the mode and any further options. Its screenshots go to a folder beside it
# that does not exist yet: the program makes it.
play() {
  local content=$1 how=$2
  local shots="$content.shots/run"
  # A player's own save of a name the run saves under: the run leaves it as it was.
  mkdir -p "$content/maps"
  printf "a player's save\r\n" >"$content/maps/run1.fds"
  (cd "$content" && "$harness" "${@:3}" "$how" "$shots")
  if [ "$(cat "$content/maps/run1.fds")" != "$(printf "a player's save\r\n")" ]; then
    echo "play-through: the player's maps/run1.fds was not kept"
    exit 1
  fi
  rm "$content/maps/run1.fds"
  local level=level
  if [ "$how" = --play-through-win ]; then level=mall; fi
  for shot in menu city $level; do
    if [ ! -s "$shots/$shot.bmp" ]; then
      echo "play-through: $shot.bmp was not written"
      exit 1
    fi
  done
  check menu "the main menu's London button" "$(pixel "$shots/menu.bmp" 400 175)" "$(pixel "$shots/menu.bmp" 200 175)"
  check city "London's view beside its panel" "$(pixel "$shots/city.bmp" 200 20)" "$(pixel "$shots/city.bmp" 700 20)"
  local blue red
  read -r blue _ red <<<"$(pixel "$shots/city.bmp" 200 20)"
  if [ "$blue" -le "$red" ]; then
    echo "play-through: city.bmp has no sky in London's view"
    exit 1
  fi
  check $level "the level's world" "$(pixel "$shots/$level.bmp" 400 20)" "$(pixel "$shots/$level.bmp" 400 420)"
  if [ "$how" = --play-through-win ]; then
    # The end-game picture's frame round the live view of the level.
    if [ ! -s "$shots/won.bmp" ]; then
      echo "play-through: won.bmp was not written"
      exit 1
    fi
    # The two points differ in London's view; another city's view may show one colour at both, and the harness
    # checks every scenario's lettering.
    if [ -z "${chosen:-}" ]; then
      check won "the end-game picture's frame" "$(pixel "$shots/won.bmp" 4 300)" "$(pixel "$shots/won.bmp" 400 450)"
    fi
  fi
  if [ "$how" = --play-through ]; then
    # Its saves are filed in its own folder, none left in the player's.
    for save in run0 run1 run2; do
      if [ ! -s "$shots/$save.fds" ] || [ -e "$content/maps/$save.fds" ]; then
        echo "play-through: $save.fds was not filed in the run's folder, out of maps/"
        exit 1
      fi
    done
  fi
}

if [ "$mode" = --play-through-win ] && [ $# -ge 6 ]; then
  sed -i -e "/^<VideoModeWidth>/{n;s/^[0-9]*/${5%x*}/}" -e "/^<VideoModeHeight>/{n;s/^[0-9]*/${5#*x}/}" \
    -e "/^<Language>/{n;s/^[0-9]*/$6/}" "$root/content/setup.xml"
fi
if [ "$mode" = --play-through-win ] && [ $# -ge 8 ]; then
  # A scenario chosen, by city and number: it is won within 40 game days, as a new player wins it in about half
  # an hour (36 game days) at the top speed.
  most_days=40
  chosen=$7$8
  if ! (play "$root/content" "$mode" --scenario "$7" "$8") 2>"$root/play.log"; then
    cat "$root/play.log"
    exit 1
  fi
  cat "$root/play.log"
  days=$(sed -nE "s/^play-through: .*'s scenario $8 won after ([0-9]+) game days.*/\1/p" "$root/play.log")
  if [ -z "$days" ] || [ "$days" -gt "$most_days" ]; then
    echo "play-through: $7's scenario $8 was not won within $most_days game days"
    exit 1
  fi
  mkdir -p "playthrough_shots/$7$8" && cp "$root/content.shots/run/"{mall,won}.bmp "playthrough_shots/$7$8/"
  exit 0
fi
if [ "$mode" != --repeat ]; then
  play "$root/content" "$mode"
  if [ "$mode" = --play-through-win ]; then
    mkdir -p playthrough_shots && cp "$root/content.shots/run/"{mall,month10,won}.bmp playthrough_shots/
  fi
  exit 0
fi
# Both runs in a mode other than 800 x 600, where the points the play-through clicks follow the screen; the second
# in the folder of the first.
sed -i -e '/^<VideoModeWidth>/{n;s/^[0-9]*/1024/}' -e '/^<VideoModeHeight>/{n;s/^[0-9]*/768/}' "$root/content/setup.xml"
play "$root/content" --play-through --seed 777
mkdir "$root/first"
cp "$root/content.shots/run/"run*.fds "$root/first"
rm -rf "$root/content.shots"
play "$root/content" --play-through --seed 777
for save in run0 run1 run2; do
  if ! cmp "$root/first/$save.fds" "$root/content.shots/run/$save.fds"; then
    echo "play-through: $save.fds differs between two runs with one seed"
    exit 1
  fi
done
