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
#include "labels/postnet.h"
#include "ui_zip_main.h"

namespace corvellan {

namespace {

constexpr char kLineEnd[] = "\r\n";

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

  QString zipPart = a.zip;
  if (!TrimBlanks(a.plus4).isEmpty()) zipPart += QLatin1Char('-') + a.plus4;
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

void SetLabelData(ZipMain& form) {
  Ui::ZipMain& ui = form.form();
  const QString zipPlus4 = App().Address.Get(addr::kZipPlus4);
  if (IsNonDeliveryRecord(App().Address)) {
    ui.txtBarCode->setPlainText(QString());
    ui.txtAddressBlock->setPlainText(QLatin1String(kNonDeliveryBlock));
    return;
  }
  ui.txtBarCode->setPlainText(ui.UseBar->isChecked()
                                  ? PostnetText(form.BarCodeStartChar, zipPlus4, form.BarCodeStopChar)
                                  : QString());
  LabelAddress address{ui.Recipient->text(), ui.Secondary->text(), ui.Primary->text(), ui.Urbanization->text(),
                       ui.City->text(),      ui.State->text(),     ui.Zip->text(),     ui.Plus4->text(),
                       MaxCharsValue(ui.MaxChars->text())};
  // The text boxes keep lines in their own way (a line feed between lines);
  // the composed CR LF ends become line feeds, so the box shows the same
  // lines and the printed lines split the same way.
  QString block = ComposeAddressBlock(address);
  block.replace(QLatin1String(kLineEnd), QLatin1String("\n"));
  ui.txtAddressBlock->setPlainText(block);
}

}  // namespace corvellan
