#include "core/database_setup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>

#include <utility>

#include "core/about_dialog.h"
#include "core/app_globals.h"
#include "core/database_setup_dialog.h"
#include "core/desktop.h"
#include "core/engine_binding.h"
#include "core/settings.h"
#include "core/startup.h"
#include "core/zip_main.h"

namespace corvellan {

namespace {

QString& InstalledDirOverride() {
  static QString dir;
  return dir;
}

std::function<QString()>& FirstStartHandler() {
  static std::function<QString()> handler;
  return handler;
}

// How often a switch that waits for a running lookup looks again.
constexpr int kSwitchRetryMilliseconds = 200;

}  // namespace

QString DefaultDatabaseDir() {
  return DirectoryWithSlash(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                            QStringLiteral("/corvellan"));
}

QString InstalledProgramDir() {
  QString dir = InstalledDirOverride();
  if (dir.isEmpty()) {
    dir = QDir::cleanPath(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(CORVELLAN_BIN_TO_DATA)));
  }
  dir = DirectoryWithSlash(dir);
  return FindNoCase(dir, QLatin1String(kProgramMarker)) ? dir : QString();
}

void setInstalledProgramDirForTesting(const QString& dir) { InstalledDirOverride() = dir; }

void setFirstStartHandlerForTesting(std::function<QString()> handler) { FirstStartHandler() = std::move(handler); }

QString SetUpFirstDatabase(QWidget* parent) {
  QString dir;
  if (MessageBox::testMode()) {
    if (FirstStartHandler()) dir = FirstStartHandler()();
  } else {
    const QString candidate = DefaultDatabaseDir();
    DatabaseSetupDialog dialog(DatabaseSetupDialog::Mode::FirstStart, candidate + QStringLiteral("zip.cvd"), parent);
    if (dialog.exec() == QDialog::Accepted) dir = candidate;
  }
  if (dir.isEmpty()) return {};
  // The engine and later starts read the data directory from here.
  if (!WriteIni(QStringLiteral("Directories"), QStringLiteral("Data"), dir, App().IniFile)) {
    MessageBox::critical(parent, QCoreApplication::translate("DatabaseSetup", "The settings file %1 could not be written.")
                                     .arg(App().IniFile));
  }
  return dir;
}

void OpenDatabaseUpdate(ZipMain& window) {
  if (auto* open = window.findChild<DatabaseSetupDialog*>(QStringLiteral("DatabaseSetupDialog"))) {
    open->show();
    open->raise();
    open->activateWindow();
    return;
  }
  auto* dialog = new DatabaseSetupDialog(DatabaseSetupDialog::Mode::Update,
                                         App().DataDir + QStringLiteral("zip.cvd"), &window);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  QPointer<ZipMain> owner(&window);
  dialog->setSwitchHandler([owner](std::function<void(bool)> done) {
    if (owner) SwitchToNewDatabase(*owner, std::move(done));
  });
  // Not modal: the program answers from the present database meanwhile.
  dialog->show();
}

void SwitchToNewDatabase(ZipMain& window, std::function<void(bool)> done) {
  if (App().LookupsRunning > 0) {
    // A search or listing is between two engine calls; reopening now would
    // pull its state away. Look again shortly.
    QPointer<ZipMain> owner(&window);
    QTimer::singleShot(kSwitchRetryMilliseconds, &window, [owner, done = std::move(done)]() mutable {
      if (owner) SwitchToNewDatabase(*owner, std::move(done));
    });
    return;
  }
  const bool switched = Engine::reopen();
  if (switched) {
    // The lines of the lists carry ranks of records of the old file.
    for (const char* name : {"FoundList", "OrgList"}) {
      if (auto* list = window.findChild<QListWidget*>(QLatin1String(name))) list->clear();
    }
    window.SetPanelText(2, QString());
    window.SetPanelText(3, QString());
    const AppGlobals& app = App();
    const QFileInfo database(app.DataDir + QStringLiteral("zip.cvd"));
    window.aboutWindow()->setDirectories(app.ProgramDir.toLower(), app.DataDir.toLower(),
                                         FormatStampDate(database.lastModified()));
    window.SetStatus(QCoreApplication::translate("DatabaseSetup", "New database in use"));
  }
  if (done) done(switched);
}

}  // namespace corvellan
