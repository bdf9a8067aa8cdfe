// Config: the insert settings window (View, Insert Settings). Shows and
// edits the process's insert settings field by field; edits take effect at
// once, Save writes them to a .cfg file in the program directory, and
// choosing another file from the name box makes it the active one.
#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class Config;
}

namespace corvellan {

class ZipMain;

class Config : public QWidget {
  Q_OBJECT

 public:
  // The window of this process, created (and loaded) on first use. Returns
  // nullptr when it could not be loaded (no settings file at all: the program
  // is ending).
  static Config* open(ZipMain& main);
  // The window when it exists, else nullptr.
  static Config* existing();
  ~Config() override;

  Ui::Config& form() { return *ui_; }
  int CurrentField() const { return currentField_; }

  // The settings just read from a file: description, Line Squeeze, name and
  // the current field.
  void ShowLoaded();
  // Shows the settings of the current field.
  void ShowSetting();
  // Fills the name box with the .cfg files of the program directory; false
  // when there is none (reported; the program ends).
  bool ListCfgFiles();
  // Reads the program directory again (a file may have been copied in since)
  // and offers its .cfg files, keeping the name shown; with none left the
  // list stays as it was.
  void RescanCfgFiles();

  void FieldList_Click();
  void Order_Change();
  void Order_LostFocus();
  void Before_Change();
  void After_Change();
  void CaseOpt_Click();
  void SetupOption_Click();
  void IniFile_Click();
  void SaveButton_Click();
  void Form_Activate();

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Config(ZipMain& main);
  bool Form_Load();
  void SelectFirstField();

  std::unique_ptr<Ui::Config> ui_;
  ZipMain& main_;
  int currentField_ = 0;
  bool showing_ = false;  // the boxes are being filled, not edited
};

// View, Insert Settings: shows the window (not modal).
void mnuViewSetting_Click(ZipMain& main);

}  // namespace corvellan
