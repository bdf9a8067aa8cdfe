#include "labels/label_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/zip_main.h"
#include "labels/drawing/label_products.h"
#include "labels/label_composition.h"
#include "labels/label_printing.h"
#include "labels/label_templates.h"
#include "labels/postnet.h"
#include "ui_zip_main.h"

namespace corvellan {

namespace {

// The Intelligent Mail barcode of the label preview as it prints: the
// routing code of the barcode box (composed like the POSTNET text) with the
// tracking code of the next serial number, the digits under it when the
// template asks for them.
class ImbPreview : public QWidget {
 public:
  ImbPreview(ZipMain& window, QWidget* parent) : QWidget(parent), window_(window) {
    setObjectName(QStringLiteral("ImbPreview"));
    setMinimumHeight(48);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    painter.setPen(palette().text().color());
    const LabelForm& label = LabelForm::of(window_);
    const QString routing = window_.form().txtBarCode->toPlainText();
    if (routing.isEmpty()) return;
    const ImbMailer mailer = ReadImbMailer(App().IniFile);
    const QString problem = ImbMailerError(mailer);
    if (!problem.isEmpty()) {
      painter.drawText(rect().adjusted(4, 2, -4, -2), Qt::TextWordWrap,
                       QStringLiteral("Intelligent Mail barcode: ") + problem);
      return;
    }
    const QString tracking = ImbTrackingCode(mailer, NextImbSerial(App().IniFile, mailer.mailerId));
    const ImbEncoding code = EncodeImb(tracking, routing);
    if (!code.error.isEmpty()) {
      painter.drawText(rect().adjusted(4, 2, -4, -2), Qt::TextWordWrap, code.error);
      return;
    }
    const double dpi = logicalDpiX();
    DrawImbBars(painter, QPointF(4, 4), dpi, code.bars, PreviewPitch(label));
    setToolTip(tracking + QLatin1Char('-') + routing);
    if (!label.ImbDigits) return;
    QFont font = window_.form().txtAddressBlock->font();
    font.setPointSizeF(7);
    painter.setFont(font);
    painter.drawText(QPointF(4, 4 + (kImbFullInches + 0.02) * dpi + painter.fontMetrics().ascent()),
                     ImbHumanReadable(tracking, static_cast<int>(mailer.mailerId.size()), routing));
  }

  // The pitch the bars print at: on a label sheet, the one they take on its
  // first label from the template's left margin (closer on a narrow label).
  double PreviewPitch(const LabelForm& label) const {
    if (label.Product.isEmpty()) return kImbPitchInches;
    const std::optional<LabelProduct> product = FindLabelProduct(label.Product);
    if (!product || product->cells.isEmpty()) return kImbPitchInches;
    const QPointF cell = product->cells.first();
    const double margin = static_cast<double>(MarginTwips(window_.form().LeftMarg->text())) / 1440;
    return PlaceImbOnLabel(cell.x() + margin, cell.x(), cell.x() + product->label.width()).pitchInches;
  }

 private:
  ZipMain& window_;
};

}  // namespace

LabelForm::LabelForm(ZipMain& window) : QObject(&window), window_(window) {
  setObjectName(QStringLiteral("LabelForm"));
  Ui::ZipMain& ui = window.form();

  // Every address box but State marks an edit and, once one was made,
  // recomposes the label when it loses the focus.
  for (QLineEdit* box : {ui.Recipient, ui.Secondary, ui.Primary, ui.Urbanization, ui.City, ui.Zip, ui.Plus4}) {
    connect(box, &QLineEdit::textEdited, this, [this] { AddressEdited = true; });
    box->installEventFilter(this);
    addressBoxes_.append(box);
  }
  for (QWidget* box : {static_cast<QWidget*>(ui.TopMarg), static_cast<QWidget*>(ui.LeftMarg),
                       static_cast<QWidget*>(ui.MaxChars), static_cast<QWidget*>(ui.Qty),
                       static_cast<QWidget*>(ui.LabList)}) {
    box->installEventFilter(this);
    selectOnFocus_.append(box);
  }

  connect(ui.MaxChars, &QLineEdit::textChanged, this, &LabelForm::MaxChars_Change);
  connect(ui.UseBar, &QCheckBox::toggled, this, &LabelForm::UseBar_Click);
  connect(ui.LabList, &QComboBox::activated, this, [this] { LabList_Click(window_); });
  connect(ui.SaveButton, &QPushButton::clicked, this, [this] { SaveButton_Click(window_); });
  connect(ui.PSetup, &QPushButton::clicked, this, [this] { PSetup_Click(window_); });
  connect(ui.FSetup, &QPushButton::clicked, this, [this] { FSetup_Click(window_); });
  connect(ui.PrintButton, &QPushButton::clicked, this, [this] { PrintButton_Click(window_); });

  // Added beside the template's controls, below the buttons: the kind of
  // barcode and the label sheet.
  if (auto* grid = qobject_cast<QGridLayout*>(ui.PrintButton->parentWidget()->layout())) {
    optionsButton_ = new QPushButton(QStringLiteral("Barcode &Kind && Sheet..."), ui.PrintButton->parentWidget());
    optionsButton_->setObjectName(QStringLiteral("LabelOptions"));
    optionsButton_->setToolTip(QStringLiteral("POSTNET or Intelligent Mail barcode, label sheet and Mailer ID"));
    grid->addWidget(optionsButton_, grid->rowCount(), 0, 1, grid->columnCount(), Qt::AlignLeft | Qt::AlignTop);
    connect(optionsButton_, &QPushButton::clicked, this, &LabelForm::Options_Click);
  }
  if (auto* grid = qobject_cast<QGridLayout*>(ui.txtBarCode->parentWidget()->layout())) {
    int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
    const int index = grid->indexOf(ui.txtBarCode);
    if (index >= 0) {
      grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
      imbPreview_ = new ImbPreview(window, ui.txtBarCode->parentWidget());
      imbPreview_->hide();
      grid->addWidget(imbPreview_, row, column, rowSpan, columnSpan);
    }
  }
  connect(ui.txtBarCode, &QPlainTextEdit::textChanged, this, &LabelForm::UpdateBarcodePreview);
}

LabelForm& LabelForm::of(ZipMain& window) {
  auto* form = window.findChild<LabelForm*>(QStringLiteral("LabelForm"), Qt::FindDirectChildrenOnly);
  if (form == nullptr) form = new LabelForm(window);
  return *form;
}

void LabelForm::MaxChars_Change() { SetLabelData(window_); }

void LabelForm::UseBar_Click() { SetLabelData(window_); }

void LabelForm::SetBarcodeKind(BarcodeKind kind) {
  Ui::ZipMain& ui = window_.form();
  const bool changed = kind != Barcode;
  Barcode = kind;
  const bool available = kind == BarcodeKind::Imb || !window_.BarCodeFont.isEmpty();
  if (!available) ui.UseBar->setChecked(false);
  ui.UseBar->setEnabled(available);
  if (changed && ui.UseBar->isChecked()) SetLabelData(window_);
  UpdateBarcodePreview();
}

void LabelForm::UpdateBarcodePreview() {
  if (imbPreview_ == nullptr) return;
  const bool imb = Barcode == BarcodeKind::Imb;
  window_.form().txtBarCode->setVisible(!imb);
  imbPreview_->setVisible(imb);
  imbPreview_->update();
}

void LabelForm::Options_Click() {
  const QString& ini = App().IniFile;
  LabelOptionsDialog::Values values{Barcode, ImbDigits, Product, StartLabel, ReadImbMailer(ini), 0};
  values.nextSerial = NextImbSerial(ini, values.mailer.mailerId);
  LabelOptionsDialog dialog(values, window_.dialogParent());
  if (dialog.exec() != QDialog::Accepted) return;
  const LabelOptionsDialog::Values chosen = dialog.values();
  ImbDigits = chosen.digits;
  Product = chosen.product;
  StartLabel = chosen.startLabel;
  if (chosen.kind == BarcodeKind::Imb) {
    // The serial is stored only when typed: another Mailer ID keeps its own.
    const bool serialTyped = chosen.nextSerial != values.nextSerial;
    const bool saved = WriteImbMailer(ini, chosen.mailer) &&
                       (!serialTyped || SetNextImbSerial(ini, chosen.mailer.mailerId, chosen.nextSerial));
    if (!saved) MessageBox::critical(window_.dialogParent(), QStringLiteral("Unable to save the Mailer ID settings in ") + ini);
  }
  SetBarcodeKind(chosen.kind);
}

bool LabelForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut && AddressEdited && addressBoxes_.contains(watched)) {
    SetLabelData(window_);
  } else if (event->type() == QEvent::FocusIn && selectOnFocus_.contains(watched)) {
    // Selected after the click that gave the focus has placed the caret.
    QLineEdit* edit = qobject_cast<QLineEdit*>(watched);
    if (edit == nullptr) edit = static_cast<QComboBox*>(watched)->lineEdit();
    if (edit != nullptr) QTimer::singleShot(0, edit, &QLineEdit::selectAll);
  }
  return QObject::eventFilter(watched, event);
}

void ApplyBarcodeSettings(ZipMain& window) {
  Ui::ZipMain& ui = window.form();
  const BarcodeSettings settings = ReadBarcodeSettings(App().IniFile);
  window.BarCodeFont = settings.font;
  if (settings.font.isEmpty()) {
    ui.UseBar->setChecked(false);
    ui.UseBar->setEnabled(false);
    ui.UseBar->setToolTip(settings.offReason);
    return;
  }
  ui.UseBar->setEnabled(true);
  ui.UseBar->setToolTip(QStringLiteral("Use the Post Net  Barcode"));
  QFont font = ui.txtBarCode->font();
  font.setFamily(settings.font);
  ui.txtBarCode->setFont(font);
  window.BarCodeFontSize = settings.fontSize;
  window.BarCodeStartChar = settings.startChar;
  window.BarCodeStopChar = settings.stopChar;
}

void InstallLabelForm(ZipMain& window) {
  LoadBarcodeFonts();
  LabelForm::of(window);
}

}  // namespace corvellan
