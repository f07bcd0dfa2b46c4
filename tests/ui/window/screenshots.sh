#!/bin/bash
# Screenshots of the real window under a virtual X server with a window manager, with a private
# HOME and a desktop opener that fails (as xdg-open does where no text viewer is configured):
#   start.png       the window after a start without argument
#   start-144dpi.png the same with fonts at 144 dpi
#   report.png      a finished run, its report in the window's own view
#   outcome.png     the window after that run: the outcome line under its controls
#   collection.png  a collection run in progress
#   summary.png     the summary of that run after Cancel
#   collection-outcome.png the window after that run: its totals and folders with problems
# Each shot must hold more than a handful of colours. Usage: screenshots.sh PROGRAM SAMPLES OUT
set -u

program=$(realpath "$1") samples=$(realpath "$2") out=$(realpath -m "$3")

if [ "${4:-}" != "--inside" ]; then
  for tool in xvfb-run import convert xdotool openbox; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
  done
  rm -rf "$out"
  mkdir -p "$out/home" "$out/bin" "$out/app" "$out/music" "$out/collection"
  # The reports go beside a program of the user's own, so it runs from a copy inside the artefact
  # folder; root's go to the state folder.
  cp "$program" "$out/app/quarnell-verify"
  printf '#!/bin/sh\nexit 4\n' >"$out/bin/xdg-open"
  chmod +x "$out/bin/xdg-open"
  cp -r "$samples/Quarnell 1964 Top 6" "$out/music/"
  # Enough folders (linked, not copied) for the run to last while it is photographed.
  for i in $(seq -w 1 1500); do cp -al "$samples/Quarnell 1964 Top 6" "$out/collection/Quarnell $i"; done
  export HOME="$out/home" XDG_CONFIG_HOME="$out/home/.config" XDG_DATA_HOME="$out/home/.local/share"
  export XDG_STATE_HOME="$out/home/.local/state" XDG_RUNTIME_DIR="$out/home/runtime"
  export PATH="$out/bin:$PATH" QT_QPA_PLATFORM=xcb
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$program" "$samples" "$out" --inside
  exit $?
fi

app="$out/app/quarnell-verify"
if [ "$(id -u)" -eq 0 ]; then reports="$XDG_STATE_HOME/quarnell-verify"; else reports="$out/app"; fi
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Waits up to $2 tenths of a second for a window whose title matches $1.
wait_window() {
  for _ in $(seq 1 "$2"); do
    xdotool search --name "$1" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

shot() {
  import -window root "$out/$1.png" || { fail "no shot $1"; return; }
  local colours
  colours=$(convert "$out/$1.png" -format '%k' info:)
  [ "${colours:-0}" -gt 8 ] || fail "$1.png is blank ($colours colours)"
  echo "$1.png: $colours colours"
}

stop() { kill "$1" 2>/dev/null; wait "$1" 2>/dev/null; }

openbox >/dev/null 2>&1 &
wm=$!
sleep 1

"$app" >"$out/start.log" 2>&1 &
pid=$!
wait_window '^Quarnell Verify 2.1 Rev37$' 100 || fail "the window did not appear"
sleep 0.5
shot start
[ -e "$XDG_DATA_HOME/applications/quarnell-verify.desktop" ] || fail "no registration in the private HOME"
stop $pid

QT_FONT_DPI=144 "$app" >"$out/start-144dpi.log" 2>&1 &
pid=$!
wait_window '^Quarnell Verify 2.1 Rev37$' 100 || fail "the window did not appear at 144 dpi"
sleep 0.5
shot start-144dpi
stop $pid

"$app" "$out/music/Quarnell 1964 Top 6/x.mp3" >"$out/report.log" 2>&1 &
pid=$!
wait_window '^Quarnell Verify Report$' 150 || fail "the report view did not appear after the opener failed"
sleep 0.5
shot report
[ -f "$reports/Quarnell Verify.txt" ] || fail "the report is not in $reports"
[ "$reports" = "$out/app" ] || [ ! -e "$out/app/Quarnell Verify.txt" ] || fail "root's report is in the program folder"
# The window beside its report view (which stays above it): the outcome line under the controls.
apart() {
  xdotool windowmove "$(xdotool search --name '^Quarnell Verify Report$' | head -1)" 0 250 2>/dev/null
  xdotool windowmove "$(xdotool search --name '^Quarnell Verify 2.1 Rev37$' | head -1)" 560 20 2>/dev/null
  sleep 0.5
}
apart
shot outcome
stop $pid

"$app" "$out/collection/" >"$out/collection.log" 2>&1 &
pid=$!
wait_window '^Quarnell Verify$' 150 || fail "the collection was not offered"
question=$(xdotool search --name '^Quarnell Verify$' | head -1)
xdotool windowactivate --sync "$question" 2>/dev/null
xdotool key --clearmodifiers Return
sleep 1.5
shot collection
ls "$reports"/Quarnell\ Verify\ */Quarnell\ Verify\ Summary.txt >/dev/null 2>&1 && fail "the collection run was over before its shot"
# Cancel is where Verify was: the button in the middle of the right-hand half of the button row.
window=$(xdotool search --name '^Quarnell Verify 2.1 Rev37$' | head -1)
xdotool windowactivate --sync "$window" 2>/dev/null
xdotool mousemove --window "$window" 324 125 click 1
wait_window '^Quarnell Verify Report$' 300 || fail "no summary after Cancel"
sleep 0.5
shot summary
grep -q "(cancelled)" "$reports"/Quarnell\ Verify\ */Quarnell\ Verify\ Summary.txt 2>/dev/null ||
  fail "the summary does not say it was cancelled"
apart
shot collection-outcome
stop $pid

# --unregister takes back what the starts above wrote for this program.
"$app" --unregister >"$out/unregister.log" 2>&1 || fail "--unregister failed: $(cat "$out/unregister.log")"
left=$(find "$XDG_DATA_HOME" \( -name 'quarnell-verify*' -o -name 'Quarnell Verify' \) -print)
[ -z "$left" ] || fail "left after --unregister: $left"
! grep -qs 'quarnell-verify' "$XDG_CONFIG_HOME/mimeapps.list" || fail "mimeapps.list still names the program"

stop $wm
[ "$failures" -eq 0 ] && echo "screenshots in $out"
exit $((failures > 0))
