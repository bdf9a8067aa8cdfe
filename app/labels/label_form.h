// The mailing-label tab's own state and wiring: the current template's
// printer and paper, the AddressEdited mark, and the events of the tab's
// controls and of the address boxes that recompose the label.
#pragma once

#include <QObject>
#include <QString>

#include "labels/label_options.h"
#include "labels/printer_layer.h"

class QPushButton;

namespace corvellan {

class ZipMain;

class LabelForm : public QObject {
  Q_OBJECT

 public:
  explicit LabelForm(ZipMain& window);

  // The label form of the main window (created with it).
  static LabelForm& of(ZipMain& window);

  // Set once the user has edited an address box (other than State); from
  // then on leaving such a box recomposes the label.
  bool AddressEdited = false;
  // The current template's printer: device name, port and paper.
  QString LabelPrinter;
  QString LabelPort;
  PaperSettings Paper;

  // The kind of barcode, the digits under an Intelligent Mail barcode, the
  // label product ("" one label per page) of the template, and the label of
  // the sheet printing starts at.
  BarcodeKind Barcode = BarcodeKind::Postnet;
  bool ImbDigits = false;
  QString Product;
  int StartLabel = 1;

  void MaxChars_Change();
  void UseBar_Click();
  // Opens the Barcode Kind and Sheet window; OK takes its values (the
  // mailer settings and the next serial go to the settings file at once).
  void Options_Click();
  // Sets the kind of barcode: Use Barcode is available for an Intelligent
  // Mail barcode even without a POSTNET font, and the preview shows the
  // kind's own form. Recomposes the label when the kind changed.
  void SetBarcodeKind(BarcodeKind kind);
  // Shows the barcode preview of the current kind.
  void UpdateBarcodePreview();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  ZipMain& window_;
  QList<QObject*> addressBoxes_;
  QList<QObject*> selectOnFocus_;
  QPushButton* optionsButton_ = nullptr;
  QWidget* imbPreview_ = nullptr;
};

// Creates the label form of the main window and connects the tab's controls.
void InstallLabelForm(ZipMain& window);

// Reads the barcode settings at start-up into the main window: its barcode
// font, size and frame characters, and the barcode text box's font. When the
// barcode is off, Use Barcode is cleared and disabled, and its tool tip says
// why.
void ApplyBarcodeSettings(ZipMain& window);

}  // namespace corvellan
