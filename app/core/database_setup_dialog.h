// The window that creates or replaces the database: on a first start it
// offers the sample database or a build from USPS files; from File, Update
// Database it builds from new USPS files. The build runs in the background
// (database_build.h) with a progress bar; Cancel stops it and leaves the old
// database as it was.
#pragma once

#include <QDialog>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

#include "core/database_build.h"

namespace Ui {
class DatabaseSetupDialog;
}

namespace corvellan {

class DatabaseSetupDialog : public QDialog {
  Q_OBJECT

 public:
  enum class Mode { FirstStart, Update };

  // `database` is the path of the zip.cvd to create or replace.
  DatabaseSetupDialog(Mode mode, QString database, QWidget* parent = nullptr);
  ~DatabaseSetupDialog() override;

  // Called on the window's thread when a build has succeeded, before the
  // dialog says so; the handler switches the program to the new file and
  // calls `done` with false when that needs a restart. Update mode only.
  using SwitchHandler = std::function<void(std::function<void(bool switched)> done)>;
  void setSwitchHandler(SwitchHandler handler) { switchHandler_ = std::move(handler); }

  bool running() const { return build_ != nullptr; }
  // The build of the last Start (null before the first one).
  const DatabaseBuild* lastBuild() const { return last_.get(); }
  // Size and states of the sample database (tests make it small).
  void setSample(std::uint64_t records, QStringList states) {
    sampleRecords_ = records;
    sampleStates_ = std::move(states);
  }

  // Splits a list of file names as typed ("a.txt; b.txt").
  static QStringList SplitFileList(const QString& text);

  // Escape and the window's close button: Cancel.
  void reject() override;

 signals:
  // A build has ended (any outcome).
  void buildEnded();

 private:
  void Browse(bool zip4);
  void Start();
  void CancelClicked();
  void BuildFinished();
  void ShowProgress();
  void SetInputsEnabled(bool enabled);
  void UpdateInputs();

  std::unique_ptr<Ui::DatabaseSetupDialog> ui_;
  Mode mode_;
  QString database_;
  std::uint64_t sampleRecords_;
  QStringList sampleStates_;
  std::unique_ptr<DatabaseBuild> build_;  // the running build
  std::unique_ptr<DatabaseBuild> last_;   // the finished one
  QTimer progressTimer_;
  SwitchHandler switchHandler_;
};

}  // namespace corvellan
