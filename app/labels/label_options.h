// Settings of the mailing-label tab beyond the template's margins and font:
// the kind of barcode (POSTNET or Intelligent Mail), the label sheet, and
// the Intelligent Mail mailer settings with the serial numbers.
//
// Template keys (written only once a template uses them, so a template that
// does not keeps its section as before):
//   "Barcode"        None, POSTNET or IMb (missing: POSTNET, Use Barcode as it is)
//   "Barcode Digits" True: the digits of an Intelligent Mail barcode print under it
//   "Label Product"  a label product ("Avery 5160"); missing: one label per page
//
// Section "Intelligent Mail Barcode" of the settings file:
//   "Barcode ID", "Service Type", "Mailer ID"
//   "Next Serial <Mailer ID>"  the serial number of the next label printed
//                              with that Mailer ID
#pragma once

#include <QDialog>
#include <QString>

#include <cstdint>
#include <optional>

#include "labels/drawing/imb.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace corvellan {

enum class BarcodeKind { Postnet, Imb };

// The template values of the kind of barcode: "POSTNET", "IMb" (and
// "None" when Use Barcode is off).
QString BarcodeKindText(BarcodeKind kind, bool useBar);
// Reads one; nothing for text that is none of the three (any letter case).
// `useBar` is false for "None".
std::optional<BarcodeKind> ParseBarcodeKind(const QString& text, bool* useBar);

// The mailer settings of the settings file `ini` (as stored, not checked).
ImbMailer ReadImbMailer(const QString& ini);
bool WriteImbMailer(const QString& ini, const ImbMailer& mailer);
// The serial number of the next label of that Mailer ID (0 when none was
// printed yet).
std::int64_t NextImbSerial(const QString& ini, const QString& mailerId);
bool SetNextImbSerial(const QString& ini, const QString& mailerId, std::int64_t serial);

// Takes `count` serial numbers of the Mailer ID for labels about to print:
// the stored next serial moves on by `count` (the file replaced atomically)
// before anything prints, so that no two labels get the same number even
// when printing fails halfway. The first serial taken; nothing, with the
// reason, when the settings are not valid or cannot be written.
std::optional<std::int64_t> ReserveImbSerials(const QString& ini, std::int64_t count, ImbMailer* mailer,
                                              QString* error);

// What the settings window says of a label product whose labels are
// narrower than an Intelligent Mail barcode at the closest pitch allowed
// (24 bars per inch): the closer pitch its bars print at to stay on the
// label (see PlaceImbOnLabel). Empty when the barcode fits.
QString NarrowLabelNotice(const QString& product, double labelWidthInches);

// The serial numbers the next `count` labels would take, without taking
// them (a print preview): the first one; nothing, with the reason, where
// ReserveImbSerials would refuse.
std::optional<std::int64_t> PeekImbSerials(const QString& ini, std::int64_t count, ImbMailer* mailer,
                                           QString* error);

// The window that sets the barcode kind and digits, the label sheet and the
// starting label, and the mailer settings; OK checks the mailer settings
// when the barcode is an Intelligent Mail barcode.
class LabelOptionsDialog : public QDialog {
  Q_OBJECT

 public:
  struct Values {
    BarcodeKind kind = BarcodeKind::Postnet;
    bool digits = false;
    QString product;  // "" one label per page
    int startLabel = 1;
    ImbMailer mailer;
    std::int64_t nextSerial = 0;
  };

  LabelOptionsDialog(const Values& values, QWidget* parent);
  Values values() const;
  // Why the values cannot be taken; empty when they can.
  QString problem() const;

  void accept() override;

 private:
  void updateState();

  QComboBox* kind_;
  QCheckBox* digits_;
  QComboBox* product_;
  QSpinBox* start_;
  QLineEdit* barcodeId_;
  QLineEdit* serviceType_;
  QLineEdit* mailerId_;
  QLineEdit* serial_;
  QLabel* productInfo_;
};

}  // namespace corvellan
