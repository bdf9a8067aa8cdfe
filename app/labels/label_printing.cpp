#include "labels/label_printing.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFontDialog>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QListWidget>
#include <QPrintDialog>
#include <QProgressDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/query_prep.h"
#include "core/result_lines.h"
#include "core/settings.h"
#include "core/zip_main.h"
#include "labels/drawing/imb.h"
#include "labels/drawing/label_products.h"
#include "labels/label_form.h"
#include "labels/label_options.h"
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

// Watches the printer set-up dialog while it is open. Its page set-up (paper
// size and orientation) lives in the Properties window, which the dialog
// fills with the queue's default paper when it creates it; the first time it
// shows, it is preset with the template's paper instead, and the options this
// program does not use are hidden there. Notes whether the user confirmed the
// Properties window, that is, chose a paper.
class SetupDialogWatch : public QObject {
 public:
  SetupDialogWatch(QDialog& dialog, const PaperSettings& paper) : dialog_(dialog), paper_(paper) {
    qApp->installEventFilter(this);
  }
  bool paperChosen() const { return paperChosen_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (type != QEvent::Show && type != QEvent::Hide) return false;
    auto* window = qobject_cast<QDialog*>(watched);
    if (window == nullptr || window == &dialog_ || !OwnedBy(window, &dialog_)) return false;
    if (window->findChild<QComboBox*>(QStringLiteral("pageSizeCombo")) == nullptr) return false;
    if (type == QEvent::Show && !preset_) {
      preset_ = true;
      PresetPageSetup(*window, paper_);
      if (QWidget* nUp = window->findChild<QWidget*>(QStringLiteral("pagesPerSheetButtonGroup"))) nUp->hide();
    } else if (type == QEvent::Hide && window->result() == QDialog::Accepted) {
      paperChosen_ = true;
    }
    return false;
  }

 private:
  // Whether `object` belongs to `owner` (a window of its own included, which
  // QWidget::isAncestorOf leaves out).
  static bool OwnedBy(const QObject* object, const QObject* owner) {
    for (const QObject* o = object->parent(); o != nullptr; o = o->parent()) {
      if (o == owner) return true;
    }
    return false;
  }

  QDialog& dialog_;
  PaperSettings paper_;
  bool preset_ = false;
  bool paperChosen_ = false;
};

// The fonts a print run uses: the barcode font of a POSTNET barcode, the
// label font, and the font of the digits under an Intelligent Mail barcode.
struct RunFonts {
  QFont barcode, label, digits;
};

RunFonts FontsOf(ZipMain& form) {
  RunFonts fonts;
  fonts.barcode = QFont(form.BarCodeFont);
  if (form.BarCodeFontSize > 0) fonts.barcode.setPointSizeF(std::min(form.BarCodeFontSize, 1638));
  const QFont address = form.form().txtAddressBlock->font();
  fonts.label = QFont(address.family());
  fonts.label.setBold(address.bold());
  fonts.label.setItalic(address.italic());
  fonts.label.setPointSizeF(address.pointSizeF() > 0 ? address.pointSizeF() : 10);
  fonts.digits = QFont(address.family());
  fonts.digits.setPointSizeF(7);
  return fonts;
}

// Prints the labels of `labels` on the selected printer, one per page or,
// with a label product, filling its sheets from the starting label; 0, or
// the error number. `progress` is told each label printed and stops the run
// when it returns false.
int PrintLabelRun(ZipMain& form, const QList<LabelContent>& labels,
                  const std::function<bool(qsizetype)>& progress = {}, bool* cancelled = nullptr) {
  LabelForm& label = LabelForm::of(form);
  if (labels.isEmpty()) return 0;
  std::optional<LabelProduct> product;
  if (!label.Product.isEmpty()) product = FindLabelProduct(label.Product);
  if (!label.Product.isEmpty() && !product) return kPrinterError;

  // Intelligent Mail barcodes: every routing code must encode before the
  // serial numbers are taken.
  const bool imb = label.Barcode == BarcodeKind::Imb;
  ImbMailer mailer;
  std::int64_t firstSerial = 0;
  qsizetype withBarcode = 0;
  if (imb) {
    for (const LabelContent& content : labels) {
      if (!content.useBar || content.barcode.isEmpty()) continue;
      ++withBarcode;
      const ImbEncoding check = EncodeImb(QStringLiteral("00000000000000000000"), content.barcode);
      if (!check.error.isEmpty()) {
        MessageBox::critical(form.dialogParent(), QStringLiteral("Intelligent Mail barcode of \"%1\": %2")
                                                       .arg(content.barcode, check.error));
        return 0;
      }
    }
    if (withBarcode > 0) {
      QString error;
      const std::optional<std::int64_t> first = ReserveImbSerials(App().IniFile, withBarcode, &mailer, &error);
      if (!first) {
        MessageBox::critical(form.dialogParent(), error);
        return 0;
      }
      firstSerial = *first;
    }
  }

  const std::unique_ptr<PrinterDocument> document = PrinterDocument::Open(QStringLiteral("Corvellan labels"));
  if (!document) return kPrinterError;
  QPrinter& printer = document->printer();
  const RunFonts fonts = FontsOf(form);
  const double dpi = printer.resolution();
  const double twipsPerPixel = kTwipsPerInch / dpi;
  const double barcodeLine = QFontMetricsF(fonts.barcode, &printer).lineSpacing() * twipsPerPixel;
  const double labelLine = QFontMetricsF(fonts.label, &printer).lineSpacing() * twipsPerPixel;

  QPainter painter;
  if (!painter.begin(&printer)) return kPrinterError;
  int page = 0;
  std::int64_t serial = firstSerial;
  for (qsizetype i = 0; i < labels.size(); ++i) {
    LabelContent content = labels[i];
    // A label of a sheet is laid out from its cell's top-left corner.
    int sheet = static_cast<int>(i);
    if (product) {
      const SheetPlace place = PlaceOnSheet(static_cast<int>(i), label.StartLabel, static_cast<int>(product->cells.size()));
      sheet = place.sheet;
      const QPointF cell = product->cells[place.cell];
      content.leftTwips += std::lround(cell.x() * kTwipsPerInch);
      content.topTwips += std::lround(cell.y() * kTwipsPerInch);
    }
    if (sheet != page) {
      if (!printer.newPage()) break;
      page = sheet;
    }
    const bool drawImb = imb && content.useBar && !content.barcode.isEmpty();
    // On a sheet, the bars stay on their label (see PlaceImbOnLabel).
    double pitch = kImbPitchInches;
    double barsLeftInches = content.leftTwips / kTwipsPerInch;
    if (product && drawImb) {
      const QPointF cell = product->cells[PlaceOnSheet(static_cast<int>(i), label.StartLabel,
                                                       static_cast<int>(product->cells.size()))
                                              .cell];
      const ImbPlacement place = PlaceImbOnLabel(barsLeftInches, cell.x(), cell.x() + product->label.width());
      pitch = place.pitchInches;
      barsLeftInches = place.leftInches;
    }
    LabelContent text = content;
    if (imb) text.useBar = false;  // its bars are drawn, not printed as text
    DrawLines(painter, printer, LayoutLabel(text, barcodeLine, labelLine), fonts.barcode, fonts.label);
    if (drawImb) {
      const QString tracking = ImbTrackingCode(mailer, serial++);
      const ImbEncoding code = EncodeImb(tracking, content.barcode);
      const QPointF topLeft(barsLeftInches * dpi, content.topTwips / kTwipsPerInch * dpi);
      painter.save();
      painter.setPen(Qt::black);
      DrawImbBars(painter, topLeft, dpi, code.bars, pitch);
      painter.restore();
      if (label.ImbDigits) {
        painter.setFont(fonts.digits);
        const double baseline = topLeft.y() + (kImbFullInches + 0.02) * dpi + QFontMetricsF(fonts.digits, &printer).ascent();
        painter.drawText(QPointF(topLeft.x(), baseline),
                         ImbHumanReadable(tracking, static_cast<int>(mailer.mailerId.size()), content.barcode));
      }
    }
    if (progress && !progress(i + 1)) {
      // Cancelled: nothing goes to the printer.
      painter.end();
      if (cancelled != nullptr) *cancelled = true;
      return 0;
    }
  }
  // The pages drawn so far go to the printer even when a later one failed.
  painter.end();
  return document->Submit() ? 0 : kPrinterError;
}

LabelContent PreviewContent(Ui::ZipMain& ui) {
  return {MarginTwips(ui.LeftMarg->text()),   MarginTwips(ui.TopMarg->text()),
          ui.UseBar->isChecked(),             ui.txtBarCode->toPlainText(),
          ui.txtAttentionLine->toPlainText(), ui.txtAddressBlock->toPlainText()};
}

// The results list or organization list with more than one line selected.
QListWidget* SelectionList(Ui::ZipMain& ui) {
  for (QListWidget* list : {ui.FoundList, ui.OrgList}) {
    if (list->selectedItems().size() > 1) return list;
  }
  return nullptr;
}

// Shows the record of a line of `list` as a click on it does.
void ShowLine(ZipMain& form, QListWidget& list, int row) {
  {
    const QSignalBlocker blocker(&list);
    list.setCurrentRow(row, QItemSelectionModel::NoUpdate);
  }
  if (&list == form.form().OrgList) {
    form.OrgList_Click();
  } else {
    form.FoundList_Click();
  }
}

// One label for every selected line of `list`, each composed from its own
// record (the attention lines as typed); the user confirms the count first.
// 0, or the error number; `cancelled` when the user stopped it.
int PrintSelection(ZipMain& form, QListWidget& list, bool& cancelled) {
  Ui::ZipMain& ui = form.form();
  QList<int> rows;
  for (const QModelIndex& index : list.selectionModel()->selectedIndexes()) rows.append(index.row());
  std::sort(rows.begin(), rows.end());
  const auto count = static_cast<int>(rows.size());
  if (!MessageBox::questionYesNo(form.dialogParent(),
                                 QStringLiteral("Print %1 labels, one for each selected line?").arg(count))) {
    cancelled = true;
    return 0;
  }
  QProgressDialog progress(QStringLiteral("Printing %1 labels...").arg(count), QStringLiteral("Cancel"), 0, 2 * count,
                           form.dialogParent());
  progress.setWindowTitle(QStringLiteral("Printing Labels"));
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(500);

  // Composing shows each line's record in turn, as an export does; the line
  // shown before comes back afterwards.
  const int shown = list.currentRow();
  QList<LabelContent> labels;
  for (const int row : rows) {
    ShowLine(form, list, row);
    labels.append(PreviewContent(ui));
    progress.setValue(static_cast<int>(labels.size()));
    if (progress.wasCanceled()) break;
  }
  if (shown >= 0) ShowLine(form, list, shown);
  if (progress.wasCanceled()) {
    cancelled = true;
    return 0;
  }
  return PrintLabelRun(
      form, labels,
      [&](qsizetype done) {
        progress.setValue(count + static_cast<int>(done));
        return !progress.wasCanceled();
      },
      &cancelled);
}

// Prints the label preview as many times as the quantity box says.
int PrintLabels(ZipMain& form) {
  Ui::ZipMain& ui = form.form();
  const std::optional<int> quantity = LabelQuantity(ui.Qty->text());
  if (!quantity) return kOverflowError;
  if (*quantity <= 0) return 0;
  return PrintLabelRun(form, QList<LabelContent>(*quantity, PreviewContent(ui)));
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

bool PresetPageSetup(QWidget& pageSetup, const PaperSettings& paper) {
  auto* sizes = pageSetup.findChild<QComboBox*>(QStringLiteral("pageSizeCombo"));
  if (sizes == nullptr) return false;
  const QPageLayout layout = PageLayoutForPaper(paper, QPageSize());
  if (!layout.pageSize().isValid()) return true;  // the template names no paper: the queue's stays

  // The orientation first: a change of size keeps it.
  const bool landscape = layout.orientation() == QPageLayout::Landscape;
  auto* orientation = pageSetup.findChild<QRadioButton*>(landscape ? QStringLiteral("landscape")
                                                                   : QStringLiteral("portrait"));
  if (orientation != nullptr && !orientation->isChecked()) orientation->click();

  const PaperSettings wanted = PaperForLayout(QPageLayout(layout.pageSize(), QPageLayout::Portrait, QMarginsF()));
  const QString wantedKey = QPageSize::key(layout.pageSize().id());
  int customIndex = -1;
  int sameSize = -1;
  for (int i = 0; i < sizes->count(); ++i) {
    const QVariant data = sizes->itemData(i);
    if (data.metaType() != QMetaType::fromType<QPageSize>()) {
      customIndex = i;  // the entry without a size of its own: "Custom"
      continue;
    }
    const QPageSize offeredSize = data.value<QPageSize>();
    const PaperSettings offered = PaperForLayout(QPageLayout(offeredSize, QPageLayout::Portrait, QMarginsF()));
    const bool same = offered.size == wanted.size &&
                      (wanted.size != kPaperCustom ||
                       (std::abs(offered.width - wanted.width) <= 5 && std::abs(offered.length - wanted.length) <= 5));
    if (!same) continue;
    // A queue may list one sheet under two names ("ANSI A", "US Letter"):
    // the one of the paper's own name wins.
    if (offeredSize.key() == wantedKey) {
      sameSize = i;
      break;
    }
    if (sameSize < 0) sameSize = i;
  }
  if (sameSize >= 0) {
    sizes->setCurrentIndex(sameSize);
    return true;
  }
  auto* width = pageSetup.findChild<QDoubleSpinBox*>(QStringLiteral("pageWidth"));
  auto* height = pageSetup.findChild<QDoubleSpinBox*>(QStringLiteral("pageHeight"));
  auto* units = pageSetup.findChild<QComboBox*>(QStringLiteral("unitCombo"));
  if (customIndex < 0 || width == nullptr || height == nullptr || units == nullptr) return false;
  // A size the queue does not list: a custom size, in the units shown and
  // as the page is turned.
  sizes->setCurrentIndex(customIndex);
  const QVariant unit = units->currentData();
  const QSizeF size = layout.fullRect(unit.isValid() ? unit.value<QPageLayout::Unit>() : QPageLayout::Millimeter).size();
  width->setValue(size.width());
  height->setValue(size.height());
  return true;
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
  // A label sheet brings its own page.
  PaperSettings paper = label.Paper;
  if (!label.Product.isEmpty()) {
    QString error;
    const std::optional<LabelProduct> product = FindLabelProduct(label.Product, &error);
    if (!product) {
      form.SetStatus(QString());
      MessageBox::critical(form.dialogParent(), error);
      return;
    }
    paper = PaperForLayout(QPageLayout(QPageSize(product->page, QPageSize::Inch), QPageLayout::Portrait, QMarginsF()));
    paper.bin = label.Paper.bin;
  }
  if (!ApplyPrinterSettings(label.LabelPrinter, label.LabelPort, paper)) {
    MessageBox::critical(form.dialogParent(), QStringLiteral("Unable to Set Printer"));
  }

  // Several selected lines print one label each; otherwise the preview
  // prints as many times as the quantity says.
  bool cancelled = false;
  QListWidget* selection = SelectionList(form.form());
  const int error = selection != nullptr ? PrintSelection(form, *selection, cancelled) : PrintLabels(form);
  if (error != 0) {
    form.SetStatus(QString());
    MessageBox::critical(form.dialogParent(), QStringLiteral("Print Error") + SignedText(error));
    return;
  }
  if (cancelled) {
    form.SetStatus(QStringLiteral("Printing Cancelled"));
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
  const std::optional<QString> chosen =
      LabelDialogs::choosePrinter(form.dialogParent(), label.LabelPrinter, label.Paper);
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

std::optional<QString> LabelDialogs::choosePrinter(QWidget* parent, const QString& current,
                                                   const PaperSettings& paper) {
  if (PrinterHandlerSlot()) return PrinterHandlerSlot()(current);
  QPrinter printer(QPrinter::HighResolution);
  if (!current.isEmpty() && PrinterNames().contains(current)) printer.setPrinterName(current);
  printer.setPageLayout(PageLayoutForPaper(paper, printer.pageLayout().pageSize()));
  const QString shown = printer.printerName();
  QPrintDialog dialog(&printer, parent);
  dialog.setWindowTitle(QStringLiteral("Label Printer Setup"));
  dialog.setOptions(QAbstractPrintDialog::PrintShowPageSize);
  // This dialog only chooses the printer and its paper; nothing prints yet.
  for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
    if (button->text().remove(QLatin1Char('&')) == QLatin1String("Print")) button->setText(QStringLiteral("OK"));
  }
  // Page range, copies, collation, page order, duplex and colour (the
  // "Options" pane) mean nothing to a label, which prints its own quantity
  // one label per page: the button that opens the pane goes.
  for (QDialogButtonBox* box : dialog.findChildren<QDialogButtonBox*>()) {
    for (QAbstractButton* button : box->buttons()) {
      if (box->buttonRole(button) == QDialogButtonBox::ResetRole) button->hide();
    }
  }
  const SetupDialogWatch watch(dialog, paper);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QString name = printer.printerName();
  // OK on the printer it opened with, without a paper chosen in Properties,
  // keeps the template's paper (the dialog itself would offer the queue's).
  const bool samePrinter = name == shown;
  PaperSettings chosen = paper;
  if (!samePrinter || watch.paperChosen()) {
    chosen = PaperForLayout(printer.pageLayout());
    chosen.bin = samePrinter ? paper.bin : std::int16_t{0};
  }
  // The paper chosen in the dialog becomes the printer's, as read next.
  ApplyPrinterSettings(name, PrinterPort(name), chosen);
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
