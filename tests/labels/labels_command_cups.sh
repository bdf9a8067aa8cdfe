#!/usr/bin/env bash
# corvdb labels --printer on a real CUPS queue: the labels reach the queue as
# one job and come out as a PDF that is read back.
#
#   labels_command_cups.sh CORVDB WORK_DIR [LABELS_TESTS]
#
# Starts cupsd when no scheduler answers (and stops it again afterwards),
# adds the queue "corvellan-cli-labels-test" that prints to PDF files through
# cups-pdf (its settings in /etc/cups/cups-pdf-<queue>.conf point at
# WORK_DIR/out), prints two labels of standardized rows on it and checks the
# PDF's pages and lines; a queue that does not exist is exit status 2. With
# LABELS_TESTS, its LabelPreviewTest then previews (and prints) on the queue.
# Exits 77 (skipped) where CUPS cannot be administered (not root).
set -euo pipefail

CORVDB=$1
WORK=$(realpath -m "$2")
TESTS=${3:-}  # cups-pdf needs an absolute folder
QUEUE=corvellan-cli-labels-test
OUT=$WORK/out

skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }

[ "$(id -u)" -eq 0 ] || skip "adding a CUPS queue needs root"
command -v cupsd >/dev/null || PATH=$PATH:/usr/sbin
for tool in cupsd lpadmin lpstat pdfinfo pdftotext; do
  command -v "$tool" >/dev/null || { echo "missing $tool (run scripts/install-deps.sh)"; exit 1; }
done
[ -x /usr/lib/cups/backend/cups-pdf ] || { echo "missing the cups-pdf backend (printer-driver-cups-pdf)"; exit 1; }

started=""
cleanup() {
  lpadmin -x "$QUEUE" 2>/dev/null || true
  rm -f "/etc/cups/cups-pdf-$QUEUE.conf"
  if [ -n "$started" ]; then
    kill "$started" 2>/dev/null || true
    wait "$started" 2>/dev/null || true
  fi
}
trap cleanup EXIT

if ! lpstat -r 2>/dev/null | grep -q 'scheduler is running'; then
  echo "==> starting cupsd"
  mkdir -p /run/cups /var/spool/cups /var/cache/cups /var/log/cups
  cupsd -f &
  started=$!
  for _ in $(seq 1 50); do
    lpstat -r 2>/dev/null | grep -q 'scheduler is running' && break
    sleep 0.2
  done
  lpstat -r 2>/dev/null | grep -q 'scheduler is running' || fail "cupsd did not start"
fi

rm -rf "$WORK"
mkdir -p "$OUT"
chmod 0777 "$OUT"
cat > "/etc/cups/cups-pdf-$QUEUE.conf" <<CONF
Out $OUT
AnonDirName $OUT
Label 1
CONF
PPD=$(lpinfo -m 2>/dev/null | awk '/CUPS-PDF_opt\.ppd/ {print $1; exit}')
[ -n "$PPD" ] || PPD=$(lpinfo -m 2>/dev/null | awk '/CUPS-PDF/ {print $1; exit}')
[ -n "$PPD" ] || fail "no cups-pdf driver found (lpinfo -m)"
lpadmin -x "$QUEUE" 2>/dev/null || true
if ! out=$(lpadmin -p "$QUEUE" -E -v "cups-pdf:/$QUEUE" -m "$PPD" 2>&1); then
  echo "$out"
  exit 1
fi
# pdftocairo keeps the text through the PostScript that cups-pdf turns back
# into PDF, so that it can be read back.
lpadmin -p "$QUEUE" -o media-default=na_letter_8.5x11in -o pdftops-renderer-default=pdftocairo

cat > "$WORK/list.csv" <<'CSV'
name,std_delivery_line,std_city,std_state,std_zip4
Ann Archer,110 MAIN ST,SPRINGFIELD,IL,12345-1001
Bob Baker,200 MAIN ST APT 3,SPRINGFIELD,IL,12345-1003
CSV

echo "==> a queue that does not exist"
status=0
"$CORVDB" labels --in "$WORK/list.csv" --printer "$QUEUE-missing" 2>"$WORK/missing.log" || status=$?
cat "$WORK/missing.log"
[ "$status" -eq 2 ] || fail "exit status $status for a missing queue, expected 2"
grep -q "no printer queue" "$WORK/missing.log" || fail "no message about the missing queue"

echo "==> two labels on $QUEUE"
"$CORVDB" labels --in "$WORK/list.csv" --printer "$QUEUE" 2>"$WORK/print.log" || { cat "$WORK/print.log"; fail "corvdb labels --printer"; }
cat "$WORK/print.log"
grep -q "sent to $QUEUE" "$WORK/print.log" || fail "no job was sent"

pdf=""
for _ in $(seq 1 150); do
  pdf=$(find "$OUT" -name '*.pdf' -size +0 2>/dev/null | head -n 1)
  # The file is complete once the job has left the queue.
  if [ -n "$pdf" ] && [ -z "$(lpstat -o "$QUEUE" 2>/dev/null)" ]; then break; fi
  pdf=""
  sleep 0.2
done
if [ -z "$pdf" ]; then
  echo "no PDF appeared in $OUT; jobs:"; lpstat -W all -o "$QUEUE" || true
  tail -n 20 /var/log/cups/error_log 2>/dev/null || true
  exit 1
fi
cp "$pdf" "$WORK/labels.pdf"
echo "==> checking $WORK/labels.pdf"
pdfinfo "$WORK/labels.pdf" | grep -E '^(Pages|Page size):'
pages=$(pdfinfo "$WORK/labels.pdf" | awk '/^Pages:/ {print $2}')
[ "$pages" -eq 2 ] || fail "$pages pages, expected 2 (one label per page)"
# The PostScript round trip of cups-pdf loses the text of ligature glyphs
# ("fi" in Springfield): those letters are left out of the comparison.
for page in 1 2; do
  pdftotext -layout -f "$page" -l "$page" "$WORK/labels.pdf" - | sed 's/^ *//; s/ *$//; /^$/d' | tr -d '\000-\010' \
    >"$WORK/page$page.txt"
done
expect() { grep -qxF "$2" "$WORK/page$1.txt" || { cat "$WORK/page$1.txt"; fail "page $1 lacks the line '$2'"; }; }
expect 1 "Ann Archer"
expect 1 "110 MAIN ST"
expect 2 "Bob Baker"
expect 2 "200 MAIN ST APT 3"
grep -q "^SPRING.*IL 12345-1003$" "$WORK/page2.txt" || fail "page 2 lacks the city line"
echo "labels on $QUEUE: all checks passed"

if [ -n "$TESTS" ]; then
  echo "==> File, Print Preview on $QUEUE"
  CORVELLAN_PRINT_QUEUE=$QUEUE "$TESTS" LabelPreviewTest
fi
