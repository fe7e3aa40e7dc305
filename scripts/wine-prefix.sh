#!/usr/bin/env bash
# Wine sessions for tests, the demo and the benchmark: a template prefix made
# once per machine and Wine, a fresh clone of it per session, and an Xvfb
# display when there is no display. Source this file; call
# vbc_wine_session_start, and vbc_wine_session_stop when done.
#
# Which Wine: the machine's own, or Wine 10 when VBC_WINE_ROOT names the
# Debian 13 root (scripts/wine-root run sets it, with the root's mounts in
# place). Wine itself always runs through scripts/wine-exec, which knows both.
#
# A session leaves nothing behind: its prefix lies in /tmp/vbc-wine-XXXXXX,
# and Wine's server keeps its socket and lock in a folder of the session's
# own (see vbc_wine_session_start); both go when it stops.

vbc_scripts="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

# True when this kernel runs 32-bit x86 programs. Some kernels have that
# switched off ("32-bit emulation disabled"); Wine's 32-bit side, and so
# every 32-bit Windows program, cannot run there.
vbc_runs_32bit() {
  [ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

# The kernel's handler rule for 32-bit x86 programs (a CPU emulator, such as
# the one scripts/setup-machine registers), if one is registered and on.
vbc_i386_rule() {
  local rule
  for rule in /proc/sys/fs/binfmt_misc/*; do
    case "$rule" in */register|*/status) continue ;; esac
    [ -f "$rule" ] && grep -qx enabled "$rule" 2>/dev/null &&
      grep -Eqx 'magic 7f454c4601[0-9a-f]{26}0300' "$rule" && { echo "$rule"; return 0; }
  done
  return 1
}

# True when 32-bit programs run on the processor itself: the kernel's
# handler rules come before its own loader, so with a rule on they are
# emulated. Only such programs may be timed.
vbc_runs_32bit_natively() {
  vbc_runs_32bit && ! vbc_i386_rule >/dev/null
}

# The Windows build whose tests can run here: the 32-bit product, or its
# 64-bit build (the same sources) where the kernel runs no 32-bit program.
# VBC_WINDOWS_PRESET chooses one by hand.
vbc_windows_test_preset() {
  if [ -n "${VBC_WINDOWS_PRESET:-}" ]; then
    echo "$VBC_WINDOWS_PRESET"
  elif vbc_runs_32bit; then
    echo windows-i686
  else
    echo windows-x86_64
  fi
}

# Which Wine a session uses, for people: "8.0" or "10.0", as the Wine says.
vbc_wine_version() {
  "$vbc_scripts/wine-exec" --version 2>/dev/null | sed -n 's/^wine-\([0-9.]*\).*/\1/p'
}

# Wine runs without TMPDIR: Debian 13's Wine 10 crashes when it is set (the
# server with "free(): invalid pointer", programs with SIGSEGV), and without
# it both Wines keep their server's folder where vbc_remove_server_folder
# looks for it.
vbc_wineserver() {
  if [ -n "${VBC_WINE_ROOT:-}" ]; then
    chroot "$VBC_WINE_ROOT" /usr/bin/env -u TMPDIR -C / wineserver "$@"
  else
    env -u TMPDIR wineserver "$@"
  fi
}

vbc_wine_template() {
  local cache="${VBC_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/varnholt-bin-compiler}"
  local bits=64
  vbc_runs_32bit && bits=32+64
  # One template per Wine: a prefix made by one Wine is upgraded, slowly, by
  # another at every start.
  local template lock
  template="$cache/wine-template-$(vbc_wine_version)-$bits"
  [ -f "$template/.complete" ] && { echo "$template"; return 0; }
  # One maker at a time: a second session waits and then finds it made.
  mkdir -p "$cache"
  exec {lock}>"$template.lock"
  flock "$lock"
  if [ ! -f "$template/.complete" ]; then
    rm -rf "$template"
    mkdir -p "$template"
    echo "wine: making a template prefix for Wine $(vbc_wine_version) (once per machine)" >&2
    (cd /tmp && WINEPREFIX="$template" WINEARCH=win64 WINEDEBUG=-all \
       WINEDLLOVERRIDES="mscoree=;mshtml=" DISPLAY="" "$vbc_scripts/wine-exec" wineboot -i \
       >/dev/null 2>&1) || true
    WINEPREFIX="$template" vbc_wineserver -w
    # Its server's folder goes with the making; each session makes its own.
    vbc_remove_server_folder "$template"
    rm -f "$template/wineserver"
    [ -f "$template/system.reg" ] || { echo "wine: making the template prefix failed" >&2; return 1; }
    touch "$template/.complete"
  fi
  exec {lock}>&-
  echo "$template"
}

vbc_wine_session_start() {
  local template
  template=$(vbc_wine_template) || return 1
  VBC_WINE_SESSION=$(mktemp -d /tmp/vbc-wine-XXXXXX)
  export VBC_WINE_SESSION
  export WINEPREFIX="$VBC_WINE_SESSION/prefix"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree=;mshtml="
  # Hard links for speed (copies where the two folders lie on different
  # file systems); the registry files are copied because the wineserver
  # rewrites them in place.
  cp -al "$template" "$WINEPREFIX" 2>/dev/null || { rm -rf "$WINEPREFIX"; cp -a "$template" "$WINEPREFIX"; }
  rm -f "$WINEPREFIX"/*.reg
  cp "$template"/*.reg "$WINEPREFIX"/
  # The name of the server's folder that a template may carry (see
  # vbc_remove_server_folder) would be shared by every clone of it, and by
  # every session at once: without it, this session's server makes a folder
  # of its own.
  rm -f "$WINEPREFIX/wineserver"
  # The display's DPI for the whole session, as winecfg would set it.
  if [ -n "${VBC_SESSION_DPI:-}" ]; then
    vbc_set_session_dpi "$VBC_SESSION_DPI"
  fi
  VBC_XVFB_PID=""
  if [ -z "${DISPLAY:-}" ] || [ -n "${VBC_FORCE_XVFB:-}" ]; then
    # No window manager runs on the session's own display, so Wine is told
    # to manage no window for one: Wine 8 otherwise waits 2 s for a window
    # manager's answer each time it hides a window ("wait_for_withdrawn_state
    # ... wait timed out"), so closing any program costs 2 s there.
    vbc_set_user_value 'Software\\Wine\\X11 Driver' '"Managed"="N"'
    vbc_start_xvfb || return 1
  fi
  export VBC_XVFB_PID
  # A persistent server makes each test's start fast. Wine's background
  # services start now, with no pipe of a test's as their output: a service
  # holding a test's stdout open would keep CTest waiting for its end.
  (cd /tmp && vbc_wineserver -p </dev/null >/dev/null 2>&1 &&
     "$vbc_scripts/wine-exec" cmd /c exit </dev/null >/dev/null 2>&1) || true
}

# Claims display number N for this session: no X server has it (no lock,
# no socket) and no other session holds its claim, a lock on
# /tmp/.vbc-XN.lock that this shell holds until vbc_wine_session_stop (the
# kernel drops it with the shell, however that ends). Checking the X
# server's own lock alone is not enough where two sessions start at once,
# and inside the Debian 13 root's PID namespace an Xvfb takes another
# server's lock for a stale one (its process is not to be seen there),
# while a lock on a file holds across namespaces.
vbc_claim_display() {
  local n=$1 claim="/tmp/.vbc-X$1.lock" fd
  [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ] || return 1
  exec {fd}>>"$claim" || return 1
  # The claim's file may have been removed and made anew meanwhile: the
  # lock counts only on the file that is there now.
  if flock -n "$fd" && [ "$(stat -c %i "$claim" 2>/dev/null)" = "$(stat -L -c %i "/dev/fd/$fd")" ]; then
    VBC_DISPLAY_CLAIM=$fd
    return 0
  fi
  exec {fd}>&-
  return 1
}

vbc_release_display() {
  [ -n "${VBC_DISPLAY_CLAIM:-}" ] || return 0
  rm -f "/tmp/.vbc-X${DISPLAY#:}.lock"
  exec {VBC_DISPLAY_CLAIM}>&-
  VBC_DISPLAY_CLAIM=""
}

# Starts an Xvfb on a display of this session's own and makes it DISPLAY.
vbc_start_xvfb() {
  local n=$(( 90 + RANDOM % 400 )) tries=0
  VBC_OUTER_DISPLAY=${DISPLAY-}
  while [ "$tries" -lt 400 ]; do
    tries=$((tries + 1))
    n=$(( 90 + (n - 89) % 400 ))
    vbc_claim_display "$n" || continue
    # The claim's lock stays with this shell, not with the server.
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 {VBC_DISPLAY_CLAIM}>&- &
    VBC_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 100); do
      [ -e "/tmp/.X11-unix/X$n" ] && kill -0 "$VBC_XVFB_PID" 2>/dev/null && return 0
      kill -0 "$VBC_XVFB_PID" 2>/dev/null || break
      sleep 0.05
    done
    # Slow to start, but running.
    kill -0 "$VBC_XVFB_PID" 2>/dev/null && return 0
    # A server that nothing here could see took the number first: the next one.
    kill "$VBC_XVFB_PID" 2>/dev/null || true
    wait "$VBC_XVFB_PID" 2>/dev/null || true
    VBC_XVFB_PID=""
    vbc_release_display
  done
  if [ -n "$VBC_OUTER_DISPLAY" ]; then export DISPLAY=$VBC_OUTER_DISPLAY; else unset DISPLAY; fi
  echo "wine: no free X display for Xvfb" >&2
  return 1
}

# Writes LogPixels into the session's user registry before its server
# starts, so that every program of the session sees that DPI from the start.
vbc_set_session_dpi() {
  local hex
  hex=$(printf '%08x' "$1")
  # The key exists in every prefix; the value goes right below its header.
  if grep -q '^\[Control Panel\\\\Desktop\]' "$WINEPREFIX/user.reg"; then
    sed -i '/^"LogPixels"=/d' "$WINEPREFIX/user.reg"
    sed -i "/^\[Control Panel\\\\\\\\Desktop\]/a \"LogPixels\"=dword:$hex" "$WINEPREFIX/user.reg"
  else
    printf '\n[Control Panel\\\\Desktop]\n"LogPixels"=dword:%s\n' "$hex" >>"$WINEPREFIX/user.reg"
  fi
}

# vbc_set_user_value KEY LINE: adds LINE ('"Name"="text"', as regedit
# writes it) to KEY (its backslashes doubled, as in the file) of the
# session's user registry, before its server starts.
vbc_set_user_value() {
  printf '\n[%s]\n%s\n' "$1" "$2" >>"$WINEPREFIX/user.reg"
}

# Removes the folder in which Debian's Wine kept the socket and lock of the
# server of PREFIX, once that server has ended; Wine leaves it behind. It is
# /tmp/wine-XXXXXX, made (mkdtemp) when the server first started for a
# prefix that names none in its file "wineserver", and then named there; or,
# where /run/user/UID exists (a desktop's login), /run/user/UID/wine/
# server-DEV-INODE, after the prefix's folder (there the file stays unmade).
vbc_remove_server_folder() {
  local name dev ino
  name=$(cat "$1/wineserver" 2>/dev/null) || name=""
  if [[ "$name" =~ ^wine-[A-Za-z0-9]{6}$ ]]; then rm -rf "/tmp/$name"; fi
  if read -r dev ino < <(stat -c '%d %i' "$1" 2>/dev/null); then
    rm -rf "/run/user/$(id -u)/wine/server-$(printf '%x-%x' "$dev" "$ino")"
  fi
}

vbc_wine_session_stop() {
  if [ -n "${WINEPREFIX:-}" ]; then
    vbc_wineserver -k 2>/dev/null || true
    vbc_wineserver -w 2>/dev/null || true
  fi
  if [ -n "${VBC_XVFB_PID:-}" ]; then
    kill "$VBC_XVFB_PID" 2>/dev/null || true
    wait "$VBC_XVFB_PID" 2>/dev/null || true
    vbc_release_display
    # The display is gone: a later session must not take it for the user's.
    if [ -n "${VBC_OUTER_DISPLAY:-}" ]; then export DISPLAY=$VBC_OUTER_DISPLAY; else unset DISPLAY; fi
    VBC_XVFB_PID=""
  fi
  if [ -n "${VBC_WINE_SESSION:-}" ]; then
    # The server has ended: its folder can go, then the session's.
    vbc_remove_server_folder "$WINEPREFIX"
    rm -rf "$VBC_WINE_SESSION"
    VBC_WINE_SESSION=""
  fi
  return 0
}

# Run rather than sourced: it holds functions only.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  source "$vbc_scripts/usage.sh"
  vbc_help_if_asked "$@"
  vbc_usage_error "source this file from a script (scripts/wine-ctest runs a session); it is no command"
fi
