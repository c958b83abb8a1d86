#!/usr/bin/env bash
# Damaged settings, data and text files. A settings file is read as far as it reads: one that lost its last line
# starts the game and plays, and no damaged one stops the start on its own. A data file is read as far as it reads
# too: one cut, emptied or with closing lines naming other tags and text outside every tag starts the game, left
# byte for byte as it was; a missing one stops the game's set-up with a message naming the file, exit code
# non-zero; once the authored file is back, the game starts to its main menu. A damaged or
# missing text file does not stop the start; a missing cursor picture does. Settings that cannot be saved start
# the game unsaved.
# Arguments: mkcontent, mall_playtest, the content texts folder.
set -euo pipefail
source "$(dirname "$0")/author_content.sh"
mkcontent=$1
harness=$2
texts=$3
root=$(mktemp -d "${TMPDIR:-/tmp}/mall_damaged.XXXXXX")
trap 'rm -rf "$root"' EXIT
export SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-offscreen}
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
author_content "$mkcontent" "$texts" "$root"
game="$root/content"
cp "$game/setup.xml" "$root/setup.xml"
cp "$game/data.xml" "$root/data.xml"
cp "$game/language.xml" "$root/language.xml"

: >"$root/empty"
printf 'TAGS\001\002\377\376\000\033binary\r\n\200\201' >"$root/binary"
awk 'BEGIN { for (i = 0; i < 200000; i++) print "<t>" }' >"$root/nested"
# Under the tag reader's own 64 MiB cap, far over what a settings file holds.
head -c 66000000 /dev/zero | tr '\0' 'a' >"$root/huge"
sed '$d' "$root/setup.xml" >"$root/setup_lastline"
head -c "$(($(wc -c <"$root/data.xml") / 2))" "$root/data.xml" >"$root/data_cut"
head -c "$(($(wc -c <"$root/language.xml") / 2))" "$root/language.xml" >"$root/language_cut"
# Closing lines that name another tag than the one they close, and text outside every tag.
awk 'NR == 1 { print "loose text" } /^<\/SFX>/ { print "</MUSIC>"; next } { print } END { print "after the end" }' \
  "$root/data.xml" >"$root/data_misnamed"
cases=(
  "data.xml:missing:is missing or cannot be read"
)

fail() {
  echo "damaged settings: $*"
  exit 1
}

# One start of the game in its root, with any further options: the exit code and standard error.
start() {
  set +e
  (cd "$game" && "$harness" --frames 200 --step-ms 50 "$@") >"$root/out" 2>"$root/err"
  code=$?
  set -e
}

for i in "${!cases[@]}"; do
  entry=${cases[$i]}
  file=${entry%%:*}
  rest=${entry#*:}
  damage=${rest%%:*}
  fault=${rest#*:}
  if [ "$damage" = missing ]; then
    rm -f "$game/$file"
  else
    cp "$root/$damage" "$game/$file"
  fi
  for attempt in first second; do
    start
    [ "$code" -ne 0 ] || fail "$file ($damage): the $attempt start exited 0"
    # The message names the file and why it stops.
    grep -q "\./$file $fault[^;]*; the game ends" "$root/err" || {
      cat "$root/err"
      fail "$file ($damage): the $attempt start did not say './$file $fault'"
    }
    if [ "$damage" = missing ]; then
      [ ! -e "$game/$file" ] || fail "$file ($damage): the start made the file"
    else
      cmp -s "$root/$damage" "$game/$file" || fail "$file ($damage): the $attempt start changed the file"
    fi
  done
  # Authoring the file again restores the game: started once after the last damage of each file.
  cp "$root/$file" "$game/$file"
  next=${cases[$((i + 1))]:-}
  [ "${next%%:*}" != "$file" ] || continue
  start
  if [ "$code" -ne 0 ] || grep -qE "cannot start|the game ends" "$root/err"; then
    cat "$root/err"
    fail "$file ($damage): the start after restoring the file failed"
  fi
done
# A data file emptied, cut, or with misnamed closing lines and loose text: the game starts with what it reads, to
# a picture of its last frame, and the file stays as it was.
for damage in empty data_cut data_misnamed; do
  cp "$root/$damage" "$game/data.xml"
  rm -f "$root/played.bmp"
  start --screenshot "$root/played.bmp"
  if [ "$code" -ne 0 ] || [ ! -s "$root/played.bmp" ] || grep -qE "cannot start|the game ends" "$root/err"; then
    cat "$root/err"
    fail "data.xml ($damage): the start stopped (exit $code)"
  fi
  cmp -s "$root/$damage" "$game/data.xml" || fail "data.xml ($damage): the start changed the file"
done
cp "$root/data.xml" "$game/data.xml"
# A settings file that lost its last line: the game starts and plays, with a picture of its last frame.
cp "$root/setup_lastline" "$game/setup.xml"
rm -f "$root/played.bmp"
start --screenshot "$root/played.bmp"
if [ "$code" -ne 0 ] || [ ! -s "$root/played.bmp" ] || grep -qE "cannot start|the game ends" "$root/err"; then
  cat "$root/err"
  fail "setup.xml without its last line: the start stopped (exit $code)"
fi
# Damaged settings do not stop the start by themselves: whatever follows, nothing names the settings file as the
# reason and the program ends by itself.
for damage in empty binary nested huge; do
  cp "$root/$damage" "$game/setup.xml"
  start
  if [ "$code" -gt 1 ] || grep -qF "cannot start: ./setup.xml" "$root/err"; then
    cat "$root/err"
    fail "setup.xml ($damage): the start stopped on the settings file (exit $code)"
  fi
done
cp "$root/setup.xml" "$game/setup.xml"
# Texts cut, damaged or missing: the game starts all the same (its texts show the catalogue's diagnostics), and
# the file stays as it was.
for damage in language_cut binary missing; do
  if [ "$damage" = missing ]; then
    rm -f "$game/language.xml"
  else
    cp "$root/$damage" "$game/language.xml"
  fi
  start
  if [ "$code" -ne 0 ] || grep -qE "cannot start|the game ends" "$root/err"; then
    cat "$root/err"
    fail "language.xml ($damage): the start stopped"
  fi
  if [ "$damage" = missing ]; then
    [ ! -e "$game/language.xml" ] || fail "language.xml ($damage): the start made the file"
  else
    cmp -s "$root/$damage" "$game/language.xml" || fail "language.xml ($damage): the start changed the file"
  fi
done
cp "$root/language.xml" "$game/language.xml"
# Without its cursor picture the game does not start.
mv "$game/cursor.png" "$root/cursor.png"
start
if [ "$code" -eq 0 ] || ! grep -qF "cannot start: the cursor picture cannot be read" "$root/err"; then
  cat "$root/err"
  fail "a start without the cursor picture did not stop and say so"
fi
mv "$root/cursor.png" "$game/cursor.png"
cp "$root/setup.xml" "$game/setup.xml"
# Restored, the game runs to its main menu and shows it.
mkdir "$root/shots"
(cd "$game" && "$harness" --play-through-quit "$root/shots") >"$root/out" 2>"$root/err" || {
  cat "$root/err"
  fail "the start after restoring the files failed"
}
[ -s "$root/shots/menu.bmp" ] || fail "the main menu was not shown after restoring the files"
echo "damaged settings: damaged settings and data started, missing data stopped untouched, and restored the game reached its main menu"
