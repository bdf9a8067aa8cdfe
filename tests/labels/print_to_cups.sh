#!/usr/bin/env bash
# Prints labels through the program on a real CUPS queue and reads the PDF back.
#
#   print_to_cups.sh LABELS_TESTS CHECK_SCRIPT WORK_DIR
#
# Starts cupsd when no scheduler answers (and stops it again afterwards),
# adds the queue "corvellan-labels-test" that prints to PDF files through
# cups-pdf, points that queue's own cups-pdf settings
# (/etc/cups/cups-pdf-<queue>.conf) at WORK_DIR/out, runs the LabelPrintTest
# of LABELS_TESTS on it and hands the PDF to CHECK_SCRIPT; before that it
# runs the LabelSetupDialogTest on the queue (pictures of the dialog in
# WORK_DIR/dialog), and then the sheet tests (LabelSheetPrintTest,
# LabelSelectionPrintTest, LabelClerkPrintTest twice on one settings file).
# Safe to run again: the queue and its settings are
# replaced, the output folder is emptied.
# Exits 77 (skipped) where CUPS cannot be administered (not root).
set -euo pipefail

TESTS=$1
CHECK=$2
WORK=$(realpath -m "$3")  # cups-pdf needs an absolute folder
QUEUE=corvellan-labels-test
OUT=$WORK/out

# shellcheck source=cups_pdf_queue.sh
source "$(dirname "$0")/cups_pdf_queue.sh"
cups_pdf_queue "$QUEUE" "$OUT"

echo "==> printing two labels on $QUEUE"
CORVELLAN_PRINT_QUEUE=$QUEUE "$TESTS" LabelPrintTest

pdf=$(wait_for_pdf "$QUEUE" "$OUT")
cp "$pdf" "$WORK/labels.pdf"

# The printer set-up dialog must open on a template's paper, not the queue's
# default: give the queue another default than any template of the test.
lpadmin -p "$QUEUE" -o media-default=iso_a4_210x297mm
echo "==> printer set-up dialog on $QUEUE (default A4)"
mkdir -p "$WORK/dialog"
CORVELLAN_PRINT_QUEUE=$QUEUE CORVELLAN_SCREENSHOT_DIR=$WORK/dialog "$TESTS" LabelSetupDialogTest

echo "==> checking $WORK/labels.pdf"
python3 "$CHECK" "$WORK/labels.pdf"

# Three labels with Intelligent Mail barcodes on an Avery 5160 sheet from
# label 29: two pages. Needs the label-product database (glabels-data).
if [ ! -d /usr/share/libglabels-3.0/templates ] && [ -z "${CORVELLAN_LABEL_PRODUCTS:-}" ]; then
  echo "SKIPPED: sheet labels (glabels-data is not installed)"
  exit 0
fi
lpadmin -p "$QUEUE" -o media-default=na_letter_8.5x11in
# print_and_check TEST_CLASS NAME: runs the test class, which prints and
# writes its expectations to NAME.json, and checks the PDF as NAME.pdf.
print_and_check() {
  rm -rf "$OUT"
  mkdir -p "$OUT"
  chmod 0777 "$OUT"
  echo "==> $1 on $QUEUE"
  CORVELLAN_PRINT_QUEUE=$QUEUE CORVELLAN_EXPECT_FILE=$WORK/$2.json "$TESTS" "$1"
  local pdf
  pdf=$(wait_for_pdf "$QUEUE" "$OUT")
  cp "$pdf" "$WORK/$2.pdf"
  echo "==> checking $WORK/$2.pdf"
  python3 "$CHECK" --sheet "$WORK/$2.pdf" "$WORK/$2.json"
}
# Three labels of the preview from label 29: two pages.
print_and_check LabelSheetPrintTest sheet
# Five selected lines from label 27, each with its own barcode: two pages.
print_and_check LabelSelectionPrintTest selection
# What a clerk does: 35 of the 100 lines of ZIP 40000 on Avery 5160 (30 + 5
# labels), chosen by keyboard. Two runs of the program in turn on one
# settings file: the serials of the second, read back from its bars, must
# all differ from those of the first.
rm -rf "$WORK/shared"
export CORVELLAN_SHARED_SETTINGS=$WORK/shared/Corvel.ini
print_and_check LabelClerkPrintTest clerk1
print_and_check LabelClerkPrintTest clerk2
unset CORVELLAN_SHARED_SETTINGS
echo "==> serial numbers of the two runs"
python3 "$CHECK" --serials-differ "$WORK/clerk1.json" "$WORK/clerk2.json"
