// The mailing-label tab's own state and wiring: the current template's
// printer and paper, the AddressEdited mark, and the events of the tab's
// controls and of the address boxes that recompose the label.
#pragma once

#include <QObject>
#include <QString>

#include "labels/printer_layer.h"

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

  void MaxChars_Change();
  void UseBar_Click();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  ZipMain& window_;
  QList<QObject*> addressBoxes_;
  QList<QObject*> selectOnFocus_;
};

// Creates the label form of the main window and connects the tab's controls.
void InstallLabelForm(ZipMain& window);

// Reads the barcode settings at start-up into the main window: its barcode
// font, size and frame characters, and the barcode text box's font. When the
// barcode is off, Use Barcode is cleared and disabled, and its tool tip says
// why.
void ApplyBarcodeSettings(ZipMain& window);

}  // namespace corvellan
