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

fail() { echo "FAIL: $*"; exit 1; }

rm -rf "$WORK"
# shellcheck source=cups_pdf_queue.sh
source "$(dirname "$0")/cups_pdf_queue.sh"
cups_pdf_queue "$QUEUE" "$OUT"

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

pdf=$(wait_for_pdf "$QUEUE" "$OUT")
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

# A label-printer roll (28 x 89 mm, fed narrow side first): the queue gets
# pages of the roll's own size with the address turned along the long side.
echo "==> two Dymo 30252 labels on $QUEUE"
rm -rf "$OUT"
mkdir -p "$OUT"
chmod 0777 "$OUT"
"$CORVDB" labels --in "$WORK/list.csv" --printer "$QUEUE" --product "Dymo 30252" 2>"$WORK/roll.log" ||
  { cat "$WORK/roll.log"; fail "corvdb labels --product 'Dymo 30252'"; }
pdf=$(wait_for_pdf "$QUEUE" "$OUT")
cp "$pdf" "$WORK/roll.pdf"
pdfinfo "$WORK/roll.pdf" | grep -E '^(Pages|Page size):'
[ "$(pdfinfo "$WORK/roll.pdf" | awk '/^Pages:/ {print $2}')" -eq 2 ] || fail "roll: not 2 pages"
pdfinfo "$WORK/roll.pdf" | grep -Eq '^Page size: +79(\.[0-9]+)? x 252(\.[0-9]+)? pts' || fail "roll: not 28 x 89 mm pages"
# The text runs up the narrow page: pdftotext reads it as lines all the same.
pdftotext -layout -f 1 -l 1 "$WORK/roll.pdf" - | grep -qx " *110 MAIN ST *" || fail "roll: page 1 lacks '110 MAIN ST'"
echo "labels on $QUEUE: all checks passed"

if [ -n "$TESTS" ]; then
  echo "==> File, Print Preview on $QUEUE"
  CORVELLAN_PRINT_QUEUE=$QUEUE "$TESTS" LabelPreviewTest
fi
