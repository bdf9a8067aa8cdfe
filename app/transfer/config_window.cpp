#include "transfer/config_window.h"

#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <algorithm>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/form_placement.h"
#include "core/startup.h"
#include "core/zip_main.h"
#include "transfer/insert_settings.h"
#include "ui_config_window.h"

namespace corvellan {

namespace {

QPointer<Config>& Instance() {
  static QPointer<Config> window;
  return window;
}

// The base name of a settings file: the text before the first ".".
QString BaseName(const QString& path) { return QFileInfo(path).fileName().section(QLatin1Char('.'), 0, 0); }

// The settings file `name` in the program directory: an existing file of
// that name in any letter case, else name + `extension`.
QString CfgPath(const QString& name, const QString& extension) {
  const QString& dir = App().ProgramDir;
  if (auto found = FindNoCase(dir, name + QStringLiteral(".cfg"))) return *found;
  return dir + name + extension;
}

}  // namespace

Config* Config::open(ZipMain& main) {
  if (!Instance()) {
    auto* window = new Config(main);
    if (!window->Form_Load()) {
      delete window;
      return nullptr;
    }
    Instance() = window;
  }
  return Instance();
}

Config* Config::existing() { return Instance(); }

Config::Config(ZipMain& main) : QWidget(&main, Qt::Window), ui_(std::make_unique<Ui::Config>()), main_(main) {
  ui_->setupUi(this);
  setAttribute(Qt::WA_DeleteOnClose, false);
  // Above the main window whenever it is active: set before the first show,
  // since changing the flag of a shown window hides it and takes its focus.
  setWindowFlag(Qt::WindowStaysOnTopHint, true);
  setProperty(kFormProperty, true);
  for (int i = 0; i < kInsertFieldsUsed; ++i) ui_->FieldList->addItem(InsertFieldName(i));
  ui_->IniFile->setCurrentText(QStringLiteral("Corvellan"));

  connect(ui_->FieldList, &QListWidget::currentRowChanged, this, &Config::FieldList_Click);
  connect(ui_->Order, &QLineEdit::textChanged, this, &Config::Order_Change);
  connect(ui_->Before, &QLineEdit::textChanged, this, &Config::Before_Change);
  connect(ui_->After, &QLineEdit::textChanged, this, &Config::After_Change);
  connect(ui_->CaseOpt, &QCheckBox::clicked, this, &Config::CaseOpt_Click);
  connect(ui_->SetupOption_2, &QCheckBox::clicked, this, &Config::SetupOption_Click);
  connect(ui_->IniFile, &QComboBox::activated, this, &Config::IniFile_Click);
  connect(ui_->SaveButton, &QPushButton::clicked, this, &Config::SaveButton_Click);
  connect(ui_->Description, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (!showing_) CurrentInsertSettings().Description = text;
  });
  for (QWidget* box : {ui_->Order, ui_->Before, ui_->After}) box->installEventFilter(this);
  // The list is read again whenever it is opened.
  ui_->IniFile->installEventFilter(this);
}

Config::~Config() = default;

bool Config::Form_Load() {
  if (!ListCfgFiles()) return false;
  ShowLoaded();
  adjustSize();
  CenterForm(this, 0);
  // The top edge sits 100 twips below the top of the screen.
  const QScreen* screen = this->screen();
  const int top = (screen != nullptr ? screen->availableGeometry().top() : 0) + TwipsToPixels(this, 100);
  move(x(), top);
  return true;
}

namespace {

// The names of the .cfg files of the program directory, without extension.
QStringList CfgNames() {
  const QString& dir = App().ProgramDir;
  QStringList names;
  const QFileInfoList files =
      dir.isEmpty() ? QFileInfoList() : QDir(dir).entryInfoList(QDir::Files, QDir::Name | QDir::IgnoreCase);
  for (const QFileInfo& file : files) {
    if (file.fileName().endsWith(QLatin1String(".cfg"), Qt::CaseInsensitive) && file.fileName().size() > 4) {
      names.append(file.fileName().chopped(4));
    }
  }
  return names;
}

}  // namespace

void Config::RescanCfgFiles() {
  if (CfgNames().isEmpty()) return;
  const QString shown = ui_->IniFile->currentText();
  ListCfgFiles();
  ui_->IniFile->setCurrentText(shown);
}

bool Config::ListCfgFiles() {
  const QStringList names = CfgNames();
  if (names.isEmpty()) {
    MessageBox::critical(isVisible() ? this : main_.dialogParent(), QStringLiteral("Cannot find working files"));
    Desktop::endProgram(1);
    return false;
  }
  const QString current = ui_->IniFile->currentText();
  ui_->IniFile->clear();
  ui_->IniFile->addItems(names);
  const auto match = std::find_if(names.begin(), names.end(),
                                  [&current](const QString& name) { return name.compare(current, Qt::CaseInsensitive) == 0; });
  if (match != names.end()) {
    ui_->IniFile->setCurrentIndex(static_cast<int>(match - names.begin()));
  } else {
    ui_->IniFile->setCurrentIndex(-1);
    ui_->IniFile->setCurrentText(current);
  }
  return true;
}

void Config::ShowLoaded() {
  const InsertSettings& settings = CurrentInsertSettings();
  showing_ = true;
  ui_->IniFile->setCurrentText(BaseName(App().CfgFile));
  ui_->Description->setText(settings.Description);
  ui_->Description->setCursorPosition(0);  // show the beginning of a long text
  ui_->SetupOption_2->setChecked(settings.LineSqueeze);
  showing_ = false;
  ShowSetting();
}

void Config::ShowSetting() {
  const InsertSettings& settings = CurrentInsertSettings();
  const auto at = static_cast<std::size_t>(std::clamp(currentField_, 0, kInsertFieldCount - 1));
  showing_ = true;
  ui_->Order->setText(settings.FieldOrder[at]);
  ui_->Before->setText(settings.BeforeKeys[at]);
  ui_->After->setText(settings.AfterKeys[at]);
  switch (CaseClassOf(currentField_)) {
    case CaseClass::AlwaysUpper:
      ui_->CaseOpt->setChecked(true);
      ui_->CaseOpt->setEnabled(false);
      break;
    case CaseClass::NotApplicable:
      ui_->CaseOpt->setChecked(false);
      ui_->CaseOpt->setEnabled(false);
      break;
    case CaseClass::UserChoice:
      ui_->CaseOpt->setEnabled(true);
      ui_->CaseOpt->setChecked(settings.CaseOption[at] == kCaseUpper);
      break;
  }
  showing_ = false;
}

void Config::SelectFirstField() {
  if (ui_->FieldList->currentRow() == 0) {
    FieldList_Click();
  } else {
    ui_->FieldList->setCurrentRow(0);
  }
}

void Config::FieldList_Click() {
  const int row = ui_->FieldList->currentRow();
  if (row < 0) return;
  currentField_ = row;
  ShowSetting();
}

void Config::Order_Change() {
  if (showing_) return;
  CurrentInsertSettings().FieldOrder[static_cast<std::size_t>(currentField_)] =
      QString::number(OrderNumber(ui_->Order->text()));
}

void Config::Order_LostFocus() {
  const QString text = ui_->Order->text();
  const long value = OrderNumber(text);
  if ((value < 1 && text != QLatin1String("0")) || value >= 22) ui_->Order->setText(QStringLiteral("0"));
}

void Config::Before_Change() {
  if (!showing_) CurrentInsertSettings().BeforeKeys[static_cast<std::size_t>(currentField_)] = ui_->Before->text();
}

void Config::After_Change() {
  if (!showing_) CurrentInsertSettings().AfterKeys[static_cast<std::size_t>(currentField_)] = ui_->After->text();
}

void Config::CaseOpt_Click() {
  int& option = CurrentInsertSettings().CaseOption[static_cast<std::size_t>(currentField_)];
  switch (CaseClassOf(currentField_)) {
    case CaseClass::AlwaysUpper:
      option = kCaseUpper;
      break;
    case CaseClass::NotApplicable:
      option = kCaseNotApplicable;
      break;
    case CaseClass::UserChoice:
      option = ui_->CaseOpt->isChecked() ? kCaseUpper : kCaseNo;
      break;
  }
}

void Config::SetupOption_Click() { CurrentInsertSettings().LineSqueeze = ui_->SetupOption_2->isChecked(); }

void Config::IniFile_Click() {
  const QString name = ui_->IniFile->currentText();
  currentField_ = 0;
  ui_->FieldList->setCurrentRow(0);
  App().CfgFile = CfgPath(name, QStringLiteral(".Cfg"));
  LoadCfg(main_);
  ui_->IniFile->setCurrentText(name);
  ShowSetting();
}

void Config::SaveButton_Click() {
  const QString name = ui_->IniFile->currentText().trimmed();
  // The name is typed: it names a file in the program directory and nothing
  // else (no hidden ".cfg", no path).
  if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.startsWith(QLatin1Char('.'))) {
    MessageBox::critical(this, QStringLiteral("Please type a name for the settings file (without \"/\")."));
    return;
  }
  InsertSettings& settings = CurrentInsertSettings();
  settings.Description = ui_->Description->text();
  settings.LineSqueeze = ui_->SetupOption_2->isChecked();
  const QString path = CfgPath(name, QStringLiteral(".cfg"));
  if (!WriteCfgFile(path, settings)) {
    MessageBox::critical(this, QStringLiteral("Unable to save the settings file ") + path);
  }
  ShowSetting();
  ui_->IniFile->setCurrentText(name);
  ListCfgFiles();
  ui_->IniFile->setCurrentText(name);
}

void Config::Form_Activate() {
  ApplyOnTop(&main_, false);
  ApplyOnTop(this, true);
  update();
  SelectFirstField();
}

bool Config::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) Form_Activate();
  // Shown again (View, Insert Settings): files copied in meanwhile appear.
  if (event->type() == QEvent::Show) RescanCfgFiles();
  return QWidget::event(event);
}

bool Config::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui_->IniFile) {
    // Before the list drops down: a click, Alt+Down or F4.
    const auto* key = event->type() == QEvent::KeyPress ? static_cast<QKeyEvent*>(event) : nullptr;
    if (event->type() == QEvent::MouseButtonPress ||
        (key != nullptr && (key->key() == Qt::Key_F4 ||
                            (key->key() == Qt::Key_Down && key->modifiers().testFlag(Qt::AltModifier))))) {
      RescanCfgFiles();
    }
    return QWidget::eventFilter(watched, event);
  }
  auto* box = qobject_cast<QLineEdit*>(watched);
  if (box != nullptr && event->type() == QEvent::FocusIn) {
    // After the click that gave the focus has placed the caret.
    QTimer::singleShot(0, box, &QLineEdit::selectAll);
  } else if (watched == ui_->Order && event->type() == QEvent::FocusOut) {
    Order_LostFocus();
  }
  return QWidget::eventFilter(watched, event);
}

void mnuViewSetting_Click(ZipMain& main) {
  Config* window = Config::open(main);
  if (window == nullptr) return;
  window->show();
  window->raise();
  window->activateWindow();
}

}  // namespace corvellan
