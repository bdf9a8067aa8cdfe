#include "labels/label_composition.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <algorithm>

#include "core/app_globals.h"
#include "core/query_prep.h"
#include "core/record_display.h"
#include "core/settings.h"
#include "core/zip_main.h"
#include "labels/drawing/imb.h"
#include "labels/label_form.h"
#include "labels/postnet.h"
#include "ui_zip_main.h"

namespace corvellan {

namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr char kBarcodeToolTip[] = "POSTNET Barcode";

bool AllAsciiDigits(QStringView text) {
  return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

}  // namespace

int MaxCharsValue(const QString& text) {
  // A typed limit beyond the 16-bit range would have overflowed; it is held
  // at the end of the range instead (every line then fits).
  return static_cast<int>(std::clamp<long>(IniNumber(text), -32768, 32767));
}

QString ComposeAddressBlock(const LabelAddress& a) {
  const int limit = a.maxChars;
  QString block;
  const auto append = [&block](const QString& line) { block += line + QLatin1String(kLineEnd); };

  if (!a.recipient.isEmpty()) append(a.recipient);

  const QString unit = TrimBlanks(a.secondary);
  const QString primary = TrimBlanks(a.primary);
  const QString delivery = TrimBlanks(primary + QLatin1Char(' ') + unit);
  if (delivery.size() > limit && !unit.isEmpty()) {
    append(unit);
    append(primary);
  } else if (!delivery.isEmpty()) {
    append(delivery);
  }

  const QString urbanization = ProperCase(a.urbanization);
  if (!urbanization.isEmpty()) append(urbanization);

  const QString zipPart = LabelZipText(a);
  const QString cityPart = a.city + QLatin1Char(' ') + a.state;
  const QString oneLine = cityPart + QLatin1Char(' ') + zipPart;
  if (oneLine.size() <= limit) {
    append(oneLine);
  } else {
    append(cityPart);
    append(zipPart);
  }
  return block;
}

QString LabelZipText(const LabelAddress& a) {
  return TrimBlanks(a.plus4).isEmpty() ? a.zip : a.zip + QLatin1Char('-') + a.plus4;
}

QString LabelBarcodeDigits(const LabelAddress& a) {
  // Read from the printed text itself, so a ZIP+4 typed whole into the Zip
  // box counts as one, and blanks around it (invisible on paper) do not.
  const QString printed = TrimBlanks(LabelZipText(a));
  const QStringView zip = QStringView(printed).left(5);
  if (zip.size() != 5 || !AllAsciiDigits(zip)) return {};
  if (printed.size() == 5) return printed;
  const QStringView addon = QStringView(printed).mid(6);
  if (printed.size() != 10 || printed[5] != QLatin1Char('-') || !AllAsciiDigits(addon)) return {};
  return zip.toString() + addon.toString();
}

void SetLabelData(ZipMain& form) {
  Ui::ZipMain& ui = form.form();
  ui.txtBarCode->setToolTip(QLatin1String(kBarcodeToolTip));
  if (IsNonDeliveryRecord(App().Address)) {
    ui.txtBarCode->setPlainText(QString());
    ui.txtAddressBlock->setPlainText(QLatin1String(kNonDeliveryBlock));
    return;
  }
  const LabelAddress address{ui.Recipient->text(), ui.Secondary->text(), ui.Primary->text(), ui.Urbanization->text(),
                             ui.City->text(),      ui.State->text(),     ui.Zip->text(),     ui.Plus4->text(),
                             MaxCharsValue(ui.MaxChars->text())};
  QString barcode;
  if (ui.UseBar->isChecked()) {
    const QString digits = LabelBarcodeDigits(address);
    if (!digits.isEmpty()) {
      // An Intelligent Mail barcode's box holds its routing code; the
      // tracking code is added when it prints (its serial changes per label).
      barcode = LabelForm::of(form).Barcode == BarcodeKind::Imb
                    ? ImbRoutingCode(digits, address.primary)
                    : PostnetText(form.BarCodeStartChar, digits, form.BarCodeStopChar);
    } else {
      ui.txtBarCode->setToolTip(QStringLiteral("No barcode: the label's ZIP code \"%1\" is not five digits "
                                               "or five digits, a hyphen and four")
                                    .arg(TrimBlanks(LabelZipText(address))));
    }
  }
  ui.txtBarCode->setPlainText(barcode);
  // The text boxes keep lines in their own way (a line feed between lines);
  // the composed CR LF ends become line feeds, so the box shows the same
  // lines and the printed lines split the same way.
  QString block = ComposeAddressBlock(address);
  block.replace(QLatin1String(kLineEnd), QLatin1String("\n"));
  ui.txtAddressBlock->setPlainText(block);
}

}  // namespace corvellan
