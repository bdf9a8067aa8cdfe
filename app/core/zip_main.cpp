#include "core/zip_main.h"

#include "core/access_keys.h"
#include "core/address_box.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabBar>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <limits>
#include <utility>

#include "core/about_dialog.h"
#include "core/app_globals.h"
#include "core/database_setup.h"
#include "core/form_placement.h"
#include "core/query_prep.h"
#include "core/org_search.h"
#include "core/record_display.h"
#include "core/result_export.h"
#include "core/result_lines.h"
#include "core/search_driver.h"
#include "core/help_window.h"
#include "core/search_fields.h"
#include "core/settings.h"
#include "core/startup.h"
#include "core/desktop.h"
#include "core/zip_examination.h"
#include "labels/label_form.h"
#include "labels/label_printing.h"
#include "labels/label_templates.h"
#include "transfer/clipboard_copy.h"
#include "transfer/config_window.h"
#include "transfer/dde_link.h"
#include "transfer/dde_setup.h"
#include "transfer/icon_window.h"
#include "transfer/insert_settings.h"
#include "transfer/insert_target.h"
#include "ui_zip_main.h"

namespace corvellan {

namespace {

constexpr char kGeneral[] = "General Settings";
constexpr char kHomePage[] = "https://www.corvellan.example/";
constexpr char kSupportPage[] = "https://www.corvellan.example/support/";
constexpr char kOrderPage[] = "https://www.corvellan.example/order/";

int& SplashMilliseconds() {
  static int milliseconds = 2592;  // 0.00003 of a day
  return milliseconds;
}

long TagValue(const QWidget* widget) { return IniNumber(widget->property("Tag").toString()); }

// The character code a key press types (8 for Backspace), or -1 for keys that
// type nothing: arrows, Delete, Enter, Tab and commands (TypedKeyEffect).
int TypedKeyCode(const QKeyEvent* event) {
  if (event->key() == Qt::Key_Backspace) return kKeyBackspace;
  const QList<uint> chars = event->text().toUcs4();
  if (chars.size() != 1 || chars.front() < 32 || chars.front() == 127) return -1;
  return static_cast<int>(chars.front());
}

}  // namespace

ZipMain::ZipMain(QWidget* parent) : QMainWindow(parent), ui_(std::make_unique<Ui::ZipMain>()) {
  ui_->setupUi(this);
  setProperty(kFormProperty, true);
  ui_->StateList->addItems(StateCodes());
  ui_->StateList->setCurrentIndex(-1);
  ui_->StateList->lineEdit()->setMaxLength(32);
  // The box holds what was typed or picked: completing N to NC would search
  // a state the user did not ask for.
  ui_->StateList->setCompleter(nullptr);
  about_ = new AboutDialog(this);
  KeepCaptionsWhole();
  BuildStatusBar();
  ConnectControls();
  InstallFieldFilters();
  InstallLabelForm(*this);
  new AddressBox(*this);
  InstallKeyboard();
  // The hourglass of a running search shows everywhere but over the results
  // and the Cancel button, from where the search can be stopped.
  for (QWidget* arrow : {static_cast<QWidget*>(ui_->FoundList), ui_->FoundList->viewport(),
                         static_cast<QWidget*>(ui_->CancelSearch)}) {
    arrow->setCursor(Qt::ArrowCursor);
  }
  Form_Resize();
}

ZipMain::~ZipMain() = default;

void ZipMain::setSplashMillisecondsForTesting(int milliseconds) { SplashMilliseconds() = milliseconds; }

void ZipMain::KeepCaptionsWhole() {
  // A caption's size hint can fall a pixel or two short of its drawn width
  // with some fonts, which clips the last letter in a tight layout column.
  for (QLabel* label : findChildren<QLabel*>()) {
    if (label->window() != this || label->wordWrap()) continue;
    QString text = label->text();
    text.remove(QLatin1Char('&'));
    const int width = label->fontMetrics().horizontalAdvance(text) + 4;
    if (label->minimumWidth() < width) label->setMinimumWidth(width);
  }
}

void ZipMain::BuildStatusBar() {
  for (int i = 1; i <= 3; ++i) {
    auto* panel = new QLabel(this);
    panel->setObjectName(QStringLiteral("StatusPanel_%1").arg(i));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setContentsMargins(4, 0, 4, 0);
    panel->setMinimumWidth(i == 1 ? 260 : 150);
    ui_->StatusBar1->addPermanentWidget(panel, i == 1 ? 3 : 1);
    panels_.append(panel);
  }
}

void ZipMain::ConnectControls() {
  connect(ui_->MnuFileExport, &QAction::triggered, this, &ZipMain::MnuFileExport_Click);
  connect(ui_->mnuFilePrintPreview, &QAction::triggered, this, [this] { PrintPreview_Click(*this); });
  connect(ui_->mnuFileExit, &QAction::triggered, this, &ZipMain::mnuFileExit_Click);
  connect(ui_->mnuFileUpdateDatabase, &QAction::triggered, this, [this] { OpenDatabaseUpdate(*this); });
  connect(ui_->mnuEditClear, &QAction::triggered, this, &ZipMain::mnuEditClear_Click);
  connect(ui_->mnuEditOnTop, &QAction::triggered, this, &ZipMain::mnuEditOnTop_Click);
  connect(ui_->mnuEditExact, &QAction::triggered, this, &ZipMain::mnuEditExact_Click);
  connect(ui_->mnuHelpAbout, &QAction::triggered, this, &ZipMain::mnuHelpAbout_Click);
  connect(ui_->mnuEditInsert, &QAction::triggered, this, &ZipMain::mnuEditInsert_Click);
  connect(ui_->mnuViewDDE, &QAction::triggered, this, [this] { mnuViewDDE_Click(*this); });
  connect(ui_->mnuViewIcon, &QAction::triggered, this, [this] { mnuViewIcon_Click(*this); });
  connect(ui_->mnuEditCopy, &QAction::triggered, this, &ZipMain::mnuEditCopy_Click);
  connect(ui_->mnuViewSetting, &QAction::triggered, this, &ZipMain::mnuViewSetting_Click);
  connect(ui_->CmdIns, &QPushButton::clicked, this, &ZipMain::CmdIns_Click);
  const QList<QAction*> help = {ui_->mnuHelpWWW_0, ui_->mnuHelpWWW_1, ui_->mnuHelpWWW_2,
                                ui_->mnuHelpWWW_3, ui_->mnuHelpWWW_4, ui_->mnuHelpWWW_5};
  for (int i = 0; i < help.size(); ++i) {
    connect(help[i], &QAction::triggered, this, [this, i] { MnuHelpWWW_Click(i); });
  }
  connect(about_, &AboutDialog::linkRequested, this, &ZipMain::MnuHelpWWW_Click);

  connect(ui_->SearchButton, &QPushButton::clicked, this, &ZipMain::SearchButton_Click);
  connect(ui_->CancelSearch, &QPushButton::clicked, this, &ZipMain::CancelSearch_Click);
  connect(ui_->SearchZip, &QLineEdit::textChanged, this, &ZipMain::SearchZip_Change);
  connect(ui_->SearchRecipient, &QLineEdit::textChanged, this, &ZipMain::SearchRecipient_Change);
  connect(ui_->SearchSecdry, &QLineEdit::textChanged, this, &ZipMain::SearchSecdry_Change);
  connect(ui_->SearchNumber, &QLineEdit::textChanged, this, &ZipMain::SearchNumber_Change);

  // A line becomes current by a click or by the keyboard; either shows its
  // record. A click on the line that is already current shows it again.
  connect(ui_->FoundList, &QListWidget::currentRowChanged, this, &ZipMain::FoundListCurrentRowChanged);
  connect(ui_->FoundList, &QListWidget::itemClicked, this, &ZipMain::FoundListItemClicked);
  connect(ui_->FoundList, &QListWidget::itemDoubleClicked, this, &ZipMain::FoundList_DblClick);

  connect(ui_->OrgSearch, &QPushButton::clicked, this, &ZipMain::OrgSearch_Click);
  // Enter in the organization's ZIP box lists (the address search would
  // empty the box).
  connect(ui_->OrgZip, &QLineEdit::returnPressed, ui_->OrgSearch, &QPushButton::click);
  connect(ui_->OrgList, &QListWidget::currentRowChanged, this, &ZipMain::OrgListCurrentRowChanged);
  connect(ui_->OrgList, &QListWidget::itemClicked, this, &ZipMain::OrgListItemClicked);
  connect(ui_->OrgList, &QListWidget::itemDoubleClicked, this, &ZipMain::OrgList_DblClick);

  // The search button is the window's default button: Enter in any search
  // field runs the search.
  const QList<QLineEdit*> enterStartsSearch = {ui_->SearchZip,    ui_->SearchRecipient, ui_->SearchSecdry,
                                               ui_->SearchNumber, ui_->SearchStreet,    ui_->SearchCity,
                                               ui_->MaxQty,       ui_->StateList->lineEdit()};
  for (QLineEdit* field : enterStartsSearch) {
    connect(field, &QLineEdit::returnPressed, ui_->SearchButton, &QPushButton::click);
  }

  connect(qApp, &QGuiApplication::focusWindowChanged, this, &ZipMain::FocusWindowChanged);
}

void ZipMain::InstallKeyboard() {
  QTabWidget* tabs = ui_->SSTab1;
  const auto shortcut = [this](const QKeySequence& keys, auto slot) {
    auto* made = new QShortcut(keys, this);
    made->setContext(Qt::WindowShortcut);
    connect(made, &QShortcut::activated, this, slot);
  };
  const auto step = [tabs](int by) { tabs->setCurrentIndex((tabs->currentIndex() + by + tabs->count()) % tabs->count()); };
  // From anywhere in the window, not only from inside the tabs.
  shortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab), [step] { step(1); });
  // Shift+Tab arrives as Backtab from most keyboards.
  shortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), [step] { step(-1); });
  shortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), [step] { step(-1); });
  for (int i = 0; i < tabs->count() && i < 9; ++i) {
    const QString key = QStringLiteral("Alt+%1").arg(i + 1);
    shortcut(QKeySequence(key), [tabs, i] { tabs->setCurrentIndex(i); });
    tabs->setTabToolTip(i, key + QStringLiteral("; Ctrl+Tab next tab, Ctrl+Shift+Tab previous tab"));
  }
  tabs->tabBar()->setProperty(kKeyRouteProperty, QStringLiteral("Alt+1 to Alt+%1, Ctrl+Tab, Ctrl+Shift+Tab")
                                                     .arg(std::min<qsizetype>(tabs->count(), 9)));

  // Esc stops a search, an organization listing or an export, as Cancel does.
  // With nothing under way it does nothing (no "Cancelled" in the status bar).
  shortcut(QKeySequence(Qt::Key_Escape), [this] {
    const AppGlobals& app = App();
    if (app.LookupsRunning > 0 || app.BusyPointer == kBusyPointerHourglass) ui_->CancelSearch->click();
  });
  ui_->CancelSearch->setProperty(kKeyRouteProperty, QStringLiteral("Esc"));
  // The window's default button: Enter in a search field.
  ui_->SearchButton->setProperty(kKeyRouteProperty, QStringLiteral("Enter"));
  ui_->OrgList->setProperty(kKeyRouteProperty, QStringLiteral("Down in Zip Code"));
  ui_->OrgList->setAccessibleName(QStringLiteral("Organization list"));
  tabs->tabBar()->setAccessibleName(QStringLiteral("Tabs"));

  // A control of the tab shown wins a letter it shares with the search frame.
  connect(tabs, &QTabWidget::currentChanged, this, [this, tabs] { ShareAccessKeys(this, tabs->currentWidget()); });
  ShareAccessKeys(this, tabs->currentWidget());
}

void ZipMain::InstallFieldFilters() {
  searchTextBoxes_ = {ui_->SearchZip,    ui_->SearchRecipient, ui_->SearchSecdry, ui_->SearchNumber,
                      ui_->SearchStreet, ui_->SearchCity,      ui_->MaxQty};
  for (QWidget* field : searchTextBoxes_) field->installEventFilter(this);
  ui_->StateList->installEventFilter(this);
  for (QLabel* label : {ui_->SearchLab_0, ui_->SearchLab_1, ui_->SearchLab_2, ui_->SearchLab_3, ui_->SearchLab_4,
                        ui_->SearchLab_5, ui_->Label15, ui_->QtyLab, ui_->TargetApp}) {
    label->installEventFilter(this);
  }
  // Every text box, so that Ctrl+X reaches the Exact Street Match item.
  for (QLineEdit* edit : findChildren<QLineEdit*>()) edit->installEventFilter(this);
  for (QPlainTextEdit* edit : findChildren<QPlainTextEdit*>()) edit->installEventFilter(this);
  ui_->FoundList->installEventFilter(this);
  ui_->OrgList->installEventFilter(this);
  ui_->FoundList->viewport()->installEventFilter(this);
  ui_->OrgList->viewport()->installEventFilter(this);
}

// ---------------------------------------------------------------- start-up

bool ZipMain::Form_Load(const QStringList& arguments) {
  AppGlobals& app = App();
  ClearScreen(10);

  app.IniFile = QStringLiteral("Corvel.ini");
  QString dataSetting = GetIni(app.IniFile, QStringLiteral("Directories"), QStringLiteral("Data"));
  // No data directory configured at all (a first start): offer to create one.
  if (dataSetting.isEmpty()) dataSetting = SetUpFirstDatabase(dialogParent());
  app.DataDir = DirectoryWithSlash(dataSetting);
  const QFileInfo database(app.DataDir + QStringLiteral("zip.cvd"));
  if (!database.exists() || database.isDir()) {
    MessageBox::critical(dialogParent(), QStringLiteral("Unable to Locate Data Files"));
    Desktop::endProgram(1);
    return false;
  }

  const QString programSetting = GetIni(app.IniFile, QStringLiteral("Directories"), QStringLiteral("Program"));
  app.ProgramDir = DirectoryWithSlash(programSetting);
  if (!FindNoCase(app.ProgramDir, QLatin1String(kProgramMarker))) {
    app.ProgramDir = app.DataDir;
    // An installed program keeps its program files in share/corvellan.
    if (programSetting.isEmpty() && !FindNoCase(app.ProgramDir, QLatin1String(kProgramMarker)) &&
        !InstalledProgramDir().isEmpty()) {
      app.ProgramDir = InstalledProgramDir();
    }
    if (!FindNoCase(app.ProgramDir, QLatin1String(kProgramMarker))) {
      MessageBox::critical(dialogParent(), QStringLiteral("Unable to Locate Program Files"));
      Desktop::endProgram(1);
      return false;
    }
  }

  QElapsedTimer splashClock;
  splashClock.start();
  ShowSplash(FormatStampDate(database.lastModified()));

  app.CfgFile = ChooseCfgFile(app.ProgramDir, arguments.value(0));
  SetStatus(QStringLiteral("Read Ini"));
  LoadCfg(*this);

  WaitForSplash(SplashMilliseconds() - splashClock.elapsed());

  CheckTarget(*this);
  ReadBarcodeSettings();
  CenterForm(this, 0);  // the place of a first start; a stored placement wins
  restoredOuter_ = RestoreFormPlacement(this, ui_->mnuEditOnTop);
  LoadLabFiles(*this);
  LoadDDE(*this);
  CheckTarget(*this);
  app.CurrentRecord = 1;
  OfferWhatsNew();

  about_->hide();
  SetStatus(QStringLiteral("Ready"));
  loaded_ = true;
  return true;
}

void ZipMain::ShowSplash(const QString& dataDate) {
  const AppGlobals& app = App();
  // Directories are shown in lower case, as the About window always has.
  about_->setDirectories(app.ProgramDir.toLower(), app.DataDir.toLower(), dataDate);
  about_->adjustSize();
  CenterForm(about_, 2);
  about_->show();
  about_->raise();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  about_->repaint();
}

void ZipMain::WaitForSplash(qint64 remaining) const {
  // The splash stays up for its minimum time even when start-up is quicker.
  // Paint requests are served meanwhile; typing and clicks wait.
  QElapsedTimer waited;
  waited.start();
  while (waited.elapsed() < remaining) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
    QThread::msleep(static_cast<unsigned long>(std::clamp<qint64>(remaining - waited.elapsed(), 0, 15)));
  }
}

void ZipMain::ReadBarcodeSettings() { ApplyBarcodeSettings(*this); }

void ZipMain::OfferWhatsNew() {
  const AppGlobals& app = App();
  const auto document = FindNoCase(app.ProgramDir, QStringLiteral("docs/Zip_new.htm"));
  if (!document) return;
  const QString stamp = FormatStampDate(QFileInfo(*document).lastModified());
  const QString section = QLatin1String(kGeneral);
  if (stamp == GetIni(app.IniFile, section, QStringLiteral("Whats New"))) return;
  if (MessageBox::questionYesNo(dialogParent(), QStringLiteral("Would you like to read the updated 'What's New' file?"))) {
    MnuHelpWWW_Click(2);
  }
  WriteIni(section, QStringLiteral("Whats New"), stamp, app.IniFile);
}

// ---------------------------------------------------------------- window life

void ZipMain::FocusWindowChanged(QWindow* now) {
  const QPointer<QWindow> before = lastFocusWindow_;
  lastFocusWindow_ = now;
  if (now == nullptr || now != windowHandle()) return;
  // Coming back from another program is not an activation of the form;
  // coming back from one of the program's own windows is.
  if (!activatedOnce_ || IsOwnForm(before)) Form_Activate();
}

bool ZipMain::IsOwnForm(const QWindow* window) const {
  if (window == nullptr) return false;
  for (const QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->windowHandle() == window) return widget->property(kFormProperty).toBool();
  }
  return false;
}

void ZipMain::Form_Activate() {
  activatedOnce_ = true;
  ui_->SSTab1->setCurrentIndex(0);
  update();
  ApplyOnTop(this, ui_->mnuEditOnTop->isChecked());
  about_->hide();
  ui_->SearchZip->setFocus(Qt::ActiveWindowFocusReason);
}

void ZipMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (restoredOuter_.isNull()) return;
  // The stored rectangle is the outer one; before the first show the window
  // manager's frame was unknown, so the window is placed again once it is.
  FinishRestoredPlacement(this, std::exchange(restoredOuter_, QRect()));
}

void ZipMain::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  Form_Resize();
}

void ZipMain::Form_Resize() {
  // The layout rules in twips of the outer window (height H, width W): the tab
  // control keeps its height at the bottom (top at H - 4905), the results
  // frame takes the rest (H - 6690) and the list fills it, and the frames span
  // the width (W - 210). The layouts place everything accordingly; what stays
  // here is that no computed size falls below 200 twips.
  const int floor = TwipsToPixels(this, 200);
  for (QWidget* frame : {static_cast<QWidget*>(ui_->fmresult), static_cast<QWidget*>(ui_->fmSearch),
                         static_cast<QWidget*>(ui_->SSTab1)}) {
    frame->setMinimumWidth(floor);
  }
  ui_->fmresult->setMinimumHeight(floor);
  ui_->FoundList->setMinimumHeight(floor);
  ui_->FoundList->setMinimumWidth(floor);
}

void ZipMain::closeEvent(QCloseEvent* event) {
  Form_QueryUnload();
  Form_Unload();
  event->accept();
}

void ZipMain::Form_QueryUnload() { App().Closing = true; }

void ZipMain::Form_Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  // A start-up that ended early has nothing to remember.
  if (loaded_) SaveFormPlacement(this, ui_->mnuEditOnTop);
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window == this || !window->property(kFormProperty).toBool()) continue;
    SetStatus(QStringLiteral("Unloading ") + window->windowTitle());
    window->close();
  }
  QCoreApplication::quit();
}

void ZipMain::mnuFileExit_Click() {
  App().Closing = true;
  close();
}

// ---------------------------------------------------------------- clearing and status

void ZipMain::ClearScreen(int level) {
  for (QLineEdit* edit : findChildren<QLineEdit*>()) {
    if (edit->window() != this || qobject_cast<QComboBox*>(edit->parentWidget()) != nullptr) continue;
    if (TagValue(edit) < level) edit->clear();
  }
  for (QPlainTextEdit* edit : findChildren<QPlainTextEdit*>()) {
    if (edit->window() == this && TagValue(edit) < level) edit->clear();
  }
  if (level > 9) ui_->StateList->setEditText(QString());
  ui_->FoundList->clear();
  ui_->OrgList->clear();
  SetPanelText(2, QString());
  SetPanelText(3, QString());
}

void ZipMain::mnuEditClear_Click() {
  ClearScreen(10);
  ui_->FoundList->clear();
  // No state selected: choosing the first code of the list here would leave
  // a state condition behind that the user did not ask for.
  ui_->StateList->setCurrentIndex(-1);
  ui_->StateList->setEditText(QString());
}

QWidget* ZipMain::dialogParent() {
  if (isVisible()) return this;
  if (about_->isVisible()) return about_;
  return nullptr;
}

void ZipMain::SetStatus(const QString& text) { SetPanelText(1, text); }

void ZipMain::SetPanelText(int panel, const QString& text) {
  if (panel < 1 || panel > panels_.size()) return;
  panels_[panel - 1]->setText(text);
}

QString ZipMain::PanelText(int panel) const {
  if (panel < 1 || panel > panels_.size()) return {};
  return panels_[panel - 1]->text();
}

void ZipMain::ShowEngineError(int code) { MessageBox::critical(dialogParent(), EngineErrorText(code)); }

// ---------------------------------------------------------------- menus

void ZipMain::mnuEditOnTop_Click() {
  // The item toggles its own check mark before this runs.
  const bool onTop = ui_->mnuEditOnTop->isChecked();
  ApplyOnTop(this, onTop);
  WriteIni(QLatin1String(kGeneral), QStringLiteral("Main Form On Top"),
           onTop ? QStringLiteral("Yes") : QStringLiteral("No"), App().IniFile);
}

void ZipMain::mnuEditInsert_Click() { InsertAddress(*this); }

void ZipMain::CmdIns_Click() { mnuEditInsert_Click(); }

void ZipMain::TargetApp_Click() { RefreshTargetList(*this); }

void ZipMain::mnuEditCopy_Click() { corvellan::mnuEditCopy_Click(*this); }

void ZipMain::mnuViewSetting_Click() { corvellan::mnuViewSetting_Click(*this); }

void ZipMain::mnuEditExact_Click() {
  // A checkable item: its check mark is already toggled; the search reads it.
}

void ZipMain::mnuHelpAbout_Click() {
  CenterForm(about_, 2);
  about_->exec();
}

void ZipMain::MnuHelpWWW_Click(int index) {
  const auto localDocument = [](const QString& name) {
    const QString& dir = App().ProgramDir;
    return FindNoCase(dir, QStringLiteral("docs/") + name).value_or(dir + QStringLiteral("docs/") + name);
  };
  switch (index) {
    case 0:
      ShowDoc(localDocument(QStringLiteral("zip_ins.htm")));
      break;
    case 1:
      ShowDoc(localDocument(QStringLiteral("zip_api.htm")));
      break;
    case 2:
      ShowDoc(localDocument(QStringLiteral("zip_new.htm")));
      break;
    case 3:
      ShowDoc(QLatin1String(kHomePage));
      break;
    case 4:
      ShowDoc(QLatin1String(kSupportPage));
      break;
    case 5:
      ShowDoc(localDocument(QStringLiteral("license.htm")));
      break;
    case 6:
      ShowDoc(QLatin1String(kOrderPage));
      break;
    default:
      break;
  }
}

int ZipMain::ShowDoc(const QString& document) {
  int result = kDocOpened;
  QUrl url;
  if (document.startsWith(QLatin1String("https://")) || document.startsWith(QLatin1String("http://"))) {
    url = QUrl(document);
  } else {
    const QFileInfo file(document);
    if (!file.absoluteDir().exists()) {
      result = kDocPathNotFound;
    } else if (!file.exists()) {
      result = kDocFileNotFound;
    } else if (!file.isReadable()) {
      result = kDocAccessDenied;
    }
    url = QUrl::fromLocalFile(file.absoluteFilePath());
  }
  if (result > 32 && !Desktop::openUrl(url)) {
    if (!url.isLocalFile()) {
      // No browser: the address is shown so that it can be used elsewhere.
      MessageBox::criticalSelectable(dialogParent(), NoBrowserText(url));
      return kDocNoAssociation;
    }
    // Without a program for HTML the help documents show in our own window.
    result = HelpWindow::ShowDocument(this, url.toLocalFile()) ? kDocOpened : kDocNoAssociation;
  }
  if (result < 33) MessageBox::critical(dialogParent(), DocErrorText(result));
  return result;
}

// ---------------------------------------------------------------- search frame

void ZipMain::SearchButton_Click() { search::SearchButton_Click(*this); }

void ZipMain::CancelSearch_Click() {
  AppGlobals& app = App();
  app.CancelFlag = true;
  app.ExportCancelled = true;
  SetStatus(QStringLiteral("Cancelled"));
  SetBusyPointer(kBusyPointerDefault);
}

void ZipMain::SetBusyPointer(int shape) {
  App().BusyPointer = shape;
  if (shape == kBusyPointerHourglass) {
    setCursor(Qt::WaitCursor);
  } else {
    unsetCursor();
  }
}

void ZipMain::TestIfValid(bool& ok) { ok = corvellan::TestIfValid(App().Address, CurrentFilters()); }

void ZipMain::ClearsRec() { App().Request.Clear(); }

void ZipMain::SearchZip_Change() { examination::SearchZip_Change(*this); }

void ZipMain::SearchRecipient_Change() { App().RecipientFilter = TrimBlanks(ui_->SearchRecipient->text()); }

void ZipMain::SearchSecdry_Change() { App().UnitFilter = TrimBlanks(ui_->SearchSecdry->text()); }

void ZipMain::SearchNumber_Change() { App().NumberFilter = StripLeadingZeros(ui_->SearchNumber->text()); }

void ZipMain::SearchLab_Click(int index) {
  switch (index) {
    case 0:
      ui_->SearchZip->clear();
      break;
    case 1:
      ui_->SearchRecipient->clear();
      break;
    case 2:
      ui_->SearchNumber->clear();
      break;
    case 3:
      ui_->SearchStreet->clear();
      break;
    case 4:
      ui_->SearchCity->clear();
      break;
    case 5:
      ui_->StateList->setEditText(QString());
      break;
    default:
      break;
  }
}

void ZipMain::Label15_Click() { ui_->SearchSecdry->clear(); }

void ZipMain::QtyLab_Click() { ui_->MaxQty->setText(NextSearchQty(ui_->MaxQty->text())); }

// ---------------------------------------------------------------- results and record display

void ZipMain::FoundList_Click() { display::FoundList_Click(*this); }

void ZipMain::FoundList_DblClick() { display::FoundList_DblClick(*this); }

void ZipMain::FindAddress(const QString& key, std::int32_t& n) { display::FindAddress(*this, key, n); }

void ZipMain::ShowData() { display::ShowData(*this); }

void ZipMain::ShowZip4Rec() { display::ShowZip4Rec(*this); }

void ZipMain::ShowCityStateRecord() { display::ShowCityStateRecord(*this); }

void ZipMain::FoundListCurrentRowChanged(int row) {
  // Emptying the list is not a click.
  if (row < 0) return;
  if (linePressed_) pressShowedLine_ = true;
  FoundList_Click();
}

void ZipMain::FoundListItemClicked() {
  if (pressShowedLine_) {
    pressShowedLine_ = false;
    return;
  }
  FoundList_Click();
}

// ---------------------------------------------------------------- organizations and export

void ZipMain::OrgSearch_Click() { org::OrgSearch_Click(*this); }

void ZipMain::OrgList_Click() { org::OrgList_Click(*this); }

void ZipMain::OrgList_DblClick() { org::OrgList_DblClick(*this); }

void ZipMain::MnuFileExport_Click() { exporting::MnuFileExport_Click(*this); }

void ZipMain::OrgListCurrentRowChanged(int row) {
  if (row < 0) return;
  if (orgLinePressed_) orgPressShowedLine_ = true;
  OrgList_Click();
}

void ZipMain::OrgListItemClicked() {
  if (orgPressShowedLine_) {
    orgPressShowedLine_ = false;
    return;
  }
  OrgList_Click();
}

bool ZipMain::LabelClicked(QObject* label) {
  const QList<QLabel*> searchLabels = {ui_->SearchLab_0, ui_->SearchLab_1, ui_->SearchLab_2,
                                       ui_->SearchLab_3, ui_->SearchLab_4, ui_->SearchLab_5};
  const qsizetype index = searchLabels.indexOf(qobject_cast<QLabel*>(label));
  if (index >= 0) {
    SearchLab_Click(static_cast<int>(index));
  } else if (label == ui_->Label15) {
    Label15_Click();
  } else if (label == ui_->QtyLab) {
    QtyLab_Click();
  } else if (label == ui_->TargetApp) {
    TargetApp_Click();
  } else {
    return false;
  }
  return true;
}

void ZipMain::FieldGotFocus(QWidget* field, Qt::FocusReason reason) {
  // The text is selected when the user moves to the field (Tab, Backtab, a
  // click, an access key), not when the focus comes back from a closed
  // context menu or another window: the next key would replace the text.
  const bool select = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                      reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason;
  if (auto* edit = qobject_cast<QLineEdit*>(field)) {
    // Selected after the click that gave the focus has placed the caret.
    if (select) QTimer::singleShot(0, edit, &QLineEdit::selectAll);
    QFont font = edit->font();
    font.setBold(true);
    edit->setFont(font);
  } else if (field == ui_->StateList && select) {
    QTimer::singleShot(0, ui_->StateList->lineEdit(), &QLineEdit::selectAll);
  }
}

bool ZipMain::ListGotFocus(QListWidget* list, QFocusEvent* event) {
  if (listTakingFocus_ || list->currentItem() != nullptr) return false;
  // Given the focus without a current line, the list makes its first line
  // current, which would show that line and stop a running search. Focus
  // alone is no click: the list takes the focus with its signals blocked and
  // is left without a current line, so the first arrow key or click picks one.
  const QScopedValueRollback<bool> again(listTakingFocus_, true);
  const QSignalBlocker blocker(list);
  QCoreApplication::sendEvent(list, event);
  list->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
  return true;
}

void ZipMain::FieldLostFocus(QWidget* field) {
  if (auto* edit = qobject_cast<QLineEdit*>(field)) {
    QFont font = edit->font();
    font.setBold(false);
    edit->setFont(font);
  }
}

bool ZipMain::FilterKeyPress(QWidget* field, QKeyEvent* event) {
  if (replayingKey_) return false;
  const QVariant keyClass = field->property(kKeyClassProperty);
  if (!keyClass.isValid()) return false;
  const int code = TypedKeyCode(event);
  if (code < 0) return false;
  if (code != kKeyBackspace) {
    switch (TypedKeyEffect(event->modifiers())) {
      case KeyEffect::Command:
        return false;
      case KeyEffect::Nothing:
        return true;
      case KeyEffect::Types:
        break;
    }
  }

  if (field == ui_->StateList && !StateBoxTakesKey(ui_->StateList->currentText(), code)) return true;
  if (field == ui_->SearchZip) {
    QLineEdit* zip = ui_->SearchZip;
    const int caret = zip->hasSelectedText() ? zip->selectionStart() : zip->cursorPosition();
    if (ZipWantsHyphen(zip->text(), caret, code)) {
      zip->setText(zip->text() + QLatin1Char('-'));
      zip->setCursorPosition(6);
    }
  }

  const int filtered = KeyFilter(keyClass.toInt(), code);
  if (filtered == 0) return true;
  if (filtered == code) return false;
  // The converted character is typed in place of the original one.
  const char32_t character = static_cast<char32_t>(filtered);
  QKeyEvent replay(QEvent::KeyPress, event->key(), event->modifiers(), QString::fromUcs4(&character, 1),
                   event->isAutoRepeat(), event->count());
  replayingKey_ = true;
  QCoreApplication::sendEvent(field, &replay);
  replayingKey_ = false;
  return true;
}

bool ZipMain::eventFilter(QObject* watched, QEvent* event) {
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr) return QMainWindow::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::KeyPress: {
      const auto* key = static_cast<QKeyEvent*>(event);
      const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
      if (widget == ui_->OrgList && plain && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
        // Enter on a line does what a double click on it does.
        if (ui_->OrgList->currentItem() != nullptr) OrgList_DblClick();
        return true;
      }
      if (widget == ui_->OrgZip && plain && key->key() == Qt::Key_Down) {
        ui_->OrgList->setFocus(Qt::TabFocusReason);
        return true;
      }
      return FilterKeyPress(widget, static_cast<QKeyEvent*>(event));
    }
    case QEvent::ShortcutOverride: {
      // Ctrl+X toggles Exact Street Match from anywhere in the window, text
      // boxes included (Cut stays on their context menus).
      const auto* key = static_cast<QKeyEvent*>(event);
      if (QKeySequence(key->keyCombination()) == ui_->mnuEditExact->shortcut()) {
        event->ignore();
        return true;
      }
      break;
    }
    case QEvent::FocusIn:
      if (searchTextBoxes_.contains(widget) || widget == ui_->StateList) {
        FieldGotFocus(widget, static_cast<QFocusEvent*>(event)->reason());
      } else if (widget == ui_->FoundList) {
        return ListGotFocus(ui_->FoundList, static_cast<QFocusEvent*>(event));
      } else if (widget == ui_->OrgList) {
        return ListGotFocus(ui_->OrgList, static_cast<QFocusEvent*>(event));
      }
      break;
    case QEvent::FocusOut:
      if (searchTextBoxes_.contains(widget)) FieldLostFocus(widget);
      break;
    case QEvent::MouseButtonPress:
      if (watched == ui_->FoundList->viewport()) {
        linePressed_ = true;
        pressShowedLine_ = false;
      } else if (watched == ui_->OrgList->viewport()) {
        orgLinePressed_ = true;
        orgPressShowedLine_ = false;
      }
      break;
    case QEvent::MouseButtonDblClick:
      // The second press of a double click; its release is no second click.
      if (qobject_cast<QLabel*>(widget) != nullptr) labelDoubleClick_ = true;
      break;
    case QEvent::MouseButtonRelease:
      if (watched == ui_->FoundList->viewport()) {
        linePressed_ = false;
        break;
      }
      if (watched == ui_->OrgList->viewport()) {
        orgLinePressed_ = false;
        break;
      }
      if (qobject_cast<QLabel*>(widget) != nullptr && std::exchange(labelDoubleClick_, false)) break;
      if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && qobject_cast<QLabel*>(widget) != nullptr &&
          widget->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
        return LabelClicked(widget);
      }
      break;
    default:
      break;
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace corvellan
