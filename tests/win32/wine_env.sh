# Wine sessions for the Windows build's tests. Source this file from bash.
#
#   wine_prefix_new DIR   a fresh, ready Wine prefix in DIR (a copy of a
#                         template made once per machine and Wine version)
#   wine_session_start    Xvfb on a free display, a detached wineserver for
#                         $WINEPREFIX and Wine's services; exports DISPLAY
#   wine_session_stop     ends both (wineserver -k, then Xvfb by its pid)
#
# The template prefix is made with `wineboot -i` (several seconds) and has
# Managed=N under HKCU\Software\Wine\X11 Driver: without a window manager Wine
# otherwise stalls about two seconds on every window hide or destroy.
# Copying it is much faster than booting a prefix per test.
#
# The wineserver is started here, with its output detached, rather than by
# the first Wine program a test runs: a wineserver that inherits a test's
# output pipe keeps ctest waiting for it.
#
# Settings read: WINE_TEMPLATE (template folder), WINE_SCREEN (Xvfb screen,
# default 1024x768x24).

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# The wine loader: Debian's `wine` wrapper picks wine64 when only the 64-bit
# build is installed.
WINE_BIN=${WINE_BIN:-wine}
WINESERVER_BIN=${WINESERVER_BIN:-wineserver}
if ! command -v "$WINESERVER_BIN" >/dev/null 2>&1 && [ -x /usr/lib/wine/wineserver ]; then
  WINESERVER_BIN=/usr/lib/wine/wineserver
fi

_wine_template_dir() {
  local version
  version=$("$WINE_BIN" --version 2>/dev/null | tr -c 'A-Za-z0-9.\n' '_')
  echo "${WINE_TEMPLATE:-${TMPDIR:-/tmp}/spc-wine-template-$(id -u)-${version}}"
}

# Makes the template prefix unless it is already there. Serialised with a lock
# so that concurrent test runs build it once.
_wine_template_ensure() {
  local template lock
  template=$(_wine_template_dir)
  lock="$template.lock"
  (
    flock -w 300 9 || { echo "wine_env: timed out waiting for $lock" >&2; exit 1; }
    [ -f "$template/.ready" ] && exit 0
    rm -rf "$template" "$template.tmp"
    mkdir -p "$template.tmp"
    # No display while booting: nothing needs one, and no window is left behind.
    if ! env -u DISPLAY WINEPREFIX="$template.tmp" timeout 180 "$WINE_BIN" wineboot -i </dev/null >/dev/null 2>&1; then
      echo "wine_env: wineboot -i failed for $template.tmp" >&2
      WINEPREFIX="$template.tmp" "$WINESERVER_BIN" -k >/dev/null 2>&1 || true
      exit 1
    fi
    env -u DISPLAY WINEPREFIX="$template.tmp" timeout 60 "$WINE_BIN" reg add 'HKCU\Software\Wine\X11 Driver' \
      /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1 ||
      { echo "wine_env: could not set Managed=N" >&2; exit 1; }
    # The registry reaches the disk when the wineserver ends.
    WINEPREFIX="$template.tmp" timeout 60 "$WINESERVER_BIN" -w || WINEPREFIX="$template.tmp" "$WINESERVER_BIN" -k || true
    grep -q '"Managed"="N"' "$template.tmp/user.reg" ||
      { echo "wine_env: Managed=N did not reach user.reg" >&2; exit 1; }
    touch "$template.tmp/.ready"
    mv "$template.tmp" "$template"
  ) 9>"$lock"
}

# wine_prefix_new DIR: makes DIR a fresh Wine prefix. DIR must not exist or
# be empty.
wine_prefix_new() {
  local dir=${1:?usage: wine_prefix_new DIR}
  _wine_template_ensure || return 1
  if [ -e "$dir" ] && [ -n "$(ls -A "$dir" 2>/dev/null)" ]; then
    echo "wine_env: $dir is not empty" >&2
    return 1
  fi
  mkdir -p "$dir" && cp -a "$(_wine_template_dir)/." "$dir/" && rm -f "$dir/.ready"
}

# wine_session_start: starts Xvfb on a free display and a persistent, detached
# wineserver for $WINEPREFIX. Exports DISPLAY, WINE_SESSION_XVFB_PID and
# WINE_SESSION_PREFIX.
wine_session_start() {
  : "${WINEPREFIX:?wine_session_start: set WINEPREFIX (see wine_prefix_new)}"
  export WINEPREFIX
  local fifo display_file n
  display_file=$(mktemp)
  # -displayfd makes Xvfb pick a free display and write its number once it
  # accepts connections.
  Xvfb -displayfd 3 -screen 0 "${WINE_SCREEN:-1024x768x24}" -nolisten tcp -noreset \
    3>"$display_file" </dev/null >/dev/null 2>&1 &
  WINE_SESSION_XVFB_PID=$!
  export WINE_SESSION_XVFB_PID
  for n in $(seq 1 100); do
    [ -s "$display_file" ] && break
    if ! kill -0 "$WINE_SESSION_XVFB_PID" 2>/dev/null; then break; fi
    sleep 0.1
  done
  n=$(tr -dc '0-9' <"$display_file")
  rm -f "$display_file"
  if [ -z "$n" ]; then
    echo "wine_env: Xvfb did not start" >&2
    kill "$WINE_SESSION_XVFB_PID" 2>/dev/null || true
    unset WINE_SESSION_XVFB_PID
    return 1
  fi
  export DISPLAY=":$n"
  # The wineserver daemonises itself; -p keeps it until wine_session_stop.
  WINE_SESSION_PREFIX=$WINEPREFIX
  export WINE_SESSION_PREFIX
  setsid "$WINESERVER_BIN" -p </dev/null >/dev/null 2>&1 || {
    echo "wine_env: wineserver did not start" >&2
    wine_session_stop
    return 1
  }
  # The first Wine program of a session starts Wine's own services (explorer,
  # services, winedevice, rpcss...), which live as long as the wineserver.
  # Starting them here, detached, keeps them off the tests' output pipes.
  timeout 120 setsid "$WINE_BIN" wineboot </dev/null >/dev/null 2>&1 || {
    echo "wine_env: the Wine session did not boot" >&2
    wine_session_stop
    return 1
  }
}

# wine_session_stop: ends the session's wineserver (and every Wine process of
# its prefix) and its Xvfb.
wine_session_stop() {
  if [ -n "${WINE_SESSION_PREFIX:-}" ]; then
    WINEPREFIX="$WINE_SESSION_PREFIX" "$WINESERVER_BIN" -k >/dev/null 2>&1 || true
    WINEPREFIX="$WINE_SESSION_PREFIX" timeout 20 "$WINESERVER_BIN" -w >/dev/null 2>&1 || true
    unset WINE_SESSION_PREFIX
  fi
  if [ -n "${WINE_SESSION_XVFB_PID:-}" ]; then
    kill "$WINE_SESSION_XVFB_PID" 2>/dev/null || true
    local i
    for i in $(seq 1 50); do
      kill -0 "$WINE_SESSION_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill -9 "$WINE_SESSION_XVFB_PID" 2>/dev/null || true
    unset WINE_SESSION_XVFB_PID
  fi
}
