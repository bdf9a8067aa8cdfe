// DDESetup: the window of the link settings (View, DDE Settings), kept in
// section "DDE Settings" of the settings file:
//   "Application Name", "DDE Topic"       the partner and its topic
//   "Recipient" ... "Plus4"               the partner's item of each field
//   field name + " Check"                 "Yes" when the field is linked
//   "Add to Primary", "Add to City",      "Yes" to merge Secondary, State,
//   "Add to ZipCode"                      Plus4 into the field before it
// Yes/no values count as yes when they read "YES" in any letter case.
#pragma once

#include <QList>
#include <QWidget>

#include <memory>

class QCheckBox;
class QLineEdit;

namespace Ui {
class DDESetup;
}

namespace corvellan {

class ZipMain;

class DDESetup : public QWidget {
  Q_OBJECT

 public:
  // Form_Load: made hidden, centred on the screen.
  explicit DDESetup(ZipMain& main);
  ~DDESetup() override;

  Ui::DDESetup& form() { return *ui_; }

  // Reads the settings into the window (names and topics with
  // CapitalizeFirst) and applies them to the icon window's link fields.
  // Clears the changed flag.
  void LoadDDE();
  // Writes the window's values and loads them again. Returns false (and
  // says so) when the settings file could not be written; the window then
  // keeps what the user typed.
  bool SaveDDE();

  // Set by any edit of the name, the topic or an item and by any click on a
  // check box; cleared by loading.
  bool changed() const { return changed_; }

  void CloseButton_Click();
  // Each time the window is shown or becomes active: loads the settings,
  // unless the window holds changes not yet saved.
  void Form_Activate();

  QList<QLineEdit*> Item;
  QList<QCheckBox*> DdeCheck;
  QList<QCheckBox*> DDESpecial;

 protected:
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  ZipMain& main_;
  std::unique_ptr<Ui::DDESetup> ui_;
  bool changed_ = false;
};

// The settings window of `main`, made on demand (hidden).
DDESetup& DdeSetupWindow(ZipMain& main);

// View, DDE Settings: shows the settings window and brings it to the front.
void mnuViewDDE_Click(ZipMain& main);

}  // namespace corvellan
