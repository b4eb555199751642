#!/usr/bin/env bash
# The built launcher on a real X server, started as a user starts it: Xvfb on
# a free display and no window manager. Everything is checked through the X
# server (xwininfo, xprop, xev) and the dialog is driven with XTEST (xdotool):
# a hidden workbook in a folder with accented letters is chosen, which the
# dialog accepts and the presence test rejects, so the run ends with the
# absence message and its exit status.
#
# Usage: desktop_x11_test.sh path/to/spc-launcher
set -uo pipefail

launcher=$1
for tool in Xvfb xdotool xprop xwininfo xev setxkbmap stdbuf; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done

title='Maîtrise du procédé : cartes S.P.C. ...'
work=$(mktemp -d)
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

source "$(dirname "${BASH_SOURCE[0]}")/../lib/checks.sh"
screenshot() { [ -n "${SPC_SCREENSHOTS:-}" ] && command -v import >/dev/null && import -window root "$SPC_SCREENSHOTS/$1.png"; return 0; }

# An X server of its own, on the first free display; a server that does not
# answer its first client (another test's server may take the same display at
# the same moment) is replaced by a new one.
start_x_server() {
  local attempt
  for attempt in 1 2 3; do
    : >"$work/display"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    if wait_for 100 grep -q . "$work/display"; then
      export DISPLAY=":$(head -n 1 "$work/display")"
      wait_for 50 xprop -root _NET_SUPPORTED && return 0
    fi
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  done
  echo "Xvfb did not start" >&2
  cat "$work/xvfb.log" >&2
  return 1
}
start_x_server || exit 1
pids+=("$xvfb_pid")
echo "X server on $DISPLAY"

# Watch the windows being mapped on the root window, in order; a property set
# on the root tells when the watcher is listening.
start_watcher() {
  stdbuf -oL xev -root -event substructure -event property >"$work/xev.log" 2>&1 &
  xev_pid=$!
  pids+=("$xev_pid")
}
listening() {
  if ! kill -0 "$xev_pid" 2>/dev/null; then start_watcher; fi
  xprop -root -f _SPC_TEST_READY 8s -set _SPC_TEST_READY yes && grep -q _SPC_TEST_READY "$work/xev.log"
}
start_watcher
wait_for 300 listening || { echo "xev is not listening" >&2; cat "$work/xev.log" >&2; exit 1; }

# The workbook: present for the dialog, but hidden, so not a normal file.
folder="$work/Classeurs de l'équipe été"
workbook="$folder/.Carte à tester.xls"
mkdir -p "$folder" "$work/home" "$work/runtime" "$work/empty-path"
chmod 700 "$work/runtime"
echo x >"$workbook"

# A French keyboard, set before the launcher reads the key map: every letter
# of the path is then on a key of its own (é, à) or its shifted level, and
# xdotool never has to rebind a spare key code while the launcher reads the
# keys, which races on a busy machine.
setxkbmap -layout fr

# As a user starts it, with its own home; no spreadsheet application is on
# its search path, so none is started by this run.
HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" PATH="$work/empty-path" "$launcher" &
launcher_pid=$!
pids+=("$launcher_pid")

wait_for 300 xdotool search --onlyvisible --name "^$title\$" || { fail "the Open dialog was not mapped"; exit 1; }
dialog=$(xdotool search --onlyvisible --name "^$title\$" | head -n 1)
form=$(xdotool search --name '^plenavo$' | head -n 1)
[ -n "$form" ] || { fail "no window named plenavo"; exit 1; }
screenshot dialog

# The window: at 0,0 with the screen's size, directly on the root (no frame),
# no decorations, off the taskbar, in normal state and not resizable.
root_geometry=$(xwininfo -root | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
info=$(xwininfo -id "$form")
check "window position" "0,0" "$(awk '/Absolute upper-left X:/ {x=$NF} /Absolute upper-left Y:/ {y=$NF} END {print x "," y}' <<<"$info")"
check "window size is the screen's" "$root_geometry" "$(awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}' <<<"$info")"
check "window border" "0" "$(awk '/Border width:/ {print $NF}' <<<"$info")"
check "window viewable" "IsViewable" "$(awk '/Map State:/ {print $NF}' <<<"$info")"
check "window parent is the root" "yes" "$(xwininfo -children -id "$form" | grep -q 'Parent window id: .*(the root window)' && echo yes || echo no)"
props=$(xprop -id "$form")
motif=$(grep '^_MOTIF_WM_HINTS' <<<"$props" | sed 's/.*= //')
IFS=', ' read -r motif_flags _ motif_decorations _ <<<"$motif"
check "no decorations" "decorations off" \
  "$( (( (${motif_flags:-0} & 2) && ${motif_decorations:-1} == 0 )) && echo "decorations off" || echo "$motif")"
state=$(grep '^_NET_WM_STATE(ATOM)' <<<"$props")
check "skip taskbar" "yes" "$(grep -q '_NET_WM_STATE_SKIP_TASKBAR' <<<"$state" && echo yes || echo no)"
check "normal state" "no" "$(grep -qE 'MAXIMIZED|FULLSCREEN|HIDDEN' <<<"$state" && echo yes || echo no)"
size=${root_geometry/x/ by }
check "minimum size" "$size" "$(sed -n 's/.*program specified minimum size: //p' <<<"$props")"
check "maximum size" "$size" "$(sed -n 's/.*program specified maximum size: //p' <<<"$props")"
check "window icon" "yes" "$(grep -q 'Icon (32 x 32)' <<<"$props" && echo yes || echo no)"

# The dialog: its exact title, standing over the window, mapped after it.
check "dialog title" "$title" "$(xdotool getwindowname "$dialog")"
check "dialog transient for the window" "$(printf '0x%x' "$form")" \
  "$(xprop -id "$dialog" WM_TRANSIENT_FOR | sed -n 's/.*window id # //p')"
check "dialog modal" "yes" "$(xprop -id "$dialog" _NET_WM_STATE | grep -q _NET_WM_STATE_MODAL && echo yes || echo no)"
maps=$(grep -A1 '^MapNotify' "$work/xev.log" | sed -n 's/.*, window \(0x[0-9a-f]*\), override.*/\1/p' | tr '\n' ' ')
form_hex=$(printf '0x%x' "$form")
dialog_hex=$(printf '0x%x' "$dialog")
order=$(awk -v f="$form_hex" -v d="$dialog_hex" '{ for (i = 1; i <= NF; i++) { if ($i == f && !fi) fi = i; if ($i == d && !di) di = i } }
  END { if (fi && di && fi < di) print "window first"; else print "maps: " $0 }' <<<"$maps")
check "window mapped before the dialog" "window first" "$order"

# Type the path as a user would, and confirm it.
xdotool windowfocus --sync "$dialog"
xdotool type --delay 40 "$workbook"
xdotool key Return

if wait_for 300 xdotool search --onlyvisible --name '^telvo$'; then
  box=$(xdotool search --onlyvisible --name '^telvo$' | head -n 1)
  screenshot message
  check "message box over the window" "$form_hex" "$(xprop -id "$box" WM_TRANSIENT_FOR | sed -n 's/.*window id # //p')"
  check "dialog closed" "" "$(xdotool search --onlyvisible --name "^$title\$")"
  xdotool windowfocus --sync "$box"
  xdotool key Return
else
  screenshot no-message
  fail "the absence message was not shown"
fi

# The process ends by itself, with the absence status, and takes its window
# with it.
if wait_for 300 bash -c "! kill -0 $launcher_pid"; then
  wait "$launcher_pid"
  check "exit status" "2" "$?"
  check "window gone" "" "$(xdotool search --name '^plenavo$')"
else
  fail "the launcher did not end"
fi

[ "$failures" -eq 0 ] && echo "all checks passed"
exit $((failures > 0))
