#!/usr/bin/env bash
# Sets up Corvellan and starts it on the bundled sample database:
# installs packages, builds, generates the sample USPS product files, builds
# zip.cvd from them, writes a Corvel.ini pointing at them (only when the user
# has none; the barcode needs no settings), adds link settings for the
# shipped partner program (only when there are none) and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)

bash scripts/install-deps.sh

echo "==> Configuring and building (build/)"
cmake --preset default -G Ninja >/dev/null
cmake --build --preset default -j "$(nproc)"

SAMPLE_DIR="$ROOT/build/sample"
DATA_DIR="$ROOT/build/data"
if [ ! -f "$DATA_DIR/zip.cvd" ]; then
  echo "==> Generating sample USPS product files in $SAMPLE_DIR"
  build/bin/corvdb sample --out "$SAMPLE_DIR"
  echo "==> Building $DATA_DIR/zip.cvd"
  mkdir -p "$DATA_DIR"
  build/bin/corvdb build --zip4 "$SAMPLE_DIR/zip4.txt" --citystate "$SAMPLE_DIR/ctystate.txt" \
    --suffixes data/street_suffixes.csv --out "$DATA_DIR/zip.cvd"
else
  echo "==> Sample database already built: $DATA_DIR/zip.cvd"
fi

CONFIG_DIR="${XDG_CONFIG_HOME:-$HOME/.config}/corvellan"
INI="$CONFIG_DIR/Corvel.ini"
if [ ! -f "$INI" ]; then
  echo "==> Writing $INI (Data and Program directories)"
  mkdir -p "$CONFIG_DIR"
  # No barcode keys: without them the program uses the font it ships
  # (build/bin/fonts) at its own size and frame bars, as an installed one does.
  printf '[Directories]\nData=%s/\nProgram=%s/\n' "$DATA_DIR" "$ROOT/build/bin" > "$INI.tmp"
  mv "$INI.tmp" "$INI"
else
  echo "==> Keeping the existing $INI"
fi
# The address link to the shipped partner program (build/bin/corvellan-contacts),
# unless link settings are there already.
if ! grep -qi '^\[DDE Settings\]' "$INI"; then
  echo "==> Adding link settings for the Contacts partner to $INI"
  { cat "$INI"
    printf '\n[DDE Settings]\nApplication Name=Contacts\nDDE Topic=DATABASE\n'
    printf 'Recipient=COMPANY\nRecipient Check=No\nSecondary=ADDRESS2\nSecondary Check=Yes\n'
    printf 'Primary=ADDRESS\nPrimary Check=Yes\nUrbanization=\nUrbanization Check=No\n'
    printf 'City=CITY\nCity Check=Yes\nState=STATE\nState Check=Yes\nZipCode=ZIP\nZipCode Check=Yes\n'
    printf 'Plus4=\nPlus4 Check=No\nAdd to Primary=No\nAdd to City=No\nAdd to ZipCode=Yes\n'
  } > "$INI.tmp"
  mv "$INI.tmp" "$INI"
fi

if [ -x build/bin/Corvellan ]; then
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "==> No display found: starting Corvellan under Xvfb (:99); take screenshots with 'import -display :99 -window root shot.png'"
    Xvfb :99 -screen 0 1280x900x24 >/dev/null 2>&1 &
    export DISPLAY=:99
    sleep 1
  fi
  echo "==> Starting Corvellan"
  exec build/bin/Corvellan
else
  echo "==> The windowed program is not built yet; looking up a sample ZIP+4 with corvdb instead"
  ZIP=$(head -c 300 "$SAMPLE_DIR/zip4.txt" | tail -c +185 | cut -c2-6)
  PLUS4=$(head -c 300 "$SAMPLE_DIR/zip4.txt" | tail -c +185 | cut -c141-144)
  exec build/bin/corvdb lookup --data "$DATA_DIR/" "$ZIP-$PLUS4"
fi
