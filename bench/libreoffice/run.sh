#!/usr/bin/env bash
# Benchmark of the LibreOffice backend: time from the choice in the Open
# dialog (the Return that confirms it) until the workbook's window is shown
# and its Auto_Open has run, for the launcher opening protected.xls, against
# `soffice --calc` opening the unprotected copy directly (with the profile's
# macro security at its lowest, so that the office runs Auto_Open itself).
# Both are timed cold (no office running; the profile already made) and with
# an office already running, interleaved round by round on the same Xvfb and
# profile; medians and the launcher's ratio are printed.
#
# Each run opens a fresh copy of the workbook, so that no run finds it open.
#
# Usage: bench/libreoffice/run.sh path/to/spc-launcher FIXTURE_DIR [rounds]
#   (make_fixtures FIXTURE_DIR makes the workbooks)
set -uo pipefail
launcher=$1
fixtures=$2
rounds=${3:-5}
for tool in Xvfb xdotool soffice; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (scripts/packages.sh lists it)" >&2; exit 1; }
done
[ -x "$launcher" ] || { echo "no launcher at $launcher" >&2; exit 1; }

title='Maîtrise du procédé : cartes S.P.C. ...'
work=$(mktemp -d)
home="$work/home"
log="$work/macros.log"
mkdir -p "$home" "$work/runtime" "$work/books" && chmod 700 "$work/runtime"
xvfb=

pids_with_home() {
  local p
  for p in /proc/[0-9]*; do
    { tr '\0' '\n' <"$p/environ"; } 2>/dev/null | grep -qxF "HOME=$home" && echo "${p#/proc/}"
  done
}
end_offices() {
  local tries=100 p
  while [ -n "$(pids_with_home)" ] && [ $tries -gt 0 ]; do
    for p in $(pids_with_home); do kill -9 "$p" 2>/dev/null; done
    sleep 0.1
    tries=$((tries - 1))
  done
}
cleanup() {
  end_offices
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do grep -q . "$work/display" && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$work/display")"
export HOME="$home" XDG_RUNTIME_DIR="$work/runtime" SPC_MACRO_LOG="$log" NO_AT_BRIDGE=1

now_ms() { echo $(($(date +%s%N) / 1000000)); }
# Shown with Auto_Open done: the window named after the file is mapped and
# the macro has written its line.
done_for() {
  grep -qx Auto_Open "$log" 2>/dev/null &&
    xdotool search --onlyvisible --name "^$1 - LibreOffice Calc\$" >/dev/null 2>&1
}
wait_done() {  # wait_done NAME: up to 180 s
  local deadline=$(($(now_ms) + 180000))
  while ! done_for "$1"; do
    [ "$(now_ms)" -lt "$deadline" ] || return 1
    sleep 0.02
  done
}

n=0
# Times one launcher run on a fresh copy of protected.xls; prints ms.
time_launcher() {
  n=$((n + 1))
  local name="carte-$n.xls" start end pid
  cp "$fixtures/protected.xls" "$work/books/$name"
  rm -f "$log"
  "$launcher" &
  pid=$!
  for _ in $(seq 300); do xdotool search --onlyvisible --name "^$title\$" >/dev/null 2>&1 && break; sleep 0.1; done
  xdotool windowfocus --sync "$(xdotool search --onlyvisible --name "^$title\$" | head -n 1)" 2>/dev/null
  xdotool type --delay 20 "$work/books/$name"
  sleep 0.3
  start=$(now_ms)
  xdotool key Return
  if wait_done "$name"; then end=$(now_ms); echo $((end - start)); else echo "timeout"; fi
  for _ in $(seq 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  wait "$pid" 2>/dev/null
}
# Times `soffice --calc` on a fresh copy of unprotected.xls; prints ms.
time_office() {
  n=$((n + 1))
  local name="direct-$n.xls" start end
  cp "$fixtures/unprotected.xls" "$work/books/$name"
  rm -f "$log"
  start=$(now_ms)
  (soffice --calc --norestore --nologo "$work/books/$name" >/dev/null 2>&1 &)
  if wait_done "$name"; then end=$(now_ms); echo $((end - start)); else echo "timeout"; fi
}

# The profile, made once by a first (unmeasured) run; then the lowest macro
# security, which only the direct runs rely on: the launcher loads with macro
# execution off and runs the macros itself.
echo "making the profile..." >&2
time_launcher >/dev/null
end_offices
xcu="$home/.config/libreoffice/4/user/registrymodifications.xcu"
[ -f "$xcu" ] || { echo "no profile at $xcu" >&2; exit 1; }
sed -i 's#</oor:items>#<item oor:path="/org.openoffice.Office.Common/Security/Scripting"><prop oor:name="MacroSecurityLevel" oor:op="fuse"><value>0</value></prop></item>\n</oor:items>#' "$xcu"

: >"$work/cold_launcher"; : >"$work/cold_office"; : >"$work/warm_launcher"; : >"$work/warm_office"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for round in $(seq "$rounds"); do
  end_offices; time_launcher >>"$work/cold_launcher"
  end_offices; time_office >>"$work/cold_office"
  echo "cold round $round/$rounds done" >&2
done
# An office that already runs and listens on the launcher's pipe, as after
# the user's first launch.
end_offices
time_launcher >/dev/null
for round in $(seq "$rounds"); do
  time_launcher >>"$work/warm_launcher"
  time_office >>"$work/warm_office"
  echo "warm round $round/$rounds done" >&2
done

median() {
  grep -v timeout "$1" | sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "n/a"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
echo "load average before: $load_before; after: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-8s %18s %18s %8s\n' "medians" "launcher (ms)" "soffice --calc" "ratio"
for mode in cold warm; do
  l=$(median "$work/${mode}_launcher")
  o=$(median "$work/${mode}_office")
  printf '%-8s %18s %18s %8s\n' "$mode" "$l" "$o" "$(awk -v l="$l" -v o="$o" 'BEGIN { if (o > 0) printf "%.2f", l / o; else print "n/a" }')"
done
for f in cold_launcher cold_office warm_launcher warm_office; do echo "$f: $(tr '\n' ' ' <"$work/$f")"; done
