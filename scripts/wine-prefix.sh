# Wine sessions for tests and the demo: a template prefix made once per
# machine, a fresh clone of it per session, and an Xvfb display when there
# is no display. Source this file; call vbc_wine_session_start, and
# vbc_wine_session_stop when done.

vbc_wine_template() {
  local template="${VBC_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/varnholt-bin-compiler}/wine-template"
  if [ ! -f "$template/.complete" ]; then
    rm -rf "$template"
    mkdir -p "$template"
    echo "wine: making a template prefix (once per machine)" >&2
    (cd /tmp && WINEPREFIX="$template" WINEARCH=win64 WINEDEBUG=-all \
       WINEDLLOVERRIDES="mscoree=;mshtml=" DISPLAY= wineboot -i >/dev/null 2>&1)
    WINEPREFIX="$template" wineserver -w
    touch "$template/.complete"
  fi
  echo "$template"
}

vbc_wine_session_start() {
  local template
  template=$(vbc_wine_template)
  VBC_WINE_SESSION=$(mktemp -d /tmp/vbc-wine-XXXXXX)
  export VBC_WINE_SESSION
  export WINEPREFIX="$VBC_WINE_SESSION/prefix"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree=;mshtml="
  # Hard links for speed; the registry files are copied because the
  # wineserver rewrites them in place.
  cp -al "$template" "$WINEPREFIX"
  rm -f "$WINEPREFIX"/*.reg
  cp "$template"/*.reg "$WINEPREFIX"/
  VBC_XVFB_PID=""
  if [ -z "${DISPLAY:-}" ] || [ -n "${VBC_FORCE_XVFB:-}" ]; then
    local n=$(( 90 + RANDOM % 400 ))
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    VBC_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.05; done
  fi
  export VBC_XVFB_PID
  # A persistent server makes each test's start fast. Wine's background
  # services start now, with no pipe of a test's as their output: a service
  # holding a test's stdout open would keep CTest waiting for its end.
  (cd /tmp && wineserver -p </dev/null >/dev/null 2>&1 &&
     wine cmd /c exit </dev/null >/dev/null 2>&1) || true
}

vbc_wine_session_stop() {
  if [ -n "${WINEPREFIX:-}" ]; then
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
  fi
  if [ -n "${VBC_XVFB_PID:-}" ]; then
    kill "$VBC_XVFB_PID" 2>/dev/null || true
    wait "$VBC_XVFB_PID" 2>/dev/null || true
  fi
  [ -n "${VBC_WINE_SESSION:-}" ] && rm -rf "$VBC_WINE_SESSION"
  return 0
}
