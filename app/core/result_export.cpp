#include "core/result_export.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QRandomGenerator>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QTabWidget>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/query_prep.h"
#include "core/result_lines.h"
#include "core/zip_main.h"
#include "ui_zip_main.h"

namespace corvellan {

namespace {

constexpr int kOrganizationsTab = 3;
constexpr char kExporting[] = " Exporting Selection";
constexpr int kBufferBytes = 64 * 1024;

int& YieldMilliseconds() {
  // Often enough for Cancel and a moving progress count, seldom enough that
  // repainting the panel does not cost more than exporting it.
  static int milliseconds = 40;
  return milliseconds;
}

struct Column {
  const char* name;
  QLineEdit* Ui::ZipMain::*box;
};

// The header's column names and the address panel box each value comes from.
constexpr std::array<Column, 18> kColumns{{
    {"Recipient", &Ui::ZipMain::Recipient},
    {"Secondary", &Ui::ZipMain::Secondary},
    {"SecLow", &Ui::ZipMain::SecLow},
    {"SecHigh", &Ui::ZipMain::SecHigh},
    {"Sec-OE", &Ui::ZipMain::SecOE},
    {"Primary", &Ui::ZipMain::Primary},
    {"PriLow", &Ui::ZipMain::PriLow},
    {"PriHigh", &Ui::ZipMain::PriHigh},
    {"Pri-OE", &Ui::ZipMain::PriOE},
    {"Urbanization", &Ui::ZipMain::Urbanization},
    {"City", &Ui::ZipMain::City},
    {"State", &Ui::ZipMain::State},
    {"ZipCode", &Ui::ZipMain::Zip},
    {"Plus4", &Ui::ZipMain::Plus4},
    {"ZipLow", &Ui::ZipMain::ZipLow},
    {"ZipHigh", &Ui::ZipMain::ZipHigh},
    {"RecType", &Ui::ZipMain::RecType},
    {"RecDesc", &Ui::ZipMain::RecDescr},
}};

QStringList PanelValues(Ui::ZipMain& ui) {
  QStringList values;
  values.reserve(static_cast<qsizetype>(kColumns.size()));
  for (const Column& column : kColumns) values.append(TrimBlanks((ui.*column.box)->text()));
  return values;
}

class ExportRun {
 public:
  ExportRun(ZipMain& window, QListWidget* list) : window_(window), ui_(window.form()), list_(list) {}

  void Run(const QString& path);

 private:
  // Makes line `row` the current line (the selection stays as it is) and
  // shows its record as a click on it does.
  void Show(int row);
  // Lets the window repaint and take clicks; false when the export must stop
  // (Cancel, the window closing, or the list emptied or refilled meanwhile).
  bool Yield();
  void Fail();

  ZipMain& window_;
  Ui::ZipMain& ui_;
  QListWidget* list_;
  ExportFile file_;
  int rows_ = 0;
  std::uint64_t generation_ = 0;
};

void ExportRun::Run(const QString& path) {
  AppGlobals& app = App();
  window_.SetStatus(QLatin1String(kExporting));
  window_.repaint();
  QCoreApplication::processEvents();
  app.ExportCancelled = false;

  if (!file_.open(path, app.DataDir + QStringLiteral("zip.cvd")) || !file_.write(ExportHeader())) {
    Fail();
    return;
  }
  window_.SetBusyPointer(kBusyPointerHourglass);

  rows_ = list_->count();
  generation_ = app.LookupGeneration;
  std::int64_t exported = 0;
  int shown = -1;
  bool stopped = false;
  QElapsedTimer sinceYield;
  sinceYield.start();
  for (int row = 0; row < rows_; ++row) {
    // Showing a line that is not selected would change nothing in the file:
    // only the selected lines are looked up.
    if (!list_->item(row)->isSelected()) continue;
    Show(row);
    shown = row;
    if (!file_.write(PanelValues(ui_))) {
      Fail();
      return;
    }
    ++exported;
    window_.SetPanelText(2, QStringLiteral("Exported ") + QString::number(exported));
    if (sinceYield.elapsed() >= YieldMilliseconds()) {
      if (!Yield()) {
        stopped = true;
        break;
      }
      sinceYield.restart();
    }
  }
  // The export ends on the last line of the list, whose record is shown.
  if (!stopped && rows_ > 0 && shown != rows_ - 1) Show(rows_ - 1);

  if (!file_.close()) {
    Fail();
    return;
  }
  window_.SetStatus(QString());
  window_.SetBusyPointer(kBusyPointerDefault);
}

void ExportRun::Show(int row) {
  {
    const QSignalBlocker blocker(list_);
    list_->setCurrentRow(row, QItemSelectionModel::NoUpdate);
  }
  if (list_ == ui_.OrgList) {
    window_.OrgList_Click();
  } else {
    window_.FoundList_Click();
  }
}

bool ExportRun::Yield() {
  // Each line's lookup reports its record count in the status bar.
  window_.SetStatus(QLatin1String(kExporting));
  QCoreApplication::processEvents();
  const AppGlobals& app = App();
  return !app.ExportCancelled && !app.Closing && app.LookupGeneration == generation_ && list_->count() == rows_;
}

void ExportRun::Fail() {
  const QString reason = file_.errorText();
  // What was written so far is dropped; an existing file stays as it was.
  file_.discard();
  MessageBox::critical(window_.dialogParent(), ExportErrorText(reason));
  window_.SetStatus(QString());
  window_.SetBusyPointer(kBusyPointerDefault);
}

}  // namespace

QStringList ExportHeader() {
  QStringList names;
  for (const Column& column : kColumns) names.append(QLatin1String(column.name));
  return names;
}

QByteArray ExportLine(const QStringList& values) {
  QByteArray line;
  for (qsizetype i = 0; i < values.size(); ++i) {
    if (i > 0) line += ',';
    line += '"';
    QString value = values[i];
    line += value.replace(QLatin1Char('"'), QLatin1String("\"\"")).toLatin1();
    line += '"';
  }
  line += "\r\n";
  return line;
}

QString ExportErrorText(const QString& reason) { return QStringLiteral("Unable to complete export - ") + reason; }

namespace {

// The new file's name beside the target: hidden, with a random ending
// (".Address.Txt.1x3kq9"), the target's name cut so that it stays a valid name.
QByteArray TemporaryName(const QByteArray& target) {
  const qsizetype slash = target.lastIndexOf('/');
  const QByteArray directory = target.left(slash + 1);
  const QByteArray name = target.mid(slash + 1).left(200);
  return directory + '.' + name + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
}

}  // namespace

ExportFile::~ExportFile() { discard(); }

bool ExportFile::open(const QString& path, const QString& protectedFile) {
  discard();
  error_ = 0;
  errorText_.clear();
  name_ = QFileInfo(path).fileName();
  protected_ = protectedFile.isEmpty() ? QByteArray() : QFile::encodeName(protectedFile);
  target_ = QFile::encodeName(path);
  // A symbolic link is followed: the file it names is replaced, the link stays.
  if (char* real = ::realpath(target_.constData(), nullptr); real != nullptr) {
    target_ = real;
    std::free(real);
  }
  if (!targetAllowed()) return false;

  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary_ = TemporaryName(target_);
    // Created with the permissions a new file gets (0666 less the umask).
    fd = ::open(temporary_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    temporary_.clear();
    return fail();
  }
  // A replaced file keeps its permissions.
  if ((existingMode_ && ::fchmod(fd, static_cast<mode_t>(*existingMode_)) != 0) || (file_ = ::fdopen(fd, "wb")) == nullptr) {
    fail();
    ::close(fd);
    RemoveTemporary();
    return false;
  }
  std::setvbuf(file_, nullptr, _IOFBF, kBufferBytes);
  return true;
}

bool ExportFile::write(const QStringList& values) {
  if (file_ == nullptr) {
    errno = EBADF;
    return fail();
  }
  const QByteArray line = ExportLine(values);
  errno = 0;
  if (std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), file_) !=
      static_cast<std::size_t>(line.size())) {
    return fail();
  }
  return true;
}

bool ExportFile::close() {
  if (file_ == nullptr) return errorText_.isEmpty();
  errno = 0;
  int error = 0;
  if (std::fflush(file_) != 0 || ::fsync(::fileno(file_)) != 0) error = errno != 0 ? errno : EIO;
  if (std::fclose(file_) != 0 && error == 0) error = errno != 0 ? errno : EIO;
  file_ = nullptr;
  if (error != 0) {
    errno = error;
    fail();
    RemoveTemporary();
    return false;
  }
  // The target is looked at again: it may have been replaced meanwhile.
  if (!targetAllowed()) {
    RemoveTemporary();
    return false;
  }
  if (::rename(temporary_.constData(), target_.constData()) != 0) {
    fail();
    RemoveTemporary();
    return false;
  }
  temporary_.clear();
  return true;
}

void ExportFile::discard() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  RemoveTemporary();
}

void ExportFile::RemoveTemporary() {
  if (temporary_.isEmpty()) return;
  const int saved = errno;
  ::unlink(temporary_.constData());
  temporary_.clear();
  errno = saved;
}

bool ExportFile::targetAllowed() {
  existingMode_.reset();
  struct stat target {};
  if (::stat(target_.constData(), &target) != 0) {
    // No such file yet: it is created (a missing directory fails then).
    if (errno == ENOENT) return true;
    return fail();
  }
  if (!S_ISREG(target.st_mode)) return refuse(name_ + QStringLiteral(" is not a regular file"));
  struct stat database {};
  if (!protected_.isEmpty() && ::stat(protected_.constData(), &database) == 0 && database.st_dev == target.st_dev &&
      database.st_ino == target.st_ino) {
    return refuse(name_ + QStringLiteral(" is the database in use"));
  }
  existingMode_ = static_cast<unsigned>(target.st_mode & 07777);
  return true;
}

bool ExportFile::fail() {
  // A failure that left no number behind still has to read as a failure.
  error_ = errno != 0 ? errno : EIO;
  errorText_ = QString::fromLocal8Bit(std::strerror(error_));
  return false;
}

bool ExportFile::refuse(const QString& reason) {
  error_ = 0;
  errorText_ = reason;
  return false;
}

namespace exporting {

void MnuFileExport_Click(ZipMain& window) {
  // File, Export stays reachable from the menu while an export yields.
  static bool exporting = false;
  if (exporting) return;
  const QScopedValueRollback<bool> running(exporting, true);

  Ui::ZipMain& ui = window.form();
  // The proposed name stays; the file-type filter is left empty.
  const QString path = FileDialog::getSaveFileName(window.dialogParent(), QStringLiteral("Export To"),
                                                   App().ProgramDir, QStringLiteral("Address.Txt"), QString());
  if (path.isEmpty()) return;
  QListWidget* list = ui.SSTab1->currentIndex() == kOrganizationsTab ? ui.OrgList : ui.FoundList;
  if (list->count() == 0) {
    MessageBox::critical(window.dialogParent(), QStringLiteral("Nothing to Export"));
    return;
  }
  ExportRun(window, list).Run(path);
}

}  // namespace exporting

int SetExportYieldMilliseconds(int milliseconds) {
  const int previous = YieldMilliseconds();
  YieldMilliseconds() = milliseconds;
  return previous;
}

}  // namespace corvellan
