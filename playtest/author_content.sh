# Sourced by the harness's test scripts beside it.

# Authors the game's content from the texts in $2 into $3/content with mkcontent ($1) on the software back end;
# prints mkcontent's log and ends the script when it fails. A folder authored once for several runs, named by
# MALL_AUTHORED_CONTENT, is copied instead.
author_content() {
  if [ -n "${MALL_AUTHORED_CONTENT:-}" ]; then
    cp -r "$MALL_AUTHORED_CONTENT" "$3/content"
    return
  fi
  MALL_D3D9_BACKEND=software "$1" "$2" "$3/content" >"$3/mkcontent.log" 2>&1 || {
    cat "$3/mkcontent.log"
    exit 1
  }
}

# Runs the game on the X server test.sh started (MALL_X_DISPLAY) when there is one, else on SDL's offscreen
# driver; without a sound device unless one is asked for.
use_test_display() {
  if [ -n "${MALL_X_DISPLAY:-}" ]; then
    export DISPLAY=$MALL_X_DISPLAY SDL_VIDEODRIVER=x11
  else
    export SDL_VIDEODRIVER=offscreen
  fi
  export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
}
