#!/usr/bin/env bash
# Drives palisade's real window under Xvfb: a mouse button on the "8 bit" radio button fills
# the mode list, a screenshot shows it, the title names the screen, F12 saves it, and Esc (the
# cancel command) ends the run with 0.
set -u
palisade=$(realpath "$1")
work=$2
for tool in Xvfb xdotool import identify; do
  if ! command -v "$tool" > /dev/null; then
    echo "SKIP: $tool is not installed (scripts/setup.sh installs xvfb, xdotool and imagemagick)"
    exit 77
  fi
done
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
work=$(pwd -P)

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3> display.txt 2> xvfb.log &
xvfb=$!
palisade_pid=
cleanup() {
  [ -n "$palisade_pid" ] && kill "$palisade_pid" 2> /dev/null
  kill "$xvfb" 2> /dev/null
  wait 2> /dev/null
}
trap cleanup EXIT
for _ in $(seq 100); do [ -s display.txt ] && break; sleep 0.1; done
[ -s display.txt ] || { echo "FAIL: Xvfb did not start"; cat xvfb.log; exit 1; }
export DISPLAY=":$(head -n1 display.txt)"

"$palisade" --desktop 1024x768 > palisade.out 2> palisade.err &
palisade_pid=$!
window=$(timeout 60 xdotool search --sync --name "^Palisade" | head -n1)
[ -n "$window" ] || { echo "FAIL: no palisade window"; cat palisade.err; exit 1; }
# The "8 bit" radio button of the main dialog, in desktop pixels (the window is not scaled).
# A window that has only just been mapped may miss the first press, so it is repeated.
selected=0
for _ in $(seq 10); do
  sleep 1
  xdotool mousemove --window "$window" 360 490 click 1
  sleep 1
  # The selected entry is the only navy on the screen.
  import -window root screen.png
  if import -window root txt:- | grep -q -i "#000080"; then selected=1; break; fi
done
if [ "$selected" != "1" ]; then
  echo "FAIL: the screenshot shows no selected list entry after the click"
  exit 1
fi
# The title names the machine and what is shown; F12 saves the screen, at the desktop's own
# size, as a new file of the current folder.
title=$(xdotool getwindowname "$window")
case "$title" in
  "Palisade - default - "*) ;;
  *) echo "FAIL: the window's title is \"$title\""; exit 1 ;;
esac
xdotool key --window "$window" F12
for _ in $(seq 50); do [ -s palisade-screen-0001.png ] && break; sleep 0.1; done
size=$(identify -format '%wx%h' palisade-screen-0001.png 2> /dev/null)
[ "$size" = "1024x768" ] || { echo "FAIL: F12 saved no 1024x768 picture ($size)"; cat palisade.out palisade.err; exit 1; }
grep -q "saved as $work/palisade-screen-0001.png" palisade.out || { echo "FAIL: F12 did not say where"; cat palisade.out; exit 1; }
xdotool key --window "$window" Escape
for _ in $(seq 150); do kill -0 "$palisade_pid" 2> /dev/null || break; sleep 0.1; done
if kill -0 "$palisade_pid" 2> /dev/null; then
  echo "FAIL: Esc did not end the run"
  exit 1
fi
wait "$palisade_pid"
status=$?
palisade_pid=
[ "$status" -eq 0 ] || { echo "FAIL: palisade exited with $status"; cat palisade.err; exit 1; }
echo "palisade window: key and button handled, screenshot in $work/screen.png"
