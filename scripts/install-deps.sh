#!/usr/bin/env bash
# Installs the Debian packages Corvellan needs to build, run and test.
# Idempotent: does nothing when every package is already installed.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev libsqlite3-dev sqlite3
  qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev libxtst-dev
  xvfb xauth dbus dbus-x11 poppler-utils imagemagick
  cups cups-client printer-driver-cups-pdf libcups2-dev fonts-dejavu-core python3 python3-fontforge
  openbox xdotool x11-utils libglib2.0-bin
  libx11-dev xclip x11-xkb-utils libzint-dev glabels-data
  libcpp-httplib-dev nlohmann-json3-dev wrk
  dpkg-dev fakeroot lintian desktop-file-utils appstream binutils file
  python3-dev pybind11-dev python3-pytest python3-pandas python3-dask python3-distributed
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "==> All build and test packages are installed."
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "==> Installing packages: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
