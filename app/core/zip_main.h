// ZipMain: the main window. Search frame, results list, the detail tabs, the
// mailing-label tab, menus and the three-panel status bar; start-up and
// shutdown; the keystroke rules of the search fields.
//
// Controls carry the names the rest of the program uses for them (form()),
// control arrays as Name_i. Text boxes carry a numeric dynamic property "Tag"
// that decides which of them ClearScreen empties: display fields none (0),
// search fields 9, the result count 20, the label set-up boxes 900.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QStringList>

#include <cstdint>
#include <memory>

class QFocusEvent;
class QKeyEvent;
class QLabel;
class QListWidget;
class QWindow;

namespace Ui {
class ZipMain;
}

namespace corvellan {

class AboutDialog;

// Dynamic property that marks the program's own windows (as opposed to
// message boxes, menus and pop-ups): they are closed at shutdown, and
// returning from one of them to the main window counts as activating it.
inline constexpr char kFormProperty[] = "CorvellanForm";

// BusyPointer values: the hourglass while a lookup runs, else the default.
inline constexpr int kBusyPointerHourglass = 11;
inline constexpr int kBusyPointerDefault = 0;

class ZipMain : public QMainWindow {
  Q_OBJECT

 public:
  explicit ZipMain(QWidget* parent = nullptr);
  ~ZipMain() override;

  Ui::ZipMain& form() { return *ui_; }

  // Start-up: clears the window, locates the data and program directories,
  // shows the About window as a splash, reads the settings and ends with
  // "Ready". `arguments` are the command-line arguments after the program's
  // name; the first one names the insert-settings file. Returns false when
  // the program has to end (already reported to the user).
  bool Form_Load(const QStringList& arguments);
  // Each time the main window becomes the active window of the program.
  void Form_Activate();
  void Form_Resize();
  void Form_QueryUnload();
  void Form_Unload();

  // Empties every text box whose Tag is below `level`, the state box when
  // `level` is above 9, both lists and status panels 2 and 3.
  void ClearScreen(int level);
  // Status panels: 1 activity (SetStatus), 2 progress, 3 result counts.
  void SetStatus(const QString& text);
  void SetPanelText(int panel, const QString& text);
  QString PanelText(int panel) const;
  // Reports a negative engine result in a critical message box.
  void ShowEngineError(int code);

  // Help documents and the vendor's pages: 0 instructions, 1 programming
  // interface, 2 what's new, 3 home page, 4 support page, 5 licence, 6 order
  // page (About window only).
  void MnuHelpWWW_Click(int index);
  // Opens a local document or web page; failures are reported. Returns the
  // DocResult code (above 32: opened).
  int ShowDoc(const QString& document);

  void mnuEditClear_Click();
  void mnuEditOnTop_Click();
  void mnuEditExact_Click();
  void mnuFileExit_Click();
  void mnuHelpAbout_Click();
  void mnuEditInsert_Click();
  void mnuEditCopy_Click();
  void mnuViewSetting_Click();
  void CmdIns_Click();
  void TargetApp_Click();
  void SearchButton_Click();
  void CancelSearch_Click();
  // Whether the address now in App().Address passes the result filters.
  void TestIfValid(bool& ok);
  // Blanks every field of the shared search request.
  void ClearsRec();
  // The window's pointer and BusyPointer: 11 hourglass, 0 default. The
  // results list and the Cancel button always show the arrow, so that a
  // running search can be stopped from there.
  void SetBusyPointer(int shape);

  // Results list and record display.
  void FoundList_Click();
  void FoundList_DblClick();
  void FindAddress(const QString& key, std::int32_t& n);
  void ShowData();
  void ShowZip4Rec();
  void ShowCityStateRecord();

  // Organization search and export.
  void OrgSearch_Click();
  void OrgList_Click();
  void OrgList_DblClick();
  void MnuFileExport_Click();

  void SearchLab_Click(int index);
  void Label15_Click();
  void QtyLab_Click();
  void SearchZip_Change();
  void SearchRecipient_Change();
  void SearchSecdry_Change();
  void SearchNumber_Change();

  AboutDialog* aboutWindow() const { return about_; }
  // The window a message box belongs over: the main window once it is up,
  // the splash while start-up runs, else none (centred on the screen).
  QWidget* dialogParent();

  // Barcode settings read at start-up.
  QString BarCodeFont;
  int BarCodeFontSize = 0;
  QString BarCodeStartChar;
  QString BarCodeStopChar;

  // Test seam: how long the start-up splash stays up at least (2592 ms).
  static void setSplashMillisecondsForTesting(int milliseconds);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void KeepCaptionsWhole();
  void BuildStatusBar();
  void ConnectControls();
  // One-press keys: the tabs, Esc, Enter on an organization line, and the
  // access keys a tab's controls share with the search frame.
  void InstallKeyboard();
  void InstallFieldFilters();
  bool FilterKeyPress(QWidget* field, QKeyEvent* event);
  void FieldGotFocus(QWidget* field, Qt::FocusReason reason);
  // The results list or the organization list takes the focus.
  bool ListGotFocus(QListWidget* list, QFocusEvent* event);
  void FieldLostFocus(QWidget* field);
  bool LabelClicked(QObject* label);
  void ShowSplash(const QString& dataDate);
  void WaitForSplash(qint64 deadline) const;
  void ReadBarcodeSettings();
  void OfferWhatsNew();
  void FocusWindowChanged(QWindow* now);
  void FoundListCurrentRowChanged(int row);
  void FoundListItemClicked();
  void OrgListCurrentRowChanged(int row);
  void OrgListItemClicked();
  bool IsOwnForm(const QWindow* window) const;

  std::unique_ptr<Ui::ZipMain> ui_;
  AboutDialog* about_ = nullptr;
  QList<QLabel*> panels_;
  QList<QWidget*> searchTextBoxes_;
  bool replayingKey_ = false;
  // A mouse button is down on the results list, and its press made a new
  // line current (which showed it): the click that follows shows nothing more.
  bool linePressed_ = false;
  bool pressShowedLine_ = false;
  // A list is taking the focus (ListGotFocus).
  bool listTakingFocus_ = false;
  // A label received a double click: the release that ends it is no click.
  bool labelDoubleClick_ = false;
  // The same for the organization list.
  bool orgLinePressed_ = false;
  bool orgPressShowedLine_ = false;
  bool activatedOnce_ = false;
  bool loaded_ = false;  // Form_Load completed
  bool unloaded_ = false;
  QPointer<QWindow> lastFocusWindow_;
  QRect restoredOuter_;
};

}  // namespace corvellan
