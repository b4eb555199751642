#!/usr/bin/env bash
# End-to-end runs of the Windows launcher against the test spreadsheet server,
# under Wine and Xvfb, with the Open dialog and the message box driven through
# the X server as a user would drive them (xdotool).
#
#   launcher_e2e.sh CASE LAUNCHER_EXE SERVER_DLL PROBE_EXE CLIENT_EXE WORK_DIR
#
# CASE is one of:
#   server_records        the server's own check: a client of known behaviour
#                         calls every member; the log must show each argument
#   present               a present workbook: the whole call sequence, exit 0
#   absent                a hidden file (present for the dialog, absent for the
#                         launcher's presence test): the message, exit 2
#   not_registered        no spreadsheet classes: the message, exit 3
#   open_fails            Open answers an error: the message, exit 4, nothing
#                         run on the active workbook
#   no_active_workbook    ActiveWorkbook answers no workbook: exit 0, no
#                         RunAutoMacros and no crash
#   display_alerts_fails  DisplayAlerts answers an error: the launch goes on
#   global_unavailable    the global object cannot be made: the launch goes on
#                         without it, and its next use tries to make it again
#   cancelled             the dialog is cancelled: exit 1, the server untouched
#
# Each case gets its own Wine prefix (a copy of a ready template), its own
# Xvfb and wineserver, and ends them all on the way out.
set -uo pipefail

case_name=$1
launcher=$2
server=$3
probe=$4
client=$5
work=$6

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../win32/wine_env.sh
source "$here/../win32/wine_env.sh"
# The test command may run this inside a Wine session of its own: never
# touch that one, whose pids and prefix are in the environment.
unset WINE_SESSION_PREFIX WINE_SESSION_XVFB_PID DISPLAY
# Wine converts command lines and window texts with the Unix locale; the
# texts checked here are French.
export LC_ALL=C.UTF-8

readonly dialog_title="Maîtrise du procédé : cartes S.P.C. ..."
readonly message_title="telvo"
readonly password="pelisvarko!?dimaqu_wfz"
readonly ok=0x00000000
readonly omitted="VT_ERROR:0x80020004"

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

launcher_pid=
cleanup() {
  if [ -n "$launcher_pid" ] && kill -0 "$launcher_pid" 2>/dev/null; then
    kill -9 "$launcher_pid" 2>/dev/null
  fi
  # The wineserver's socket folder is named after the prefix's device and
  # inode; Wine leaves it behind.
  local server_dir=
  [ -d "$case_dir/prefix" ] &&
    server_dir=$(printf 'server-%x-%x' "$(stat -c %d "$case_dir/prefix")" "$(stat -c %i "$case_dir/prefix")")
  wine_session_stop
  [ -z "$server_dir" ] || rm -rf /tmp/wine-*/"$server_dir" "/tmp/.wine-$(id -u)/$server_dir"
  # SPC_E2E_KEEP=1 keeps the case's folder (its log and prefix) for a look.
  [ -n "${SPC_E2E_KEEP:-}" ] || rm -rf "$case_dir"
}

case_dir="$work/$case_name"
rm -rf "$case_dir"
mkdir -p "$case_dir"
trap cleanup EXIT

# A Unix path as Wine's Z: drive shows it.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# Waits, at most $1 tenths of a second, until the command after it succeeds.
wait_for() {
  local tenths=$1 i
  shift
  for ((i = 0; i < tenths; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# What the probe sees of the top-level window with this exact title.
probe_window() { wine "$probe" "$1" </dev/null 2>/dev/null | tr -d '\r'; }
window_exists() { wine "$probe" "$1" </dev/null >/dev/null 2>&1; }

# The X window of the visible top-level window whose title matches the
# regular expression; waits for it at most 60 s.
x_window() { timeout 60 xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -n 1; }

# Gives the X window the keyboard focus and waits until it has it (at most
# 20 s), so that the keys that follow go to it.
focus() { timeout 20 xdotool windowfocus --sync "$1"; }
press_return() { focus "$1" && xdotool key Return; }

# Waits for the launcher to end, at most 60 s; sets launcher_exit to its exit
# status, or to "timeout".
launcher_exit=
wait_launcher() {
  if ! wait_for 600 bash -c "! kill -0 $launcher_pid 2>/dev/null"; then
    launcher_exit=timeout
    return
  fi
  launcher_exit=0
  wait "$launcher_pid" || launcher_exit=$?
  launcher_pid=
}

# Chooses the file in the Open dialog: finds the dialog by its title, types
# the full path into its file name box, checks that the box holds it (typing
# again over it if a key was lost), presses Return once and waits for the
# dialog to go away.
choose_file() {
  local path=$1 xw listing attempt
  xw=$(x_window 'cartes S\.P\.C\. \.\.\.$')
  [ -n "$xw" ] || { fail "no Open dialog appeared"; return 1; }
  # The dialog by its exact title, as Windows sees it.
  listing=$(probe_window "$dialog_title")
  [ -n "$listing" ] || { fail "no top-level window titled exactly '$dialog_title'"; return 1; }
  for attempt in 1 2 3; do
    focus "$xw" || continue
    [ "$attempt" -eq 1 ] || xdotool key End shift+Home BackSpace
    xdotool type --delay 30 "$path"
    wait_for 30 dialog_box_holds "$path" && break
  done
  dialog_box_holds "$path" || {
    fail "the dialog's file name box does not hold the typed path"
    probe_window "$dialog_title" >&2
    return 1
  }
  press_return "$xw"
  wait_for 200 dialog_gone || { fail "the Open dialog stayed open after Return"; return 1; }
}
dialog_gone() { ! window_exists "$dialog_title"; }
dialog_box_holds() { probe_window "$dialog_title" | grep -qxF "child Edit visible $1"; }

# Checks the message box (title, text, one OK button) and closes it with
# Return, as the user would.
answer_message() {
  local expected=$1 xw listing buttons
  xw=$(x_window "^${message_title}\$")
  [ -n "$xw" ] || { fail "no message box titled '$message_title' appeared"; return 1; }
  listing=$(probe_window "$message_title")
  grep -qxF "child Static visible $expected" <<<"$listing" || fail "the message box does not read '$expected'"
  buttons=$(grep -c '^child Button visible ' <<<"$listing")
  [ "$buttons" -eq 1 ] && grep -qx 'child Button visible &\?OK' <<<"$listing" ||
    fail "the message box does not have a single OK button"
  [ "$failures" -eq 0 ] || echo "$listing" >&2
  press_return "$xw"
}

# The member calls and object creations of the log, in order.
calls() { grep -E '^(new|call|create) ' "$log" 2>/dev/null; }

expect_calls() {
  local expected=$1 actual
  actual=$(calls)
  if [ "$actual" != "$expected" ]; then
    fail "the calls on the spreadsheet differ from the expected sequence"
    diff <(echo "$expected") <(echo "$actual") >&2
  fi
}

# The reference count of an object after the last line of the log that
# matches a pattern (counts start at 1 when the object is made).
refs_after() {
  local object=$1 pattern=$2
  awk -v obj="$object" -v pat="$pattern" '
    $1 == "new" && $2 == obj { refs = 1; seen = 1 }
    $1 == "ref" && $2 == obj { refs = $4 }
    $0 ~ pat { at = refs }
    END { print (seen ? at : "missing") }' "$log"
}

# References obtained for one step must be released by the given point; the
# global object and the started application must still be held then.
expect_released_by() {
  local object=$1 pattern=$2 refs
  refs=$(refs_after "$object" "$pattern")
  [ "$refs" = 0 ] || fail "$object holds $refs references at '$pattern' (expected all released)"
}
expect_held_through() {
  local object=$1 pattern=$2 refs
  refs=$(refs_after "$object" "$pattern")
  [ "$refs" != missing ] && [ "$refs" -ge 1 ] || fail "$object holds $refs references at '$pattern' (expected held)"
}

check_log_clean() {
  if grep -q '^ERROR' "$log" 2>/dev/null; then
    fail "the server saw a misuse of its objects"
    grep '^ERROR' "$log" >&2
  fi
}

# Reports the outcome and ends the run (the trap ends the session).
finish() {
  check_log_clean
  if [ "$failures" -ne 0 ]; then
    echo "--- server log" >&2
    cat "$log" >&2 2>/dev/null
    echo "--- launcher output" >&2
    cat "$case_dir/launcher.out" >&2 2>/dev/null
    exit 1
  fi
  echo "$case_name: passed"
  exit 0
}

# ---------------------------------------------------------------- set-up

wine_prefix_new "$case_dir/prefix" || { echo "could not make a Wine prefix" >&2; exit 1; }
export WINEPREFIX="$case_dir/prefix"
wine_session_start || { echo "could not start the Wine session" >&2; exit 1; }

log="$case_dir/calls.log"
export SPC_SERVER_LOG
SPC_SERVER_LOG=$(windows_path "$log")
unset SPC_SERVER_FAIL SPC_SERVER_ACTIVE_WORKBOOK

if [ "$case_name" != not_registered ]; then
  wine regsvr32 /s "$(windows_path "$server")" </dev/null >/dev/null 2>&1 || { echo "regsvr32 failed" >&2; exit 1; }
  wine reg query 'HKCR\CLSID\{00024500-0000-0000-C000-000000000046}\InprocServer32' /v ThreadingModel \
    </dev/null >/dev/null 2>&1 || { echo "the application class did not register" >&2; exit 1; }
fi

# The workbooks, in a folder whose name has a blank. The "absent" one is a
# dot file: Wine shows it as hidden, so the dialog accepts it as existing and
# the presence test, which never matches hidden files, finds it absent.
folder="$WINEPREFIX/drive_c/Cartes SPC"
mkdir -p "$folder"
printf 'workbook\n' >"$folder/atelier 2.xls"
printf 'workbook\n' >"$folder/.atelier 3.xls"
readonly present_path='C:\Cartes SPC\atelier 2.xls'
readonly hidden_path='C:\Cartes SPC\.atelier 3.xls'

# ---------------------------------------------------------------- expected lines

new_global="new Global#1 by CreateInstance {000208D9-0000-0000-C000-000000000046}"
call_application="call Global#1 slot=7 Application -> $ok out=Application#2"
new_alerts_app="new Application#2 by Global#1.Application"
call_alerts="call Application#2 slot=120 DisplayAlerts lcid=1033 value=0 -> $ok"
new_app="new Application#3 by CreateInstance {000208D5-0000-0000-C000-000000000046}"
call_visible="call Application#3 slot=283 Visible lcid=1033 value=-1 -> $ok"
new_workbooks="new Workbooks#4 by Application#3.Workbooks"
call_workbooks="call Application#3 slot=52 Workbooks -> $ok out=Workbooks#4"
# Open: the path as a BSTR, the password fifth, every other option omitted.
open_arguments() {
  local path=$1 i arguments
  arguments="filename=\"$path\"(bstrlen=${#path})"
  for i in $(seq 2 15); do
    if [ "$i" -eq 5 ]; then
      arguments+=" 5=VT_BSTR:\"$password\"(bstrlen=${#password})"
    else
      arguments+=" $i=$omitted"
    fi
  done
  echo "$arguments lcid=1033"
}
call_open="call Workbooks#4 slot=19 Open $(open_arguments "$present_path") -> $ok out=Workbook#5"
new_opened="new Workbook#5 by Workbooks#4.Open"
new_active="new Workbook#6 by Global#1.ActiveWorkbook"
call_active="call Global#1 slot=18 ActiveWorkbook -> $ok out=Workbook#6"
call_macros="call Workbook#6 slot=101 RunAutoMacros which=1 lcid=1033 -> $ok"

# ---------------------------------------------------------------- the cases

run_launcher() {
  (cd "$case_dir" && exec wine "$launcher" </dev/null >"$case_dir/launcher.out" 2>&1) &
  launcher_pid=$!
}

expect_status() {
  wait_launcher
  [ "$launcher_exit" = "$1" ] || fail "exit status $launcher_exit, expected $1"
}

case "$case_name" in
  server_records)
    # Values the launcher never sends (option 2 an integer, option 15 a
    # boolean, locale 1036 on Open) show that the log reports what arrived.
    wine "$client" "$present_path" </dev/null >"$case_dir/client.out" 2>&1 || fail "the client saw an unexpected result"
    open_line="call Workbooks#4 slot=19 Open filename=\"$present_path\"(bstrlen=${#present_path}) 2=VT_I4:3"
    for i in 3 4; do open_line+=" $i=$omitted"; done
    open_line+=" 5=VT_BSTR:\"$password\"(bstrlen=${#password})"
    for i in $(seq 6 14); do open_line+=" $i=$omitted"; done
    open_line+=" 15=VT_BOOL:-1 lcid=1036 -> $ok out=Workbook#5"
    expect_calls "$new_global
$new_alerts_app
$call_application
$call_alerts
$new_app
$call_visible
$new_workbooks
$call_workbooks
$new_opened
$open_line
call Application#3 slot=302 not-implemented -> 0x80004001
$new_active
$call_active
$call_macros"
    expect_released_by Application#2 '^new Application#3 '
    expect_released_by Workbook#5 '^call Application#3 slot=302 '
    expect_released_by Workbooks#4 '^call Application#3 slot=302 '
    expect_released_by Workbook#6 '.'
    expect_held_through Application#3 '.'
    expect_held_through Global#1 '.'
    grep -qx 'end Application#3 refs=1' "$log" || fail "the server did not report its objects when the client ended"
    ;;

  present | no_active_workbook | display_alerts_fails)
    alerts="$call_alerts"
    active="$new_active
$call_active
$call_macros"
    if [ "$case_name" = no_active_workbook ]; then
      export SPC_SERVER_ACTIVE_WORKBOOK=none
      active="call Global#1 slot=18 ActiveWorkbook -> $ok out=null"
    elif [ "$case_name" = display_alerts_fails ]; then
      export SPC_SERVER_FAIL=Application.120=0x80004005
      alerts="call Application#2 slot=120 DisplayAlerts lcid=1033 value=0 -> 0x80004005"
    fi
    run_launcher
    choose_file "$present_path" || finish
    expect_status 0
    expect_calls "$new_global
$new_alerts_app
$call_application
$alerts
$new_app
$call_visible
$new_workbooks
$call_workbooks
$new_opened
$call_open
$active"
    # Each step's references are let go by the end of that step; the global
    # object and the started application are kept to the end, and nothing
    # closes a workbook or quits the application (any such member would
    # show above as a call of another slot).
    expect_released_by Application#2 '^new Application#3 '
    expect_released_by Workbooks#4 '^call Global#1 slot=18 '
    expect_released_by Workbook#5 '^call Global#1 slot=18 '
    [ "$case_name" = no_active_workbook ] || expect_released_by Workbook#6 '.'
    expect_held_through Application#3 '^call Global#1 slot=18 '
    expect_held_through Global#1 '^call Global#1 slot=18 '
    ;;

  absent)
    run_launcher
    choose_file "$hidden_path" || finish
    answer_message "Désolé , le fichier correspondant est absent du répertoire de travail ."
    expect_status 2
    # Alerts are switched off before the presence test; no application is
    # started for an absent file.
    expect_calls "$new_global
$new_alerts_app
$call_application
$call_alerts"
    expect_released_by Application#2 '.'
    ;;

  not_registered)
    run_launcher
    choose_file "$present_path" || finish
    answer_message "Désolé , le tableur n'a pas pu être démarré ."
    expect_status 3
    [ ! -s "$log" ] || fail "the server was reached although it is not registered"
    ;;

  open_fails)
    export SPC_SERVER_FAIL=Workbooks.19=0x800A03EC
    run_launcher
    choose_file "$present_path" || finish
    answer_message "Désolé , le classeur n'a pas pu être ouvert ."
    expect_status 4
    expect_calls "$new_global
$new_alerts_app
$call_application
$call_alerts
$new_app
$call_visible
$new_workbooks
$call_workbooks
${call_open/-> $ok out=Workbook#5/-> 0x800A03EC out=null}"
    expect_released_by Workbooks#4 '.'
    ;;

  global_unavailable)
    export SPC_SERVER_FAIL=Global.create=0x80004005
    run_launcher
    choose_file "$present_path" || finish
    expect_status 0
    expect_calls "create Global -> 0x80004005
new Application#1 by CreateInstance {000208D5-0000-0000-C000-000000000046}
call Application#1 slot=283 Visible lcid=1033 value=-1 -> $ok
new Workbooks#2 by Application#1.Workbooks
call Application#1 slot=52 Workbooks -> $ok out=Workbooks#2
new Workbook#3 by Workbooks#2.Open
call Workbooks#2 slot=19 Open $(open_arguments "$present_path") -> $ok out=Workbook#3
create Global -> 0x80004005"
    ;;

  cancelled)
    run_launcher
    xw=$(x_window 'cartes S\.P\.C\. \.\.\.$')
    [ -n "$xw" ] || { fail "no Open dialog appeared"; finish; }
    focus "$xw" && xdotool key Escape
    expect_status 1
    [ ! -s "$log" ] || fail "the server was reached although no file was chosen"
    ;;

  *)
    echo "unknown case $case_name" >&2
    exit 2
    ;;
esac

finish
