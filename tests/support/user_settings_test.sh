#!/usr/bin/env bash
# The tests never see the user's settings. A home folder whose
# .config/corvellan/Corvel.ini names a real database (so that the engine opens
# it after any failed open, as the program must) is made the HOME of a nested
# ctest run of the tests that expect a failed open to stay failed; they must
# pass, because ctest gives every test its own HOME, XDG_CONFIG_HOME and TMPDIR.
#
#   user_settings_test.sh CORVDB BUILD_DIR
set -euo pipefail
corvdb=$1
build=$2

work=$(mktemp -d "${TMPDIR:-/tmp}/user-settings-XXXXXX")
trap 'rm -rf "$work"' EXIT

"$corvdb" sample --out "$work/db" --records 3000 --states DE,RI --seed 5 >/dev/null
"$corvdb" build -q --zip4 "$work/db/zip4.txt" --citystate "$work/db/ctystate.txt" --out "$work/db/zip.cvd"
mkdir -p "$work/home/.config/corvellan"
printf '[Directories]\nData=%s/\n' "$work/db" >"$work/home/.config/corvellan/Corvel.ini"

# The settings work: a program that reads them opens the database (a ZIP+4
# that is not there gives "not found", exit status 1, not an opening error, 2).
status=0
env -u XDG_CONFIG_HOME HOME="$work/home" "$corvdb" lookup 00000-0000 >/dev/null 2>&1 || status=$?
if [ "$status" -ne 1 ]; then
  echo "the user's Corvel.ini does not lead to the database (lookup exit status $status)" >&2
  exit 1
fi

# The user's own settings: ~/.config, XDG_CONFIG_HOME unset.
echo "==> ctest with the user's Corvel.ini naming a database"
env -u XDG_CONFIG_HOME HOME="$work/home" \
  ctest --test-dir "$build" --no-tests=error --output-on-failure \
  -R '^(ReaderDamage\.|SearchDamage\.EveryByteFlipped$)'
# The tests wrote nothing into that home.
if [ "$(find "$work/home" -mindepth 1 | wc -l)" -ne 3 ]; then
  echo "a test wrote into the user's home:" >&2
  find "$work/home" -mindepth 1 >&2
  exit 1
fi
