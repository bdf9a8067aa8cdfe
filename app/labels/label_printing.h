// Printing labels, and choosing the label printer and the label font.
//
// A label page is laid out in twips (1440 to the inch) from the paper's
// top-left corner: the barcode (when wanted) at the margins, the address
// part always 430 twips lower, starting with one empty line of the label
// font, then the attention lines and the address lines.
#pragma once

#include <QFont>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

#include "labels/printer_layer.h"

class QWidget;

namespace corvellan {

class ZipMain;

void PrintButton_Click(ZipMain& form);
void PSetup_Click(ZipMain& form);
void FSetup_Click(ZipMain& form);

// The height of the barcode band: the address part starts this far below
// the top margin, with or without a barcode.
inline constexpr int kBarcodeBandTwips = 430;
// Error number of a label the printer could not take (the printer error of
// the print-error message).
inline constexpr int kPrinterError = 482;
// Error number of a quantity beyond the 16-bit range.
inline constexpr int kOverflowError = 6;
// Error number of a printer set-up that finds no printer at all.
inline constexpr int kNoPrinterError = 4104;

// A margin box in whole twips: its leading decimal number of inches
// ("1.5" -> 2160; "" or text -> 0).
long MarginTwips(const QString& inches);
// Most labels one Print makes (a 16-bit count).
inline constexpr int kMaxQuantity = 32767;
// The number of labels the quantity box asks for: its leading whole number,
// 0 (or none) meaning 1. Nothing when it is below 0 or above kMaxQuantity.
std::optional<int> LabelQuantity(const QString& text);
// The lines of a preview box as printed: the text is split at its line
// breaks, and each rest after a break loses its leading and trailing blanks;
// a last part that is empty is not printed.
QStringList PrintedLines(const QString& text);

// One printed line of a label page.
struct LabelLine {
  long xTwips = 0;
  double yTwips = 0;  // top of the line
  bool barcode = false;
  QString text;
};

// What one label page shows.
struct LabelContent {
  long leftTwips = 0;
  long topTwips = 0;
  bool useBar = false;
  QString barcode;    // txtBarCode
  QString attention;  // txtAttentionLine
  QString address;    // txtAddressBlock
};

// The lines of a label page, given the line heights of the barcode font and
// of the label font in twips.
QList<LabelLine> LayoutLabel(const LabelContent& content, double barcodeLineTwips, double labelLineTwips);

// Sets the page set-up of the printer dialog's Properties window (its paper
// size list, orientation and custom size boxes) to the template's paper.
// Sizes the queue lists are chosen from the list; others are entered as a
// custom size. False when the window lacks those controls or the queue takes
// no custom sizes.
bool PresetPageSetup(QWidget& pageSetup, const PaperSettings& paper);

// The printer and font dialogs, with a seam for tests: a handler replaces the
// dialog and gives its answer (nothing: cancelled).
class LabelDialogs {
 public:
  using PrinterHandler = std::function<std::optional<QString>(const QString& current)>;
  using FontHandler = std::function<std::optional<QFont>(const QFont& current)>;

  // The printer the user chose in the printer set-up dialog, which opens on
  // the template's printer and paper; the paper chosen becomes that printer's
  // settings (OK without a change keeps the template's).
  static std::optional<QString> choosePrinter(QWidget* parent, const QString& current, const PaperSettings& paper);
  // The label font chosen in the font dialog (scalable fonts, 8 to 14 points).
  static std::optional<QFont> chooseFont(QWidget* parent, const QFont& current);

  static void setPrinterHandler(PrinterHandler handler);
  static void setFontHandler(FontHandler handler);
};

}  // namespace corvellan
