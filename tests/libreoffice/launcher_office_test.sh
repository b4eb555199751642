#!/usr/bin/env bash
# The built launcher with a real Calc, run as a user runs it: an Xvfb of its
# own with no window manager, a throwaway home (so a fresh office profile),
# the workbook chosen by typing its path into the Open dialog (XTEST).
#
#  1. protected.xls: the launcher starts the office, exits 0, and leaves the
#     office with the workbook open and visible; Workbook_Open and Auto_Open
#     each ran once, and still once after a pause. The password is in no
#     process's command line or environment.
#  2. another password, a corrupt file, a stale lock: each ends within
#     seconds with the launcher's message and status 4, and the office shows
#     no dialog.
#  3. no soffice on the PATH (and no office running for that profile): the
#     launcher's message and status 3, within seconds.
#
# Every office started here is ended by pid (found by its HOME) on exit.
#
# Usage: launcher_office_test.sh path/to/spc-launcher FIXTURE_DIR
set -uo pipefail

launcher=$1
fixtures=$2
for tool in Xvfb xdotool soffice; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done
for f in protected other-password corrupt; do
  [ -f "$fixtures/$f.xls" ] || { echo "missing fixture: $fixtures/$f.xls" >&2; exit 1; }
done

password='pelisvarko!?dimaqu_wfz'
title='Maîtrise du procédé : cartes S.P.C. ...'
work=$(mktemp -d)
home="$work/home"
log="$work/macros.log"
mkdir -p "$home" "$work/runtime" "$work/books" "$work/no-office-path"
chmod 700 "$work/runtime"
xvfb_pid=

# Processes whose environment holds HOME=$1: the offices of that profile.
pids_with_home() {
  local p
  for p in /proc/[0-9]*; do
    { tr '\0' '\n' <"$p/environ"; } 2>/dev/null | grep -qxF "HOME=$1" && echo "${p#/proc/}"
  done
}
end_offices() {
  local tries=50 p
  while [ -n "$(pids_with_home "$home")" ] && [ $tries -gt 0 ]; do
    for p in $(pids_with_home "$home"); do kill -9 "$p" 2>/dev/null; done
    sleep 0.1
    tries=$((tries - 1))
  done
}
cleanup() {
  [ -n "${launcher_pid:-}" ] && kill -9 "$launcher_pid" 2>/dev/null
  end_offices
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

source "$(dirname "${BASH_SOURCE[0]}")/../lib/checks.sh"
visible() { xdotool search --onlyvisible --name "$1"; }
launcher_ended() { ! kill -0 "$launcher_pid" 2>/dev/null; }
# Visible named windows other than the launcher's and the office's document
# windows: the office's dialogs.
office_dialogs() {
  local w name
  for w in $(xdotool search --onlyvisible --name . 2>/dev/null); do
    name=$(xdotool getwindowname "$w" 2>/dev/null)
    case "$name" in
      plenavo | telvo | "$title" | *" - LibreOffice Calc") ;;
      *) echo "$name" ;;
    esac
  done
}
# Processes showing the password in their command line or environment.
password_shown() {
  local p
  for p in /proc/[0-9]*; do
    if grep -qaF -- "$password" "$p/cmdline" "$p/environ" 2>/dev/null; then echo "${p#/proc/}"; fi
  done
}

# Starts the launcher (extra environment in "$@") and chooses $path in its
# dialog, typing it again if the dialog did not take it.
launch() {
  local path=$1 dialog attempt
  shift
  env "$@" "$launcher" &
  launcher_pid=$!
  wait_for 300 visible "^$title\$" || { fail "the Open dialog did not appear"; return 1; }
  dialog=$(visible "^$title\$" | head -n 1)
  check "password shown by no process while the dialog is up" "" "$(password_shown)"
  for attempt in 1 2 3; do
    xdotool windowfocus --sync "$dialog" 2>/dev/null
    [ "$attempt" -eq 1 ] || xdotool key ctrl+a BackSpace
    xdotool type --delay 30 "$path"
    xdotool key Return
    wait_for 50 bash -c "! xdotool search --onlyvisible --name '^$title\$'" && return 0
  done
  fail "the Open dialog did not take $path"
  return 1
}
# Waits (bounded) for the launcher to end; its exit status goes to $status.
wait_exit() {
  if wait_for "$1" launcher_ended; then
    wait "$launcher_pid"
    status=$?
  else
    status="still running"
  fi
}
# The launcher's message box: present, then closed with Return.
dismiss_message() {
  if wait_for "$1" visible '^telvo$'; then
    check "no office dialog beside the message" "" "$(office_dialogs)"
    local box
    box=$(visible '^telvo$' | head -n 1)
    xdotool windowfocus --sync "$box" 2>/dev/null
    xdotool key Return
    return 0
  fi
  fail "the launcher's message did not appear"
  return 1
}

# -noreset: the office's first start in a fresh profile runs two processes one
# after the other; without it the X server resets when the first one leaves
# and drops the second one's connection (see office_harness.cpp).
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
# However this script ends (even killed at a timeout), a helper in a session
# of its own then ends the offices of this home, the X server and the folder.
setsid -f bash -c '
  while kill -0 "$1" 2>/dev/null; do sleep 1; done
  for p in /proc/[0-9]*; do
    { tr "\0" "\n" <"$p/environ"; } 2>/dev/null | grep -qxF "HOME=$2" && kill -9 "${p#/proc/}" 2>/dev/null
  done
  grep -qa Xvfb "/proc/$3/cmdline" 2>/dev/null && kill "$3"
  rm -rf "$4"' reaper $$ "$home" "$xvfb_pid" "$work" </dev/null >/dev/null 2>&1
wait_for 100 grep -q . "$work/display" || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n 1 "$work/display")"
export HOME="$home" XDG_RUNTIME_DIR="$work/runtime" SPC_MACRO_LOG="$log"
unset SAL_USE_VCLPLUGIN
echo "X server on $DISPLAY"

# 1. The protected workbook; the first start of the office in a fresh profile.
cp "$fixtures/protected.xls" "$work/books/protected.xls"
if launch "$work/books/protected.xls"; then
  wait_exit 1200
  check "exit status after a handed-over workbook" "0" "$status"
  check "office running after the launcher exited" "yes" "$([ -n "$(pids_with_home "$home")" ] && echo yes || echo no)"
  check "macros run by the open" "Workbook_Open Auto_Open" "$(tr '\n' ' ' <"$log" 2>/dev/null | sed 's/ $//')"
  sleep 3
  check "macros still once after a pause" "Workbook_Open Auto_Open" "$(tr '\n' ' ' <"$log" 2>/dev/null | sed 's/ $//')"
  check "workbook visible" "yes" "$(visible '^protected\.xls - LibreOffice Calc$' >/dev/null && echo yes || echo no)"
  check "no office dialog" "" "$(office_dialogs)"
  check "password shown by no process" "" "$(password_shown)"
fi

# 2. Workbooks the office cannot open, in the office that now runs.
cp "$fixtures/other-password.xls" "$work/books/other-password.xls"
cp "$fixtures/corrupt.xls" "$work/books/corrupt.xls"
cp "$fixtures/protected.xls" "$work/books/locked.xls"
printf '%s' "Quelqu'un d'autre,autre,poste-atelier,01.12.2026 08:00,file:///home/autre/.config/libreoffice/4;" \
  >"$work/books/.~lock.locked.xls#"
for book in other-password corrupt locked; do
  rm -f "$log"
  if launch "$work/books/$book.xls"; then
    dismiss_message 300
    wait_exit 100
    check "$book: exit status" "4" "$status"
    check "$book: no macro ran" "" "$(cat "$log" 2>/dev/null)"
    check "$book: no office dialog left" "" "$(office_dialogs)"
  fi
done
check "protected.xls still open" "yes" "$(visible '^protected\.xls - LibreOffice Calc$' >/dev/null && echo yes || echo no)"
end_offices

# 3. No office to start: a fresh profile and no soffice on the PATH.
mkdir -p "$work/home2"
if launch "$work/books/protected.xls" HOME="$work/home2" PATH="$work/no-office-path"; then
  dismiss_message 300
  wait_exit 100
  check "without soffice: exit status" "3" "$status"
fi

[ "$failures" -eq 0 ] && echo "all checks passed"
exit $((failures > 0))
