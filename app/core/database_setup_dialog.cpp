#include "core/database_setup_dialog.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPushButton>

#include <utility>

#include "core/desktop.h"
#include "sample/sample_generator.h"
#include "ui_database_setup_dialog.h"

namespace corvellan {

namespace {

constexpr int kProgressMilliseconds = 100;

}  // namespace

DatabaseSetupDialog::DatabaseSetupDialog(Mode mode, QString database, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::DatabaseSetupDialog>()),
      mode_(mode),
      database_(std::move(database)),
      sampleRecords_(corvdb::tools::kDefaultSampleRecords) {
  ui_->setupUi(this);
  setObjectName(QStringLiteral("DatabaseSetupDialog"));
  const QString folder = QDir::toNativeSeparators(QFileInfo(database_).absolutePath());
  if (mode_ == Mode::FirstStart) {
    setWindowTitle(tr("Corvellan: Create the Database"));
    ui_->IntroLabel->setText(
        tr("Corvellan has no ZIP+4 database yet, and no data directory is set up. "
           "It can create one now:"));
    ui_->FolderLabel->setText(tr("The database will be kept in %1").arg(folder));
  } else {
    setWindowTitle(tr("Corvellan: Update the Database"));
    ui_->IntroLabel->setText(
        tr("Build a new database from USPS ZIP+4 and City-State product files, for example the monthly "
           "update. Corvellan goes on using the present database until the new one is complete."));
    ui_->SampleOption->hide();
    ui_->UspsOption->hide();
    ui_->UspsOption->setChecked(true);
    ui_->FolderLabel->setText(tr("The new database replaces %1").arg(QDir::toNativeSeparators(database_)));
  }
  ui_->BuildProgress->setValue(0);
  ui_->ActivityLabel->setText(QString());

  connect(ui_->SampleOption, &QRadioButton::toggled, this, &DatabaseSetupDialog::UpdateInputs);
  connect(ui_->Zip4Browse, &QPushButton::clicked, this, [this] { Browse(true); });
  connect(ui_->CityStateBrowse, &QPushButton::clicked, this, [this] { Browse(false); });
  connect(ui_->StartButton, &QPushButton::clicked, this, &DatabaseSetupDialog::Start);
  connect(ui_->CancelButton, &QPushButton::clicked, this, &DatabaseSetupDialog::CancelClicked);
  progressTimer_.setInterval(kProgressMilliseconds);
  connect(&progressTimer_, &QTimer::timeout, this, &DatabaseSetupDialog::ShowProgress);
  UpdateInputs();
  if (mode_ == Mode::Update) ui_->Zip4Files->setFocus();
}

DatabaseSetupDialog::~DatabaseSetupDialog() = default;

QStringList DatabaseSetupDialog::SplitFileList(const QString& text) {
  QStringList files;
  for (const QString& part : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
    const QString name = part.trimmed();
    if (!name.isEmpty()) files.append(name);
  }
  return files;
}

void DatabaseSetupDialog::UpdateInputs() {
  const bool files = ui_->UspsOption->isChecked() && !running();
  for (QWidget* w : {static_cast<QWidget*>(ui_->Zip4Label), static_cast<QWidget*>(ui_->Zip4Files),
                     static_cast<QWidget*>(ui_->Zip4Browse), static_cast<QWidget*>(ui_->CityStateLabel),
                     static_cast<QWidget*>(ui_->CityStateFiles), static_cast<QWidget*>(ui_->CityStateBrowse)}) {
    w->setEnabled(files);
  }
}

void DatabaseSetupDialog::SetInputsEnabled(bool enabled) {
  ui_->SampleOption->setEnabled(enabled);
  ui_->UspsOption->setEnabled(enabled);
  ui_->StartButton->setEnabled(enabled);
  UpdateInputs();
}

void DatabaseSetupDialog::Browse(bool zip4) {
  QLineEdit* field = zip4 ? ui_->Zip4Files : ui_->CityStateFiles;
  const QStringList current = SplitFileList(field->text());
  const QString start = current.isEmpty() ? QDir::homePath() : QFileInfo(current.front()).absolutePath();
  const QStringList chosen =
      FileDialog::getOpenFileNames(this, zip4 ? tr("USPS ZIP+4 Product Files") : tr("USPS City-State Product Files"),
                                   start, tr("USPS product files (*.txt *.dat *.TXT *.DAT);;All files (*)"));
  if (!chosen.isEmpty()) field->setText(chosen.join(QStringLiteral("; ")));
  field->setFocus();
}

void DatabaseSetupDialog::Start() {
  if (running()) return;
  DatabaseSource source;
  source.sample = ui_->SampleOption->isChecked();
  source.sampleRecords = sampleRecords_;
  source.sampleStates = sampleStates_;
  if (!source.sample) {
    source.zip4Files = SplitFileList(ui_->Zip4Files->text());
    source.cityStateFiles = SplitFileList(ui_->CityStateFiles->text());
    QLineEdit* missing = source.zip4Files.isEmpty()        ? ui_->Zip4Files
                         : source.cityStateFiles.isEmpty() ? ui_->CityStateFiles
                                                           : nullptr;
    if (missing != nullptr) {
      MessageBox::critical(this, missing == ui_->Zip4Files ? tr("Name at least one USPS ZIP+4 product file.")
                                                           : tr("Name at least one USPS City-State product file."));
      missing->setFocus();
      return;
    }
  }
  last_.reset();
  build_ = std::make_unique<DatabaseBuild>(source, database_);
  connect(build_.get(), &DatabaseBuild::finished, this, &DatabaseSetupDialog::BuildFinished);
  SetInputsEnabled(false);
  ui_->CancelButton->setText(tr("&Cancel"));
  ui_->CancelButton->setFocus();
  ui_->BuildProgress->setValue(0);
  build_->start();
  ShowProgress();
  progressTimer_.start();
}

void DatabaseSetupDialog::ShowProgress() {
  if (!build_) return;
  ui_->BuildProgress->setValue(build_->permille());
  ui_->ActivityLabel->setText(build_->activity());
}

void DatabaseSetupDialog::CancelClicked() {
  if (running()) {
    build_->cancel();
    ui_->ActivityLabel->setText(tr("Cancelling..."));
    ui_->CancelButton->setEnabled(false);
    return;
  }
  QDialog::reject();
}

void DatabaseSetupDialog::reject() {
  // Closing the window while a build runs cancels it; the window closes
  // once the writer has cleaned up.
  if (running()) {
    CancelClicked();
    return;
  }
  QDialog::reject();
}

void DatabaseSetupDialog::BuildFinished() {
  progressTimer_.stop();
  last_ = std::move(build_);
  ui_->CancelButton->setEnabled(true);
  const DatabaseBuild& build = *last_;
  switch (build.outcome()) {
    case DatabaseBuild::Outcome::Built: {
      ui_->BuildProgress->setValue(1000);
      const QLocale locale = QLocale::system();
      const QString summary = tr("The new database holds %1 ZIP+4 records of %2 ZIP codes.")
                                  .arg(locale.toString(static_cast<qulonglong>(build.records())),
                                       locale.toString(static_cast<qulonglong>(build.zipCodes())));
      if (mode_ == Mode::FirstStart) {
        ui_->ActivityLabel->setText(summary);
        emit buildEnded();
        accept();
        return;
      }
      ui_->ActivityLabel->setText(summary + QLatin1Char(' ') + tr("Switching to it..."));
      ui_->CancelButton->setText(tr("&Close"));
      SetInputsEnabled(true);
      const auto reportSwitch = [this, summary](bool switched) {
        ui_->ActivityLabel->setText(summary + QLatin1Char(' ') +
                                    (switched ? tr("Corvellan now answers from it.")
                                              : tr("Restart Corvellan to use it.")));
        emit buildEnded();
      };
      if (switchHandler_) {
        switchHandler_(reportSwitch);
      } else {
        reportSwitch(true);
      }
      return;
    }
    case DatabaseBuild::Outcome::Cancelled:
      ui_->BuildProgress->setValue(0);
      ui_->ActivityLabel->setText(mode_ == Mode::FirstStart ? tr("Cancelled. No database was created.")
                                                            : tr("Cancelled. The present database is unchanged."));
      break;
    case DatabaseBuild::Outcome::Failed:
    case DatabaseBuild::Outcome::Running:
      ui_->BuildProgress->setValue(0);
      ui_->ActivityLabel->setText(mode_ == Mode::FirstStart ? tr("No database was created.")
                                                            : tr("The present database is unchanged."));
      MessageBox::critical(this, tr("The database could not be built:\n%1").arg(build.error()));
      break;
  }
  SetInputsEnabled(true);
  ui_->StartButton->setFocus();
  emit buildEnded();
}

}  // namespace corvellan
