// Printing labels and previewing them, and choosing the label printer and
// the label font. How a label page is laid out and drawn is told in
// labels/drawing/label_pages.h.
#pragma once

#include <QFont>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

#include "labels/drawing/label_pages.h"
#include "labels/drawing/label_text.h"
#include "labels/printer_layer.h"

class QPrintPreviewDialog;
class QWidget;

namespace corvellan {

class ZipMain;

void PrintButton_Click(ZipMain& form);
// File, Print Preview: the pages Print would print now, in a preview
// window, with the Intelligent Mail serial numbers the next Print takes
// (none is taken by the preview).
void PrintPreview_Click(ZipMain& form);
void PSetup_Click(ZipMain& form);
void FSetup_Click(ZipMain& form);

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

  // The print preview window, with a seam for tests: a handler is given the
  // window, filled and not yet shown, instead of it being opened.
  using PreviewHandler = std::function<void(QPrintPreviewDialog& dialog)>;
  static void setPreviewHandler(PreviewHandler handler);
};

}  // namespace corvellan
