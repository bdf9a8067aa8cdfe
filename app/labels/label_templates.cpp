#include "labels/label_templates.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <algorithm>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/query_prep.h"
#include "core/result_lines.h"
#include "core/settings.h"
#include "core/zip_main.h"
#include "labels/label_form.h"
#include "labels/printer_layer.h"
#include "ui_zip_main.h"

namespace corvellan {

namespace {

constexpr char kLabelSettings[] = "Label Settings";
constexpr char kDefaultTemplate[] = "default";
constexpr char kNoTemplateName[] = "Enter a name for the Label Template";
// The template list is counted in a 16-bit integer.
constexpr long kMaxTemplates = 32767;

QString LabelNoKey(long index) { return QStringLiteral("Label No") + SignedText(index); }

std::int16_t PaperValue(const QString& text) {
  return static_cast<std::int16_t>(std::clamp<long>(IniNumber(text), -32768, 32767));
}

// The font size as a stored decimal number; nothing for text that is not one.
std::optional<double> FontSizeValue(const QString& text) {
  bool ok = false;
  const double size = TrimBlanks(text).toDouble(&ok);
  if (!ok || !(size > 0) || size > 1638) return std::nullopt;
  return size;
}

}  // namespace

std::optional<bool> TemplateFlag(const QString& value) {
  const QString text = TrimBlanks(value);
  if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) return true;
  if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) return false;
  bool ok = false;
  const double number = text.toDouble(&ok);
  if (ok) return number != 0;
  return std::nullopt;
}

void LoadLabFiles(ZipMain& form) {
  Ui::ZipMain& ui = form.form();
  const QString& ini = App().IniFile;
  const QString section = QLatin1String(kLabelSettings);
  ui.LabList->clear();
  QString chosen = GetIni(ini, section, QStringLiteral("Default Label")).toLower();
  if (chosen.isEmpty()) chosen = QLatin1String(kDefaultTemplate);
  ui.LabList->setEditText(chosen);

  const long count = std::min(IniNumber(GetIni(ini, section, QStringLiteral("No of Labels"))), kMaxTemplates);
  for (long i = 0; i < count; ++i) {
    const QString name = GetIni(ini, section, LabelNoKey(i)).toLower();
    if (!name.isEmpty() && name != chosen) ui.LabList->addItem(name);
  }
  ui.LabList->addItem(chosen);
  ui.LabList->setCurrentIndex(ui.LabList->count() - 1);
  LabList_Click(form);
}

void LabList_Click(ZipMain& form) {
  Ui::ZipMain& ui = form.form();
  LabelForm& label = LabelForm::of(form);
  const QString& ini = App().IniFile;
  const QString name = ui.LabList->currentText().toLower();
  const auto value = [&](const char* key) { return GetIni(ini, name, QLatin1String(key)); };

  QString printer = value("Printer");
  if (printer.isEmpty()) printer = SystemPrinterName();
  label.LabelPrinter = printer;
  form.SetStatus(QStringLiteral("Print Labels to ") + printer);
  label.LabelPort = value("Printer Port");

  // A value that cannot be applied leaves its box as it was: an empty margin
  // or quantity, a line limit of 15 or less.
  const auto setBox = [&](QLineEdit* box, const char* key) {
    const QString text = value(key);
    if (!text.isEmpty()) box->setText(text);
  };
  setBox(ui.LeftMarg, "Left Margin");
  setBox(ui.TopMarg, "Top Margin");
  const QString maxChars = value("Max Chars");
  if (IniNumber(maxChars) > 15) ui.MaxChars->setText(maxChars);
  setBox(ui.Qty, "Quantity");

  label.Paper.size = PaperValue(value("Paper Size"));
  label.Paper.width = PaperValue(value("Paper Width"));
  label.Paper.length = PaperValue(value("Paper Length"));
  label.Paper.bin = PaperValue(value("Paper Bin"));
  label.Paper.orientation = PaperValue(value("Paper Orientation"));

  QFont font = ui.txtAddressBlock->font();
  const QString family = value("Font Name");
  if (!family.isEmpty()) font.setFamily(family);
  if (const auto size = FontSizeValue(value("Font Size"))) font.setPointSizeF(*size);
  if (const auto bold = TemplateFlag(value("Font Bold"))) font.setBold(*bold);
  if (const auto italic = TemplateFlag(value("Font Italic"))) font.setItalic(*italic);
  ui.txtAddressBlock->setFont(font);
  ui.txtAttentionLine->setFont(font);

  // Barcode kind, digits and label sheet: a template without them prints
  // POSTNET, one label per page, with Use Barcode as it is.
  bool useBar = true;
  const std::optional<BarcodeKind> kind = ParseBarcodeKind(value("Barcode"), &useBar);
  label.ImbDigits = TemplateFlag(value("Barcode Digits")).value_or(false);
  label.Product = TrimBlanks(value("Label Product"));
  label.StartLabel = 1;
  if (!useBar) ui.UseBar->setChecked(false);
  label.SetBarcodeKind(kind.value_or(BarcodeKind::Postnet));
  if (kind && ui.UseBar->isEnabled()) ui.UseBar->setChecked(true);

  WriteIni(QLatin1String(kLabelSettings), QStringLiteral("Default Label"),
           TrimBlanks(ui.LabList->currentText()).toLower(), ini);
}

bool SaveLabel(ZipMain& form) {
  Ui::ZipMain& ui = form.form();
  const LabelForm& label = LabelForm::of(form);
  const QString& ini = App().IniFile;
  const QString name = TrimBlanks(ui.LabList->currentText()).toLower();
  // A template without a name has no section to go to: refused before
  // anything is written, so [Label Settings] stays as it was.
  if (name.isEmpty()) {
    form.SetStatus(QLatin1String(kNoTemplateName));
    return false;
  }
  form.SetStatus(QStringLiteral("Saving Label ") + name);
  if (ui.LabList->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) ui.LabList->addItem(name);

  const QFont font = ui.txtAddressBlock->font();
  const auto flag = [](bool on) { return on ? QStringLiteral("True") : QStringLiteral("False"); };
  const QList<QPair<const char*, QString>> keys = {
      {"Left Margin", TrimBlanks(ui.LeftMarg->text())},
      {"Top Margin", TrimBlanks(ui.TopMarg->text())},
      {"Max Chars", TrimBlanks(ui.MaxChars->text())},
      {"Quantity", TrimBlanks(ui.Qty->text())},
      {"Printer", TrimBlanks(label.LabelPrinter)},
      {"Printer Port", TrimBlanks(label.LabelPort)},
      {"Paper Size", QString::number(label.Paper.size)},
      {"Paper Width", SignedText(label.Paper.width)},
      {"Paper Length", QString::number(label.Paper.length)},
      {"Paper Bin", QString::number(label.Paper.bin)},
      {"Paper Orientation", QString::number(label.Paper.orientation)},
      {"Font Name", TrimBlanks(font.family())},
      {"Font Size", QString::number(static_cast<float>(font.pointSizeF()), 'g', 7)},
      {"Font Bold", flag(font.bold())},
      {"Font Italic", flag(font.italic())},
  };
  // Every value is written even when one fails, as far as the file lets us.
  bool saved = true;
  for (const auto& [key, text] : keys) saved = WriteIni(name, QLatin1String(key), text, ini) && saved;
  // The barcode kind and the sheet only once the template uses them (or
  // used them before), so that other templates keep their keys as they were.
  const bool usesOptions = label.Barcode != BarcodeKind::Postnet || label.ImbDigits || !label.Product.isEmpty() ||
                           !GetIni(ini, name, QStringLiteral("Barcode")).isEmpty() ||
                           !GetIni(ini, name, QStringLiteral("Label Product")).isEmpty();
  if (usesOptions) {
    const QList<QPair<const char*, QString>> options = {
        {"Barcode", BarcodeKindText(label.Barcode, ui.UseBar->isChecked())},
        {"Barcode Digits", flag(label.ImbDigits)},
        {"Label Product", label.Product},
    };
    for (const auto& [key, text] : options) saved = WriteIni(name, QLatin1String(key), text, ini) && saved;
  }

  const QString section = QLatin1String(kLabelSettings);
  saved = WriteIni(section, QStringLiteral("Default Label"), name, ini) && saved;
  saved = WriteIni(section, QStringLiteral("No of Labels"), QString::number(ui.LabList->count()), ini) && saved;
  for (int i = 0; i < ui.LabList->count(); ++i) {
    saved = WriteIni(section, LabelNoKey(i), TrimBlanks(ui.LabList->itemText(i)).toLower(), ini) && saved;
  }
  form.SetStatus(saved ? name + QStringLiteral(" Label Saved") : QStringLiteral("Unable to Save Label Settings"));
  return saved;
}

void SaveButton_Click(ZipMain& form) {
  if (SaveLabel(form)) {
    MessageBox::information(form.dialogParent(), QStringLiteral("Label Settings Saved"));
  } else if (TrimBlanks(form.form().LabList->currentText()).isEmpty()) {
    MessageBox::critical(form.dialogParent(), QLatin1String(kNoTemplateName));
  } else {
    MessageBox::critical(form.dialogParent(), QStringLiteral("Unable to Save Label Settings"));
  }
}

}  // namespace corvellan
