#include "labels/label_printing.h"

#include <QCheckBox>
#include <QFontDialog>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

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

constexpr double kTwipsPerInch = 1440;
constexpr int kMinFontSize = 8;
constexpr int kMaxFontSize = 14;

LabelDialogs::PrinterHandler& PrinterHandlerSlot() {
  static LabelDialogs::PrinterHandler handler;
  return handler;
}

LabelDialogs::FontHandler& FontHandlerSlot() {
  static LabelDialogs::FontHandler handler;
  return handler;
}

// Leading decimal number of a text, as typed numbers are read ("1.5in" -> 1.5).
double LeadingDecimal(const QString& text) {
  static const QRegularExpression number(QStringLiteral(R"(^\s*[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?)"));
  const QRegularExpressionMatch match = number.match(text);
  return match.hasMatch() ? match.captured(0).toDouble() : 0.0;
}

// The paper values as a page layout shows them (the printer set-up dialog).
PaperSettings PaperForLayout(const QPageLayout& layout) {
  const QSizeF mm = layout.pageSize().size(QPageSize::Millimeter);
  PaperSettings paper = PaperForMedia(QString(), static_cast<int>(std::lround(mm.width() * 100)),
                                      static_cast<int>(std::lround(mm.height() * 100)));
  paper.orientation = layout.orientation() == QPageLayout::Landscape ? kOrientationLandscape : kOrientationPortrait;
  return paper;
}

void DrawLines(QPainter& painter, QPrinter& printer, const QList<LabelLine>& lines, const QFont& barcodeFont,
               const QFont& labelFont) {
  const double pixelsPerTwip = printer.resolution() / kTwipsPerInch;
  for (const LabelLine& line : lines) {
    if (line.text.isEmpty()) continue;
    const QFont& font = line.barcode ? barcodeFont : labelFont;
    painter.setFont(font);
    // A line's position is the top of its text; QPainter draws on the baseline.
    const double ascent = QFontMetricsF(font, &printer).ascent();
    painter.drawText(QPointF(line.xTwips * pixelsPerTwip, line.yTwips * pixelsPerTwip + ascent), line.text);
  }
}

// Prints the labels on the selected printer; 0, or the error number.
int PrintLabels(ZipMain& form) {
  Ui::ZipMain& ui = form.form();
  const std::optional<int> quantity = LabelQuantity(ui.Qty->text());
  if (!quantity) return kOverflowError;
  if (*quantity <= 0) return 0;
  const std::unique_ptr<PrinterDocument> document = PrinterDocument::Open(QStringLiteral("Corvellan labels"));
  if (!document) return kPrinterError;
  QPrinter& printer = document->printer();

  QFont barcodeFont(form.BarCodeFont);
  if (form.BarCodeFontSize > 0) barcodeFont.setPointSizeF(std::min(form.BarCodeFontSize, 1638));
  const QFont address = ui.txtAddressBlock->font();
  QFont labelFont(address.family());
  labelFont.setBold(address.bold());
  labelFont.setItalic(address.italic());
  labelFont.setPointSizeF(address.pointSizeF() > 0 ? address.pointSizeF() : 10);

  const double twipsPerPixel = kTwipsPerInch / printer.resolution();
  const double barcodeLine = QFontMetricsF(barcodeFont, &printer).lineSpacing() * twipsPerPixel;
  const double labelLine = QFontMetricsF(labelFont, &printer).lineSpacing() * twipsPerPixel;
  const LabelContent content{MarginTwips(ui.LeftMarg->text()),   MarginTwips(ui.TopMarg->text()),
                             ui.UseBar->isChecked(),             ui.txtBarCode->toPlainText(),
                             ui.txtAttentionLine->toPlainText(), ui.txtAddressBlock->toPlainText()};
  const QList<LabelLine> lines = LayoutLabel(content, barcodeLine, labelLine);

  QPainter painter;
  if (!painter.begin(&printer)) return kPrinterError;
  // One label per page; each page starts again at the margins.
  for (int i = 0; i < *quantity; ++i) {
    if (i > 0 && !printer.newPage()) break;
    DrawLines(painter, printer, lines, barcodeFont, labelFont);
  }
  // The pages drawn so far go to the printer even when a later one failed.
  painter.end();
  return document->Submit() ? 0 : kPrinterError;
}

}  // namespace

long MarginTwips(const QString& inches) {
  const double twips = std::round(LeadingDecimal(inches) * kTwipsPerInch);
  // Far off any paper either way; keeps the conversion defined.
  return static_cast<long>(std::clamp(twips, -1.0e9, 1.0e9));
}

std::optional<int> LabelQuantity(const QString& text) {
  const long quantity = IniNumber(text);
  if (quantity == 0) return 1;
  if (quantity < 1 || quantity > kMaxQuantity) return std::nullopt;
  return static_cast<int>(quantity);
}

QStringList PrintedLines(const QString& text) {
  QStringList lines;
  QString rest = text;
  rest.remove(QLatin1Char('\r'));
  qsizetype lineBreak;
  while ((lineBreak = rest.indexOf(QLatin1Char('\n'))) >= 0) {
    lines.append(rest.left(lineBreak));
    rest = TrimBlanks(rest.mid(lineBreak + 1));
  }
  if (!rest.isEmpty()) lines.append(rest);
  return lines;
}

QList<LabelLine> LayoutLabel(const LabelContent& content, double barcodeLineTwips, double labelLineTwips) {
  QList<LabelLine> lines;
  const long x0 = content.leftTwips;
  const long y0 = content.topTwips;
  if (content.useBar) {
    double y = static_cast<double>(y0);
    for (const QString& text : content.barcode.split(QLatin1Char('\n'))) {
      lines.append({x0, y, true, QString(text).remove(QLatin1Char('\r'))});
      y += barcodeLineTwips;
    }
  }
  // One empty line of the label font, then the attention and address lines.
  double y = static_cast<double>(y0 + kBarcodeBandTwips) + labelLineTwips;
  for (const QString& text : PrintedLines(TrimBlanks(content.attention)) + PrintedLines(content.address)) {
    lines.append({x0, y, false, text});
    y += labelLineTwips;
  }
  return lines;
}

void PrintButton_Click(ZipMain& form) {
  LabelForm& label = LabelForm::of(form);
  // A quantity the printer cannot be given is refused before it is touched.
  if (!LabelQuantity(form.form().Qty->text())) {
    MessageBox::critical(form.dialogParent(), QStringLiteral("Quantity must be 1 to ") + QString::number(kMaxQuantity));
    return;
  }
  form.SetStatus(QStringLiteral("Printing Labels"));
  if (!SelectLabelPrinter(label.LabelPrinter, label.LabelPort)) {
    form.SetStatus(QString());
    MessageBox::critical(form.dialogParent(), QStringLiteral("Please setup a printer for Labels"));
    return;
  }
  if (!ApplyPrinterSettings(label.LabelPrinter, label.LabelPort, label.Paper)) {
    MessageBox::critical(form.dialogParent(), QStringLiteral("Unable to Set Printer"));
  }

  if (const int error = PrintLabels(form)) {
    form.SetStatus(QString());
    MessageBox::critical(form.dialogParent(), QStringLiteral("Print Error") + SignedText(error));
    return;
  }
  form.SetStatus(QStringLiteral("Labels Printed"));
}

void PSetup_Click(ZipMain& form) {
  LabelForm& label = LabelForm::of(form);
  if (!PrinterHandlerSlot() && PrinterNames().isEmpty()) {
    MessageBox::critical(form.dialogParent(),
                         QStringLiteral("Unable to setup Printer (Error") + SignedText(kNoPrinterError) + ')');
    return;
  }
  const std::optional<QString> chosen = LabelDialogs::choosePrinter(form.dialogParent(), label.LabelPrinter);
  if (!chosen || chosen->isEmpty()) return;
  label.LabelPrinter = *chosen;
  form.SetStatus(QStringLiteral("Print Labels to ") + *chosen);
  label.LabelPort = PrinterPort(*chosen);
  if (!GetPrinterSettings(label.LabelPrinter, label.LabelPort, label.Paper)) {
    MessageBox::critical(form.dialogParent(), QStringLiteral("Unable to Read Printer Settings"));
  }
}

void FSetup_Click(ZipMain& form) {
  Ui::ZipMain& ui = form.form();
  const std::optional<QFont> chosen = LabelDialogs::chooseFont(form.dialogParent(), ui.txtAddressBlock->font());
  if (!chosen || chosen->family().isEmpty()) return;
  QFont font = ui.txtAddressBlock->font();
  font.setFamily(chosen->family());
  font.setBold(chosen->bold());
  font.setItalic(chosen->italic());
  font.setPointSizeF(std::clamp<qreal>(chosen->pointSizeF(), kMinFontSize, kMaxFontSize));
  ui.txtAddressBlock->setFont(font);
  ui.txtAttentionLine->setFont(font);
}

std::optional<QString> LabelDialogs::choosePrinter(QWidget* parent, const QString& current) {
  if (PrinterHandlerSlot()) return PrinterHandlerSlot()(current);
  QPrinter printer(QPrinter::HighResolution);
  if (!current.isEmpty() && PrinterNames().contains(current)) printer.setPrinterName(current);
  QPrintDialog dialog(&printer, parent);
  dialog.setWindowTitle(QStringLiteral("Label Printer Setup"));
  dialog.setOptions(QAbstractPrintDialog::PrintShowPageSize);
  // This dialog only chooses the printer and its paper; nothing prints yet.
  for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
    if (button->text().remove(QLatin1Char('&')) == QLatin1String("Print")) button->setText(QStringLiteral("OK"));
  }
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QString name = printer.printerName();
  // The paper chosen in the dialog becomes the printer's, as read next.
  ApplyPrinterSettings(name, PrinterPort(name), PaperForLayout(printer.pageLayout()));
  return name;
}

std::optional<QFont> LabelDialogs::chooseFont(QWidget* parent, const QFont& current) {
  if (FontHandlerSlot()) return FontHandlerSlot()(current);
  QFont preset = current;
  preset.setPointSizeF(std::clamp<qreal>(current.pointSizeF(), kMinFontSize, kMaxFontSize));
  bool ok = false;
  const QFont font = QFontDialog::getFont(&ok, preset, parent, QStringLiteral("Label Font"),
                                          QFontDialog::ScalableFonts);
  if (!ok) return std::nullopt;
  return font;
}

void LabelDialogs::setPrinterHandler(PrinterHandler handler) { PrinterHandlerSlot() = std::move(handler); }

void LabelDialogs::setFontHandler(FontHandler handler) { FontHandlerSlot() = std::move(handler); }

}  // namespace corvellan
