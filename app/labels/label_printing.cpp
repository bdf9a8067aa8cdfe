#include "labels/label_printing.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFontDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QListWidget>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QScreen>
#include <QProgressDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QToolBar>

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

LabelDialogs::PreviewHandler& PreviewHandlerSlot() {
  static LabelDialogs::PreviewHandler handler;
  return handler;
}

LabelFonts FontsOf(ZipMain& form) {
  LabelFonts fonts;
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

// How the labels of `labels` are laid out on the selected printer, one per
// page or, with a label product, filling its sheets from the starting label.
// Intelligent Mail barcodes get their serial numbers from the settings
// file: taken there with `reserve` (Print), only read without (Print
// Preview). Nothing when the run cannot be made: `*error` is the error
// number, or 0 when a message was shown already.
std::optional<LabelRun> PrepareLabelRun(ZipMain& form, const QList<LabelContent>& labels, bool reserve, int* error) {
  LabelForm& label = LabelForm::of(form);
  *error = 0;
  LabelRun run;
  if (!label.Product.isEmpty()) {
    run.product = FindLabelProduct(label.Product);
    if (!run.product) {
      *error = kPrinterError;
      return std::nullopt;
    }
  }
  run.startLabel = label.StartLabel;
  run.fonts = FontsOf(form);
  run.imb = label.Barcode == BarcodeKind::Imb;
  run.imbDigits = label.ImbDigits;
  if (!run.imb) return run;

  // Every routing code must encode before the serial numbers are taken.
  qsizetype withBarcode = 0;
  for (const LabelContent& content : labels) {
    if (!content.useBar || content.barcode.isEmpty()) continue;
    ++withBarcode;
    const ImbEncoding check = EncodeImb(QStringLiteral("00000000000000000000"), content.barcode);
    if (!check.error.isEmpty()) {
      MessageBox::critical(form.dialogParent(), QStringLiteral("Intelligent Mail barcode of \"%1\": %2")
                                                     .arg(content.barcode, check.error));
      return std::nullopt;
    }
  }
  if (withBarcode > 0) {
    QString problem;
    const std::optional<std::int64_t> first = reserve
                                                  ? ReserveImbSerials(App().IniFile, withBarcode, &run.mailer, &problem)
                                                  : PeekImbSerials(App().IniFile, withBarcode, &run.mailer, &problem);
    if (!first) {
      MessageBox::critical(form.dialogParent(), problem);
      return std::nullopt;
    }
    run.firstSerial = *first;
  }
  return run;
}

// Prints the labels of `labels` on the selected printer; 0, or the error
// number. `progress` is told each label printed and stops the run when it
// returns false.
int PrintLabelRun(ZipMain& form, const QList<LabelContent>& labels,
                  const std::function<bool(qsizetype)>& progress = {}, bool* cancelled = nullptr) {
  if (labels.isEmpty()) return 0;
  int error = 0;
  std::optional<LabelRun> run = PrepareLabelRun(form, labels, true, &error);
  if (!run) return error;
  const std::unique_ptr<PrinterDocument> document = PrinterDocument::Open(QStringLiteral("Corvellan labels"));
  if (!document) return kPrinterError;
  QPrinter& printer = document->printer();
  run->dpi = printer.resolution();
  const LabelRunResult result = DrawLabelPages(printer, labels, *run, progress);
  if (!result.begun) return kPrinterError;
  if (result.cancelled) {
    // Cancelled: nothing goes to the printer.
    if (cancelled != nullptr) *cancelled = true;
    return 0;
  }
  // The pages drawn go to the printer even when a later one failed.
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

// The selected lines of `list`, in list order.
QList<int> SelectedRows(QListWidget& list) {
  QList<int> rows;
  for (const QModelIndex& index : list.selectionModel()->selectedIndexes()) rows.append(index.row());
  std::sort(rows.begin(), rows.end());
  return rows;
}

// One label for every selected line of `list`, each composed from its own
// record (the attention lines as typed). Composing shows each line's record
// in turn, as an export does; the line shown before comes back afterwards.
// `step` is told the number composed and stops it when it returns false
// (nothing then).
std::optional<QList<LabelContent>> ComposeSelection(ZipMain& form, QListWidget& list, const QList<int>& rows,
                                                    const std::function<bool(qsizetype)>& step) {
  const int shown = list.currentRow();
  QList<LabelContent> labels;
  bool stopped = false;
  for (const int row : rows) {
    ShowLine(form, list, row);
    labels.append(PreviewContent(form.form()));
    if (step && !step(labels.size())) {
      stopped = true;
      break;
    }
  }
  if (shown >= 0) ShowLine(form, list, shown);
  if (stopped) return std::nullopt;
  return labels;
}

// One label for every selected line of `list`; the user confirms the count
// first. 0, or the error number; `cancelled` when the user stopped it.
int PrintSelection(ZipMain& form, QListWidget& list, bool& cancelled) {
  const QList<int> rows = SelectedRows(list);
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
  const std::optional<QList<LabelContent>> labels = ComposeSelection(form, list, rows, [&](qsizetype done) {
    progress.setValue(static_cast<int>(done));
    return !progress.wasCanceled();
  });
  if (!labels) {
    cancelled = true;
    return 0;
  }
  return PrintLabelRun(
      form, *labels,
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

// Selects the template's label printer and sets its paper (a label sheet
// brings its own page), as Print and Print Preview begin; false after the
// message when there is no printer to print on.
bool SetUpLabelPrinter(ZipMain& form) {
  LabelForm& label = LabelForm::of(form);
  if (!SelectLabelPrinter(label.LabelPrinter, label.LabelPort)) {
    form.SetStatus(QString());
    MessageBox::critical(form.dialogParent(), QStringLiteral("Please setup a printer for Labels"));
    return false;
  }
  PaperSettings paper = label.Paper;
  if (!label.Product.isEmpty()) {
    QString error;
    const std::optional<LabelProduct> product = FindLabelProduct(label.Product, &error);
    if (!product) {
      form.SetStatus(QString());
      MessageBox::critical(form.dialogParent(), error);
      return false;
    }
    paper = PaperForLayout(PageLayoutOf(*product));
    paper.bin = label.Paper.bin;
  }
  if (!ApplyPrinterSettings(label.LabelPrinter, label.LabelPort, paper)) {
    MessageBox::critical(form.dialogParent(), QStringLiteral("Unable to Set Printer"));
  }
  return true;
}

}  // namespace

long MarginTwips(const QString& inches) {
  const double twips = std::round(LeadingDecimal(inches) * kLabelTwipsPerInch);
  // Far off any paper either way; keeps the conversion defined.
  return static_cast<long>(std::clamp(twips, -1.0e9, 1.0e9));
}

std::optional<int> LabelQuantity(const QString& text) {
  const long quantity = IniNumber(text);
  if (quantity == 0) return 1;
  if (quantity < 1 || quantity > kMaxQuantity) return std::nullopt;
  return static_cast<int>(quantity);
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
  // A quantity the printer cannot be given is refused before it is touched.
  if (!LabelQuantity(form.form().Qty->text())) {
    MessageBox::critical(form.dialogParent(), QStringLiteral("Quantity must be 1 to ") + QString::number(kMaxQuantity));
    return;
  }
  form.SetStatus(QStringLiteral("Printing Labels"));
  if (!SetUpLabelPrinter(form)) return;

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

void PrintPreview_Click(ZipMain& form) {
  Ui::ZipMain& ui = form.form();
  const std::optional<int> quantity = LabelQuantity(ui.Qty->text());
  if (!quantity) {
    MessageBox::critical(form.dialogParent(), QStringLiteral("Quantity must be 1 to ") + QString::number(kMaxQuantity));
    return;
  }
  const QString status = form.PanelText(1);
  if (!SetUpLabelPrinter(form)) return;
  const auto fail = [&form](int error) {
    MessageBox::critical(form.dialogParent(), QStringLiteral("Print Error") + SignedText(error));
  };

  // The labels Print would print: one per selected line, else the preview
  // as many times as the quantity says.
  QList<LabelContent> labels;
  if (QListWidget* selection = SelectionList(ui)) {
    labels = *ComposeSelection(form, *selection, SelectedRows(*selection), {});
  } else {
    labels = QList<LabelContent>(*quantity, PreviewContent(ui));
  }
  int error = 0;
  std::optional<LabelRun> run = PrepareLabelRun(form, labels, false, &error);
  if (!run) {
    if (error != 0) fail(error);
    return;
  }
  // The printer Print would print on, with its paper; the preview is never
  // submitted.
  const std::unique_ptr<PrinterDocument> document = PrinterDocument::Open(QStringLiteral("Corvellan labels"));
  if (!document) {
    fail(kPrinterError);
    return;
  }
  QPrintPreviewDialog dialog(&document->printer(), form.dialogParent());
  dialog.setObjectName(QStringLiteral("LabelPrintPreview"));
  dialog.setWindowTitle(labels.size() == 1 ? QStringLiteral("Print Preview - 1 label")
                                           : QStringLiteral("Print Preview - %1 labels").arg(labels.size()));
  // Large enough to read a label's lines: most of the screen it opens on.
  if (const QWidget* parent = form.dialogParent(); parent != nullptr && parent->screen() != nullptr) {
    const QRect area = parent->screen()->availableGeometry();
    dialog.resize(area.width() * 3 / 4, area.height() * 17 / 20);
  }
  QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&labels, &run](QPrinter* printer) {
    run->dpi = printer->resolution();
    DrawLabelPages(*printer, labels, *run);
  });
  // The preview's own Print and Page Setup would print without taking the
  // serial numbers, and on another paper: its Print button closes the
  // preview and prints as Print does instead.
  bool print = false;
  for (QAction* action : dialog.findChildren<QAction*>()) {
    const QString text = action->text().remove(QLatin1Char('&'));
    if (text == QLatin1String("Print") || text == QLatin1String("Page setup")) {
      action->setVisible(false);
      action->setEnabled(false);
    }
  }
  if (auto* toolbar = dialog.findChild<QToolBar*>()) {
    QAction* printAction = toolbar->addAction(QStringLiteral("Print"));
    printAction->setObjectName(QStringLiteral("LabelPreviewPrint"));
    printAction->setShortcut(QKeySequence::Print);
    printAction->setToolTip(QStringLiteral("Print these labels (Ctrl+P)"));
    QObject::connect(printAction, &QAction::triggered, &dialog, [&dialog, &print] {
      print = true;
      dialog.accept();
    });
  }
  if (PreviewHandlerSlot()) {
    PreviewHandlerSlot()(dialog);
  } else {
    dialog.exec();
  }
  form.SetStatus(status);
  if (print) PrintButton_Click(form);
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

void LabelDialogs::setPreviewHandler(PreviewHandler handler) { PreviewHandlerSlot() = std::move(handler); }

}  // namespace corvellan
