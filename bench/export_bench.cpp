// export_bench: how fast File, Export writes a long selection of the results
// list, in lines per second, against the work it cannot avoid.
//
//   export_bench [--lines N] [--runs R]     (defaults 10000 and 3)
//
// The program builds a database of N/2 ZIP codes with a street record and a
// firm record each, starts the real main window (on the platform of
// QT_QPA_PLATFORM; offscreen when unset), searches MARKET with Search Qty N
// so that the results list holds N lines, selects all of them and measures,
// best of R runs each:
//
//   engine   the lookups alone: for each line ZipcodeToAddress with the line's
//            key and rank, and GetZip4Rec (what no export can do without)
//   click    each line made current and shown as a click shows it (lookup,
//            address panel, record tabs), without writing or yielding
//   export   File, Export as the program does it: click, write, progress
//            count, the event loop turned every 40 ms
//   per-line File, Export turning the event loop after every line
//
// and prints lines per second and each row's time divided by the engine's.
// Run it a few times: the machine is shared, single numbers vary.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "builder/cvd_writer.h"
#include "core/address_record.h"
#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/engine_binding.h"
#include "core/result_export.h"
#include "core/result_lines.h"
#include "core/zip_main.h"

using namespace corvellan;

namespace {

void Put(std::string* record, std::size_t offset, const std::string& value, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) (*record)[offset + i] = i < value.size() ? value[i] : ' ';
}

std::string Detail(int zip, int serial, const char* type, const std::string& low, const std::string& addon,
                   const std::string& firm) {
  std::string r(182, ' ');
  Put(&r, 0, "D", 1);
  Put(&r, 1, std::to_string(zip), 5);
  Put(&r, 6, "A", 1);
  char key[16];
  std::snprintf(key, sizeof key, "%09d", serial);
  Put(&r, 7, key, 9);
  Put(&r, 16, "A", 1);
  Put(&r, 17, type, 1);
  Put(&r, 18, "C001", 4);
  Put(&r, 24, "MARKET", 28);
  Put(&r, 52, "ST", 4);
  Put(&r, 58, low, 10);
  Put(&r, 68, low, 10);
  Put(&r, 78, "B", 1);
  Put(&r, 79, firm, 40);
  Put(&r, 140, addon, 4);
  Put(&r, 144, addon, 4);
  Put(&r, 148, "B", 1);
  Put(&r, 151, "247405", 6);
  Put(&r, 157, "OH", 2);
  Put(&r, 159, "049", 3);
  Put(&r, 162, "03", 2);
  Put(&r, 176, "C00001", 6);
  return r;
}

std::string CityState(int zip) {
  std::string r(129, ' ');
  Put(&r, 0, "D", 1);
  Put(&r, 1, std::to_string(zip), 5);
  Put(&r, 6, "C00001", 6);
  Put(&r, 12, "P", 1);
  Put(&r, 13, "COLUMBUS", 28);
  Put(&r, 56, "C00001", 6);
  Put(&r, 62, "COLUMBUS", 28);
  Put(&r, 99, "OH", 2);
  Put(&r, 104, "FRANKLIN", 25);
  return r;
}

bool BuildDatabase(const QString& path, int lines) {
  std::vector<std::string> details;
  int serial = 0;
  for (int i = 0; i < (lines + 1) / 2; ++i) {
    const int zip = 40000 + i;
    details.push_back(Detail(zip, ++serial, "S", "100", "1001", ""));
    // Every tenth firm's name holds double quotes.
    const std::string firm = i % 10 == 0 ? "JOE'S \"BEST\" DELI " + std::to_string(i) : "MARKET SUPPLY CO " + std::to_string(i);
    details.push_back(Detail(zip, ++serial, "F", "200", "1002", firm));
  }
  std::string error;
  if (!corvdb::builder::BuildDatabaseFromRecords(details, {CityState(40000)}, "name,abbreviation\nSTREET,ST\n",
                                                 path.toStdString(), &error)) {
    std::fprintf(stderr, "export_bench: %s\n", error.c_str());
    return false;
  }
  return true;
}

double BestSeconds(int runs, const std::function<void()>& work) {
  double best = 1e30;
  for (int run = 0; run < runs; ++run) {
    QElapsedTimer clock;
    clock.start();
    work();
    best = std::min(best, static_cast<double>(clock.nsecsElapsed()) / 1e9);
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  int lines = 10000;
  int runs = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--lines") {
      lines = std::max(2, std::atoi(argv[i + 1]));
    } else if (option == "--runs") {
      runs = std::max(1, std::atoi(argv[i + 1]));
    } else {
      std::fprintf(stderr, "usage: export_bench [--lines N] [--runs R]\n");
      return 2;
    }
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");

  QTemporaryDir dir;
  const QString data = dir.path() + "/data/";
  const QString program = dir.path() + "/program/";
  QDir().mkpath(data);
  QDir().mkpath(program);
  QDir().mkpath(dir.path() + "/config/corvellan");
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path() + "/config"));
  if (!BuildDatabase(data + "zip.cvd", lines)) return 1;
  {
    QFile cfg(program + "Corvellan.Cfg");
    QFile ini(dir.path() + "/config/corvellan/Corvel.ini");
    if (!cfg.open(QIODevice::WriteOnly) || !ini.open(QIODevice::WriteOnly)) return 1;
    cfg.write("[General Settings]\n");
    ini.write(("[Directories]\nData=" + data + "\nProgram=" + program + "\n").toUtf8());
  }

  QApplication application(argc, argv);
  MessageBox::setTestMode(true);
  ZipMain::setSplashMillisecondsForTesting(0);
  ZipMain window;
  if (!window.Form_Load({})) return 1;
  window.show();
  window.findChild<QLineEdit*>("MaxQty")->setText(QString::number(lines));
  window.findChild<QLineEdit*>("SearchStreet")->setText("MARKET");
  window.SearchButton_Click();
  auto* list = window.findChild<QListWidget*>("FoundList");
  if (list->count() != lines) {
    std::fprintf(stderr, "export_bench: the search listed %d lines, not %d\n", list->count(), lines);
    return 1;
  }
  list->selectAll();

  const double engine = BestSeconds(runs, [&] {
    AppGlobals& app = App();
    for (int row = 0; row < list->count(); ++row) {
      const QListWidgetItem* item = list->item(row);
      app.Address.Clear();
      app.Address.Set(addr::kZipPlus4, LineKey(item->text()));
      Engine::ZipcodeToAddress(app.Address.data(), item->data(Qt::UserRole).toInt());
      Engine::GetZip4Rec(app.Zip4Raw.data(), app.CityStateRaw.data(), app.UrbanizationRaw.data());
    }
  });
  const double click = BestSeconds(runs, [&] {
    for (int row = 0; row < list->count(); ++row) {
      {
        const QSignalBlocker blocker(list);
        list->setCurrentRow(row, QItemSelectionModel::NoUpdate);
      }
      window.FoundList_Click();
    }
  });
  const QString out = dir.path() + "/Address.Txt";
  const auto exportAll = [&] {
    FileDialog::setNextFileName(out);
    window.MnuFileExport_Click();
  };
  const double exported = BestSeconds(runs, exportAll);
  const QByteArray panel = window.PanelText(2).toLatin1();
  const int interval = SetExportYieldMilliseconds(0);
  const double perLine = BestSeconds(runs, exportAll);
  SetExportYieldMilliseconds(interval);

  std::printf("export_bench: %d selected lines, platform %s, best of %d runs; last export: \"%s\", %lld bytes\n",
              lines, qgetenv("QT_QPA_PLATFORM").constData(), runs, panel.constData(),
              static_cast<long long>(QFile(out).size()));
  std::printf("%-10s %10s %12s %10s\n", "", "seconds", "lines/s", "x engine");
  const auto row = [&](const char* name, double seconds) {
    std::printf("%-10s %10.3f %12.0f %10.1f\n", name, seconds, lines / seconds, seconds / engine);
  };
  row("engine", engine);
  row("click", click);
  row("export", exported);
  row("per-line", perLine);
  return MessageBox::shown().isEmpty() ? 0 : 1;
}
