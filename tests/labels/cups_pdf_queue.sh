# A cups-pdf queue for the print tests; sourced by their scripts.
#
#   cups_pdf_queue QUEUE OUT   starts cupsd when no scheduler answers (it is
#                              stopped again when the script exits), adds
#                              QUEUE printing to PDF files in the empty folder
#                              OUT (through its own /etc/cups/cups-pdf-QUEUE.conf)
#                              and removes both on exit
#   wait_for_pdf QUEUE OUT     prints the path of the PDF once the job has left
#                              the queue; fails with the queue's state after 30 s
#
# Exits 77 (skipped) where CUPS cannot be administered (not root).

cups_pdf_queue() {
  CUPS_QUEUE=$1
  local out=$2
  [ "$(id -u)" -eq 0 ] || { echo "SKIPPED: adding a CUPS queue needs root"; exit 77; }
  command -v cupsd >/dev/null || PATH=$PATH:/usr/sbin
  local tool
  for tool in cupsd lpadmin lpstat lpinfo pdfinfo pdftotext pdftoppm; do
    command -v "$tool" >/dev/null || { echo "missing $tool (run scripts/install-deps.sh)"; exit 1; }
  done
  [ -x /usr/lib/cups/backend/cups-pdf ] || { echo "missing the cups-pdf backend (printer-driver-cups-pdf)"; exit 1; }

  CUPSD_STARTED=""
  trap cups_pdf_queue_cleanup EXIT
  if ! lpstat -r 2>/dev/null | grep -q 'scheduler is running'; then
    echo "==> starting cupsd"
    mkdir -p /run/cups /var/spool/cups /var/cache/cups /var/log/cups
    cupsd -f &
    CUPSD_STARTED=$!
    for _ in $(seq 1 50); do
      lpstat -r 2>/dev/null | grep -q 'scheduler is running' && break
      sleep 0.2
    done
    lpstat -r 2>/dev/null | grep -q 'scheduler is running' || { echo "cupsd did not start"; exit 1; }
  fi

  rm -rf "$out"
  mkdir -p "$out"
  chmod 0777 "$out"
  # cups-pdf reads cups-pdf-<queue>.conf for a queue whose URI is cups-pdf:/<queue>.
  printf 'Out %s\nAnonDirName %s\nLabel 1\n' "$out" "$out" > "/etc/cups/cups-pdf-$CUPS_QUEUE.conf"
  local ppd
  ppd=$(lpinfo -m 2>/dev/null | awk '/CUPS-PDF_opt\.ppd/ {print $1; exit}')
  [ -n "$ppd" ] || ppd=$(lpinfo -m 2>/dev/null | awk '/CUPS-PDF/ {print $1; exit}')
  [ -n "$ppd" ] || { echo "no cups-pdf driver found (lpinfo -m)"; exit 1; }
  lpadmin -x "$CUPS_QUEUE" 2>/dev/null || true
  # (lpadmin warns that printer drivers are deprecated; only a failure is shown.)
  local said
  if ! said=$(lpadmin -p "$CUPS_QUEUE" -E -v "cups-pdf:/$CUPS_QUEUE" -m "$ppd" 2>&1); then
    echo "$said"
    exit 1
  fi
  # pdftocairo keeps the text of the fonts through the PostScript that
  # cups-pdf turns back into PDF, so that the text can be read back.
  lpadmin -p "$CUPS_QUEUE" -o media-default=na_letter_8.5x11in -o pdftops-renderer-default=pdftocairo
}

cups_pdf_queue_cleanup() {
  lpadmin -x "$CUPS_QUEUE" 2>/dev/null || true
  rm -f "/etc/cups/cups-pdf-$CUPS_QUEUE.conf"
  if [ -n "$CUPSD_STARTED" ]; then
    kill "$CUPSD_STARTED" 2>/dev/null || true
    wait "$CUPSD_STARTED" 2>/dev/null || true
  fi
}

wait_for_pdf() {
  local queue=$1 out=$2 pdf=""
  for _ in $(seq 1 150); do
    pdf=$(find "$out" -name '*.pdf' -size +0 2>/dev/null | head -n 1)
    # The file is complete once the job has left the queue.
    if [ -n "$pdf" ] && [ -z "$(lpstat -o "$queue" 2>/dev/null)" ]; then
      echo "$pdf"
      return 0
    fi
    sleep 0.2
  done
  {
    echo "no PDF appeared in $out; jobs:"
    lpstat -W all -o "$queue" || true
    tail -n 20 /var/log/cups/error_log 2>/dev/null || true
  } >&2
  return 1
}
