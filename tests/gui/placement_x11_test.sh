#!/usr/bin/env bash
# The main window's placement over real starts and exits on an X server
# (run by run_under_xvfb.sh, with openbox or without a window manager): the
# program is started three times on an empty home, closed each time with
# File, Exit, and the window must come back exactly where and as large as it
# was, on the screen and in Corvel.ini.
#   placement_x11_test.sh <Corvellan>
set -euo pipefail
program=$1
work=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/data" "$work/program" "$work/config/corvellan" "$work/home"
# Start-up only looks for the database by name.
: >"$work/data/zip.cvd"
cp "$(dirname "$program")/Corvellan.Cfg" "$work/program/"
printf '[Directories]\nData=%s/\nProgram=%s/\n' "$work/data" "$work/program" >"$work/config/corvellan/Corvel.ini"
export XDG_CONFIG_HOME=$work/config HOME=$work/home

# The client window's place and size as the X server has it.
geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
                           /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x "," y " " w "x" h}'
}
stored() { grep '^Main Form' "$work/config/corvellan/Corvel.ini" | sort | tr '\n' ' '; }

# Waits until the window no longer moves (the frame arrives after mapping).
settled() {
  local before now
  before=$(geometry "$1")
  for _ in $(seq 40); do
    sleep 0.25
    now=$(geometry "$1")
    [ "$now" = "$before" ] && { echo "$now"; return; }
    before=$now
  done
  echo "$now"
}

# The program's main window: the large visible one of its windows named
# Corvellan (the splash is about 310 pixels wide; a short-lived window of the
# same name may come and go while the program starts, so the choice is made
# again whenever the window is needed).
main_window() {
  local candidate size found=
  for candidate in $(xdotool search --onlyvisible --pid "$pid" --name '^Corvellan$' 2>/dev/null || true); do
    size=$(geometry "$candidate" 2>/dev/null | cut -d' ' -f2)
    [ "${size%%x*}" -ge 500 ] 2>/dev/null && found=$candidate
  done
  echo "$found"
}

declare -a seen saved
for run in 1 2 3; do
  "$program" >"$work/log.$run" 2>&1 &
  pid=$!
  # The splash window carries the program's name too; the main window is the
  # large one (the splash is about 310 pixels wide).
  win=
  for _ in $(seq 300); do
    win=$(main_window)
    [ -n "$win" ] && break
    sleep 0.1
  done
  [ -n "$win" ] || { echo "run $run: no main window" >&2; cat "$work/log.$run" >&2; exit 1; }
  seen[$run]=$(settled "$win")
  # File, Exit from the keyboard.
  for _ in $(seq 20); do
    kill -0 "$pid" 2>/dev/null || break
    win=$(main_window)
    xdotool windowfocus "$win" 2>/dev/null || true
    sleep 0.2
    # A menu left open by an earlier try is closed first.
    xdotool key Escape 2>/dev/null || true
    xdotool key alt+f 2>/dev/null || true
    sleep 0.3
    xdotool key x 2>/dev/null || true
    sleep 0.5
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "run $run: File, Exit did not end the program" >&2
    exit 1
  fi
  wait "$pid" || { echo "run $run: the program failed" >&2; cat "$work/log.$run" >&2; exit 1; }
  pid=
  saved[$run]=$(stored)
  echo "run $run: window ${seen[$run]}; stored ${saved[$run]}"
done

[ -n "${saved[1]}" ] || { echo "no placement stored" >&2; exit 1; }
status=0
for run in 2 3; do
  if [ "${seen[$run]}" != "${seen[1]}" ] || [ "${saved[$run]}" != "${saved[1]}" ]; then
    echo "run $run: the placement moved" >&2
    status=1
  fi
done
exit "$status"
