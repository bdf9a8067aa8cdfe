#include "labels/label_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "core/app_globals.h"
#include "core/zip_main.h"
#include "labels/label_composition.h"
#include "labels/label_printing.h"
#include "labels/label_templates.h"
#include "labels/postnet.h"
#include "ui_zip_main.h"

namespace corvellan {

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
}

LabelForm& LabelForm::of(ZipMain& window) {
  auto* form = window.findChild<LabelForm*>(QStringLiteral("LabelForm"), Qt::FindDirectChildrenOnly);
  if (form == nullptr) form = new LabelForm(window);
  return *form;
}

void LabelForm::MaxChars_Change() { SetLabelData(window_); }

void LabelForm::UseBar_Click() { SetLabelData(window_); }

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
