#!/usr/bin/env bash
# Runs a program on a private X server (Xvfb) of its own, with the openbox
# window manager or with none, and returns the program's exit code.
#
#   run_under_xvfb.sh openbox|none PROGRAM [ARGUMENTS...]
set -euo pipefail

wm=$1
shift
for tool in Xvfb xprop; do
  if ! command -v "$tool" >/dev/null; then
    echo "run_under_xvfb.sh: $tool is not installed (scripts/install-deps.sh installs it)" >&2
    exit 1
  fi
done
if [ "$wm" = openbox ] && ! command -v openbox >/dev/null; then
  echo "run_under_xvfb.sh: openbox is not installed (scripts/install-deps.sh installs it)" >&2
  exit 1
fi

work=$(mktemp -d)
xvfb_pid=""
wm_pid=""
cleanup() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display number and writes it to the descriptor given.
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { cat "$work/xvfb.log" >&2; exit 1; }
  sleep 0.05
done
export DISPLAY=":$(head -n1 "$work/display")"

if [ "$wm" = openbox ]; then
  # A clean home: no user configuration or session of the machine's own.
  HOME="$work" XDG_CONFIG_HOME="$work/config" openbox --sm-disable >"$work/openbox.log" 2>&1 &
  wm_pid=$!
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.05
  done
fi

export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
status=0
"$@" || status=$?
exit "$status"
