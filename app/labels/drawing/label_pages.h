// Drawing mailing labels on pages: one label per page, or the labels of a
// sheet (a label product) filled from a starting label. Works on any paged
// device (a QPrinter, a QPdfWriter, a print preview) and needs only QtGui, so
// the program and the command-line label printer draw the same pages.
//
// A label is laid out in twips (1440 to the inch) from the paper's top-left
// corner, or from its cell's corner on a sheet: the barcode (when wanted) at
// the margins, the address part always kBarcodeBandTwips lower, starting
// with one empty line of the label font, then the attention lines and the
// address lines. A POSTNET barcode is text in the barcode font; an
// Intelligent Mail barcode is drawn as bars (see imb.h), its tracking code
// made of the mailer's settings and a serial number that goes up by one per
// label that has one, with the digits under the bars when asked for.
#pragma once

#include <QFont>
#include <QList>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

#include "labels/drawing/imb.h"
#include "labels/drawing/label_products.h"

class QPagedPaintDevice;

namespace corvellan {

// The height of the barcode band: the address part starts this far below
// the top margin, with or without a barcode.
inline constexpr int kBarcodeBandTwips = 430;
inline constexpr double kLabelTwipsPerInch = 1440;

// One printed line of a label page.
struct LabelLine {
  long xTwips = 0;
  double yTwips = 0;  // top of the line
  bool barcode = false;
  QString text;
};

// What one label shows.
struct LabelContent {
  long leftTwips = 0;
  long topTwips = 0;
  bool useBar = false;
  QString barcode;    // POSTNET text, or the routing code of an Intelligent Mail barcode
  QString attention;  // attention lines
  QString address;    // the address block
};

// The lines of a label page, given the line heights of the barcode font and
// of the label font in twips.
QList<LabelLine> LayoutLabel(const LabelContent& content, double barcodeLineTwips, double labelLineTwips);

// The fonts of a run: the barcode font of a POSTNET barcode, the label font,
// and the font of the digits under an Intelligent Mail barcode.
struct LabelFonts {
  QFont barcode, label, digits;
};

// How a run lays its labels out.
struct LabelRun {
  double dpi = 0;                       // the device's resolution
  std::optional<LabelProduct> product;  // none: one label per page
  int startLabel = 1;                   // 1-based label of the first sheet
  LabelFonts fonts;
  bool imb = false;  // barcodes are Intelligent Mail routing codes, drawn as bars
  bool imbDigits = false;
  ImbMailer mailer;
  std::int64_t firstSerial = 0;  // of the first label with a barcode
};

struct LabelRunResult {
  bool begun = false;      // false: the device could not be painted on
  bool cancelled = false;  // the progress callback said stop
  bool complete = false;   // every label was drawn
  int pages = 0;
  qsizetype labels = 0;          // labels drawn
  std::int64_t serialsUsed = 0;  // Intelligent Mail serial numbers drawn
  qsizetype overflowing = 0;     // labels whose text runs past their bottom edge
};

// Draws `labels` on `device`, one page after the other. `progress` is told
// the number of labels drawn after each one and stops the run when it
// returns false. The painter is ended before returning, whatever happened.
LabelRunResult DrawLabelPages(QPagedPaintDevice& device, const QList<LabelContent>& labels, const LabelRun& run,
                              const std::function<bool(qsizetype)>& progress = {});

// The number of pages `count` labels take.
int LabelPageCount(qsizetype count, const std::optional<LabelProduct>& product, int startLabel);

}  // namespace corvellan
