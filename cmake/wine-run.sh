#!/usr/bin/env bash
# Runs a Windows program under Wine for ctest. The Wine prefix must have been
# prepared (tests/win32/wine_env.sh: wine_prefix_new, wine_session_start), so
# that no test creates a prefix of its own or starts the wineserver.
set -euo pipefail
if [ -z "${WINEPREFIX:-}" ]; then
  echo "wine-run: WINEPREFIX is not set; start a session with tests/win32/wine_env.sh first" >&2
  exit 125
fi
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
exec wine "$@"
