#!/usr/bin/env bash
# Benchmark of the Linux desktop: time from start until the Open dialog's
# window is mapped, and peak resident memory while it is open, for the
# launcher, for zenity's file selection with the same title and filter, and
# for a bare Xlib program that maps one window. All three run on the same Xvfb,
# interleaved round by round; medians and the launcher's ratios are printed.
#
# Usage: bench/qt/run.sh [path/to/spc-launcher] [rounds]
#   (build it first: cmake --preset release && cmake --build --preset release)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
launcher=${1:-$here/../../build/release/spc-launcher}
rounds=${2:-11}
settle_ms=500
[ -x "$launcher" ] || { echo "no launcher at $launcher" >&2; exit 1; }
for tool in Xvfb zenity g++; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (scripts/packages.sh lists it)" >&2; exit 1; }
done

title='Maîtrise du procédé : cartes S.P.C. ...'
work=$(mktemp -d)
xvfb=
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

g++ -O2 -o "$work/map_timer" "$here/map_timer.cpp" -lX11
g++ -O2 -o "$work/bare_window" "$here/bare_window.cpp" -lX11

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do grep -q . "$work/display" && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$work/display")"

# The same plain session for all three: a fresh home, no accessibility bus.
mkdir -p "$work/home" "$work/runtime" && chmod 700 "$work/runtime"
export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" NO_AT_BRIDGE=1

launcher_cmd=("$launcher")
zenity_cmd=(zenity --file-selection "--title=$title" "--file-filter=Fichiers Excel (*.xls) | *.xls")
bare_cmd=("$work/bare_window")

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
: >"$work/launcher" ; : >"$work/zenity" ; : >"$work/bare"
for round in $(seq "$rounds"); do
  "$work/map_timer" "$title" "$settle_ms" -- "${launcher_cmd[@]}" >>"$work/launcher"
  "$work/map_timer" "$title" "$settle_ms" -- "${zenity_cmd[@]}" >>"$work/zenity"
  "$work/map_timer" bare "$settle_ms" -- "${bare_cmd[@]}" >>"$work/bare"
  echo "round $round/$rounds done" >&2
done

median() {  # median of column $1 of file $2
  sort -n -k"$1","$1" "$2" | awk -v c="$1" '{ v[NR] = $c } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
echo "load average before: $load_before; after: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-22s %12s %16s %16s\n' "medians of $rounds rounds" "mapped (ms)" "processor (ms)" "peak RSS (kB)"
for name in launcher zenity bare; do
  printf '%-22s %12s %16s %16s\n' "$name" "$(median 1 "$work/$name")" "$(median 3 "$work/$name")" "$(median 2 "$work/$name")"
done
ratio() {  # ratio COLUMN A B
  awk -v a="$(median "$1" "$work/$2")" -v b="$(median "$1" "$work/$3")" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'
}
echo "launcher / zenity: mapped $(ratio 1 launcher zenity), processor $(ratio 3 launcher zenity), memory $(ratio 2 launcher zenity)"
echo "launcher / bare Xlib: mapped $(ratio 1 launcher bare), memory $(ratio 2 launcher bare)"
