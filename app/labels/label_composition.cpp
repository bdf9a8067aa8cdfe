#include "labels/label_composition.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>

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

constexpr char kLineEnd[] = "\r\n";  // as ComposeAddressBlock ends its lines
constexpr char kBarcodeToolTip[] = "POSTNET Barcode";

}  // namespace

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
