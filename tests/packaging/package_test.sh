#!/usr/bin/env bash
# The Debian package, tested as a user gets it: builds it with CPack from a
# configured and built tree, lists it, extracts it into a temporary root and
# runs the programs from there (installed paths, library lookup through the
# run path, the installed sample inputs), builds a C program against the
# installed header, library and corvdb.pc, validates the desktop entry and the
# AppStream metadata, imports the Python package from the extracted root and
# uses it on a database, installs and removes the three packages with dpkg (as root,
# where no Corvellan package is installed yet) to see that nothing is left,
# and runs lintian: its errors and warnings fail the test (overrides with their
# reasons are in packaging/debian), its notes are only listed.
#
#   tests/packaging/package_test.sh BUILD_DIR
set -euo pipefail

BUILD=$(cd "${1:?usage: package_test.sh BUILD_DIR}" && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
fail() { echo "package test: $*" >&2; exit 1; }
step() { echo "==> $*"; }

step "cpack -G DEB in $BUILD"
rm -f "$BUILD"/corvellan_*.deb "$BUILD"/corvellan-dev_*.deb "$BUILD"/python3-corvdb_*.deb
(cd "$BUILD" && cpack -G DEB >"$WORK/cpack.log" 2>&1) || { cat "$WORK/cpack.log"; fail "cpack failed"; }
DEB=$(ls "$BUILD"/corvellan_*.deb)
DEV=$(ls "$BUILD"/corvellan-dev_*.deb)
PY=$(ls "$BUILD"/python3-corvdb_*.deb)
echo "$DEB"
echo "$DEV"
echo "$PY"

step "dpkg-deb -I / -c"
dpkg-deb -f "$DEB"
dpkg-deb -I "$DEB" control | grep -q '^Depends: .*libqt6widgets6' || fail "Depends lacks the Qt libraries (dpkg-shlibdeps)"
dpkg-deb -f "$DEV"
VERSION=$(dpkg-deb -f "$DEB" Version)
[ "$(dpkg-deb -f "$DEB" Recommends)" = "glabels-data, fonts-dejavu-core" ] ||
  fail "corvellan does not recommend glabels-data and fonts-dejavu-core (label sheets, label font)"
[ "$(dpkg-deb -f "$DEV" Depends)" = "corvellan (= $VERSION)" ] || fail "corvellan-dev does not depend on corvellan (= $VERSION)"
dpkg-deb -f "$PY"
PYDEPENDS=$(dpkg-deb -f "$PY" Depends)
for dep in "corvellan (= $VERSION)" "python3 (>= " "python3 (<< "; do
  [[ "$PYDEPENDS" == *"$dep"* ]] || fail "python3-corvdb does not depend on $dep...: $PYDEPENDS"
done
[ "$(dpkg-deb -f "$PY" Recommends)" = python3-pandas ] || fail "python3-corvdb does not recommend python3-pandas"
[[ "$(dpkg-deb -f "$PY" Suggests)" == *python3-dask* ]] || fail "python3-corvdb does not suggest python3-dask"
# No maintainer scripts: the loader cache is refreshed by the ldconfig trigger,
# and a postrm would leave the package in the "rc" state after a remove.
# python3-corvdb has a prerm only: it removes the byte-code of its modules.
for deb in "$DEB" "$DEV" "$PY"; do
  dpkg-deb --ctrl-tarfile "$deb" | tar -t >"$WORK/control-files"
  scripts='preinst|postinst|prerm|postrm'
  [ "$deb" != "$PY" ] || scripts='preinst|postinst|postrm'
  if grep -Eq "(^|/)($scripts)\$" "$WORK/control-files"; then
    fail "$(basename "$deb") ships maintainer scripts: $(grep -E 'inst$|rm$' "$WORK/control-files" | tr '\n' ' ')"
  fi
done
dpkg-deb --ctrl-tarfile "$DEB" | tar -xO ./triggers | grep -q 'activate-noawait ldconfig' || fail "no ldconfig trigger"
MULTIARCH=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
dpkg-deb -c "$DEB" >"$WORK/contents"
dpkg-deb -c "$DEV" >"$WORK/dev-contents"
dpkg-deb -c "$PY" >"$WORK/py-contents"
PYDIR=usr/lib/python3/dist-packages/corvdb
for path in $PYDIR/__init__.py $PYDIR/__init__.pyi $PYDIR/dask.py $PYDIR/dask.pyi $PYDIR/_corvdb.pyi $PYDIR/py.typed \
    "$PYDIR/_corvdb\.cpython-[0-9]*-$MULTIARCH\.so" usr/share/doc/python3-corvdb/copyright; do
  grep -q " \./$path\( \|$\)" "$WORK/py-contents" || fail "python3-corvdb lacks /$path"
  ! grep -q " \./$path\( \|$\)" "$WORK/contents" "$WORK/dev-contents" || fail "corvellan or corvellan-dev holds /$path"
done
for path in "usr/lib/$MULTIARCH/libCorvdb.so" "usr/lib/$MULTIARCH/pkgconfig/corvdb.pc" usr/include/corvdb.h; do
  grep -q " \./$path\( \|$\)" "$WORK/dev-contents" || fail "corvellan-dev lacks /$path"
  ! grep -q " \./$path\( \|$\)" "$WORK/contents" || fail "corvellan holds the development file /$path"
done
for path in usr/bin/Corvellan usr/bin/corvdb \
    "usr/lib/$MULTIARCH/libCorvdb.so.1" \
    usr/share/corvellan/Corvellan.Cfg usr/share/corvellan/docs/zip_ins.htm \
    usr/share/corvellan/fonts/CorvellanPOSTNET.ttf usr/bin/corvellan-contacts \
    usr/libexec/corvellan/corvdb-labels \
    usr/share/corvellan/data/zip_places.csv usr/share/corvellan/data/street_suffixes.csv \
    usr/share/applications/org.corvellan.Corvellan.desktop \
    usr/share/metainfo/org.corvellan.Corvellan.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/org.corvellan.Corvellan.svg \
    usr/share/icons/hicolor/48x48/apps/org.corvellan.Corvellan.png \
    usr/share/icons/hicolor/256x256/apps/org.corvellan.Corvellan.png \
    usr/share/man/man1/corvdb.1.gz usr/share/man/man1/Corvellan.1.gz \
    usr/share/doc/corvellan/copyright; do
  grep -q " \./$path\( \|$\)" "$WORK/contents" || fail "the package lacks /$path"
done
echo "$(wc -l <"$WORK/contents") entries, every expected file present"

step "dpkg-deb -x into a temporary root"
ROOT="$WORK/root"
dpkg-deb -x "$DEB" "$ROOT"
dpkg-deb -x "$DEV" "$ROOT"
dpkg-deb -x "$PY" "$ROOT"
readelf -d "$ROOT/usr/lib/$MULTIARCH/libCorvdb.so.1" | grep -q 'SONAME.*\[libCorvdb.so.1\]' || fail "no SONAME libCorvdb.so.1"

# Nothing from the build tree may help: no library path, settings in the
# temporary root only.
export -n LD_LIBRARY_PATH || true
unset LD_LIBRARY_PATH
export XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/share"
BIN="$ROOT/usr/bin"

step "corvdb --version, Corvellan --version"
"$BIN/corvdb" --version | tee "$WORK/v1" | grep -q '[0-9]\+\.[0-9]\+' || fail "corvdb --version"
cat "$WORK/v1"
# No display is needed for --version.
env -u DISPLAY -u WAYLAND_DISPLAY "$BIN/Corvellan" --version | tee "$WORK/v2" | grep -q '^Corvellan [0-9]' ||
  fail "Corvellan --version"
cat "$WORK/v2"
LOADED=$(ldd "$BIN/corvdb" | awk '/libCorvdb/ {print $3}')
echo "corvdb loads $LOADED"
[ "$(realpath "$LOADED")" = "$(realpath "$ROOT/usr/lib/$MULTIARCH/libCorvdb.so.1")" ] ||
  fail "corvdb does not load the extracted libCorvdb"

step "corvdb sample / build / lookup from the extracted root"
"$BIN/corvdb" sample --out "$WORK/usps" --records 3000 --states RI 2>"$WORK/sample.log" ||
  { cat "$WORK/sample.log"; fail "corvdb sample"; }
mkdir -p "$WORK/db"
"$BIN/corvdb" build --zip4 "$WORK/usps/zip4.txt" --citystate "$WORK/usps/ctystate.txt" \
  --out "$WORK/db/zip.cvd" 2>"$WORK/build.log" || { cat "$WORK/build.log"; fail "corvdb build"; }
tail -1 "$WORK/build.log"
# The first detail record's ZIP+4 (the copyright record comes first).
LINE=$(sed -n 2p "$WORK/usps/zip4.txt")
ZIP=${LINE:1:5}
PLUS4=${LINE:140:4}
"$BIN/corvdb" lookup --data "$WORK/db/" "$ZIP-$PLUS4" | tee "$WORK/lookup.out" | head -5
grep -q "$ZIP" "$WORK/lookup.out" || fail "lookup of $ZIP-$PLUS4 shows no record"

step "corvdb labels from the extracted root (corvdb-labels in libexec, the barcode font in share)"
printf 'name,std_delivery_line,std_city,std_state,std_zip4\nAnn Archer,110 MAIN ST,SPRINGFIELD,IL,12345-1001\n' \
  >"$WORK/labels.csv"
"$BIN/corvdb" labels --in "$WORK/labels.csv" --out "$WORK/labels.pdf" 2>"$WORK/labels.log" ||
  { cat "$WORK/labels.log"; fail "corvdb labels"; }
tail -1 "$WORK/labels.log"
[ "$(head -c 5 "$WORK/labels.pdf")" = "%PDF-" ] || fail "corvdb labels wrote no PDF"

step "import corvdb from the extracted root (Debian's python3)"
PYROOT="$ROOT/usr/lib/python3/dist-packages"
PYTHONPATH="$PYROOT" /usr/bin/python3 -c "import corvdb" || fail "python3 -c 'import corvdb' fails"
PYTHONPATH="$PYROOT" /usr/bin/python3 - "$WORK/db" "$ZIP-$PLUS4" "$PYROOT" <<'PYTHON' || fail "the corvdb package does not work"
import os, sys
import corvdb
assert os.path.dirname(corvdb.__file__) == os.path.join(sys.argv[3], "corvdb"), corvdb.__file__
db = corvdb.open(sys.argv[1])
records = db.lookup(sys.argv[2])
assert records and records[0]["ZipCode"] == sys.argv[2][:5], records
print("corvdb.open(...).lookup(%s): %d record(s)" % (sys.argv[2], len(records)))
PYTHON

step "corvdb sample reads the installed sample inputs (not the source tree's)"
# With a one-place list in the extracted root, every record carries that place.
printf 'zip,city,state,county_fips,county_name,latitude,longitude\n02999,Testville,RI,44009,Washington,41.5,-71.5\n' \
  >"$ROOT/usr/share/corvellan/data/zip_places.csv"
"$BIN/corvdb" sample --out "$WORK/usps2" --records 20 2>/dev/null || fail "corvdb sample on the one-place list"
[ "$(sed 1d "$WORK/usps2/zip4.txt" | cut -c2-6 | sort -u)" = 02999 ] || fail "corvdb sample did not use the installed inputs"

step "a C program against corvdb.h, libCorvdb and corvdb.pc"
cat >"$WORK/lookup.c" <<'C'
#include <corvdb.h>
#include <stdio.h>
#include <string.h>
int main(int argc, char **argv) {
  char record[CORVDB_ADDRESS_RECORD_SIZE];
  memset(record, ' ', sizeof record);
  memcpy(record + 233, argv[1], 5);
  memcpy(record + 238, argv[2], 4);
  int32_t n = ZipcodeToAddress(record, 1);
  printf("%d\n", (int)n);
  return argc == 3 && n > 0 ? 0 : 1;
}
C
# corvdb.pc names the installed directories; the sysroot puts them under ROOT.
export PKG_CONFIG_PATH="$ROOT/usr/lib/$MULTIARCH/pkgconfig" PKG_CONFIG_SYSROOT_DIR="$ROOT"
pkg-config --cflags --libs corvdb
# shellcheck disable=SC2046
cc -o "$WORK/lookup" "$WORK/lookup.c" $(pkg-config --cflags --libs corvdb) || fail "cannot build against corvdb.pc"
mkdir -p "$XDG_CONFIG_HOME/corvellan"
printf '[Directories]\nData=%s/\n' "$WORK/db" >"$XDG_CONFIG_HOME/corvellan/Corvel.ini"
LD_LIBRARY_PATH="$ROOT/usr/lib/$MULTIARCH" "$WORK/lookup" "$ZIP" "$PLUS4" || fail "the C program found no record"

step "desktop-file-validate"
desktop-file-validate "$ROOT/usr/share/applications/org.corvellan.Corvellan.desktop"
step "appstreamcli validate"
appstreamcli validate --no-net --explain "$ROOT/usr/share/metainfo/org.corvellan.Corvellan.metainfo.xml"

step "dpkg -i, then apt-get remove: nothing may stay installed"
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: needs root"
elif dpkg-query -W -f='${db:Status-Abbrev}\n' corvellan corvellan-dev python3-corvdb 2>/dev/null | grep -q '^[a-z][^n]'; then
  echo "skipped: a corvellan package is already known to dpkg on this machine"
else
  dpkg -i "$DEB" "$DEV" "$PY" >"$WORK/dpkg.log" 2>&1 || { cat "$WORK/dpkg.log"; dpkg -r python3-corvdb corvellan-dev corvellan >/dev/null 2>&1 || true; fail "dpkg -i"; }
  (cd / && env -u PYTHONPATH /usr/bin/python3 -c "import corvdb") || { dpkg -r python3-corvdb corvellan-dev corvellan >/dev/null 2>&1 || true; fail "import corvdb after dpkg -i"; }
  # The installed engine is in the loader cache (the ldconfig trigger ran).
  ldconfig -p | grep -q 'libCorvdb.so.1 ' || { dpkg -r python3-corvdb corvellan-dev corvellan >/dev/null 2>&1 || true; fail "libCorvdb.so.1 is not in the loader cache after install"; }
  DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq python3-corvdb corvellan-dev corvellan >"$WORK/remove.log" 2>&1 ||
    { cat "$WORK/remove.log"; fail "apt-get remove"; }
  LEFT=$(dpkg-query -W -f='${Package} ${db:Status-Abbrev}\n' corvellan corvellan-dev python3-corvdb 2>/dev/null | grep -v ' un *$' || true)
  [ -z "$LEFT" ] || fail "after apt-get remove dpkg still lists: $LEFT"
  [ ! -e /usr/share/corvellan ] || fail "/usr/share/corvellan is left after apt-get remove"
  [ ! -e /usr/lib/python3/dist-packages/corvdb ] || fail "/usr/lib/python3/dist-packages/corvdb is left after apt-get remove"
  echo "installed and removed; dpkg keeps no state of either package"
fi

step "lintian (errors and warnings fail the test)"
lintian --tag-display-limit 0 --display-info "$DEB" "$DEV" "$PY" 2>&1 | tee "$WORK/lintian.txt" || true
echo "lintian: $(grep -c '^E:' "$WORK/lintian.txt" || true) errors, $(grep -c '^W:' "$WORK/lintian.txt" || true) warnings," \
  "$(grep -c '^I:' "$WORK/lintian.txt" || true) notes"
! grep -q '^[EW]:' "$WORK/lintian.txt" || fail "lintian reports errors or warnings (above)"
echo "==> package test passed"
