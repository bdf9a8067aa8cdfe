#!/usr/bin/env bash
# The address link end to end: a private session bus for this test alone,
# the shipped partner program on it, and the program's link tests.
#   link_bus_test.sh <gui_tests> <corvellan-contacts>
set -euo pipefail
export CORVELLAN_CONTACTS=$2
export QT_QPA_PLATFORM=offscreen
exec dbus-run-session -- "$1" LinkBusTest
