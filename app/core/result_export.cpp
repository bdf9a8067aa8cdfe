#include "core/result_export.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QTabWidget>

#include <array>
#include <cerrno>
#include <cstdint>

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

  if (!file_.open(path) || !file_.write(ExportHeader())) {
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
  const int error = file_.error();
  file_.close();
  MessageBox::critical(window_.dialogParent(), ExportErrorText(error));
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

QString ExportErrorText(int error) { return QStringLiteral("Unable to complete export - Error ") + SignedText(error); }

ExportFile::~ExportFile() { close(); }

bool ExportFile::open(const QString& path) {
  close();
  error_ = 0;
  errno = 0;
  file_ = std::fopen(QFile::encodeName(path).constData(), "wb");
  if (file_ == nullptr) return fail();
  std::setvbuf(file_, nullptr, _IOFBF, kBufferBytes);
  return true;
}

bool ExportFile::write(const QStringList& values) {
  if (file_ == nullptr) {
    error_ = EBADF;
    return false;
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
  if (file_ == nullptr) return error_ == 0;
  errno = 0;
  const bool flushed = std::fflush(file_) == 0;
  const int flushError = errno;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!flushed) {
    errno = flushError;
    return fail();
  }
  if (!closed) return fail();
  return error_ == 0;
}

bool ExportFile::fail() {
  // A failure that left no number behind still has to read as a failure.
  error_ = errno != 0 ? errno : EIO;
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
