// How fast the program lists a large result set: the real main window runs
// an address search for one state, against `corvdb search` for the same
// query on the same database.
//
//   result_list_bench DATA_DIR [--state ST] [--qty N] [--runs R]
//                     [--cancel-after MS] [--corvdb PATH]
//
// DATA_DIR holds zip.cvd. The program's settings go to a temporary
// XDG_CONFIG_HOME; message boxes are answered by the program's test seam.
// Run it with QT_QPA_PLATFORM=offscreen, or under Xvfb for a real X server.
//
// Printed, each the best of R runs (default 3), in milliseconds:
// wall-clock time and CPU time (the machine may be shared: CPU time shows the
// work done, wall time what the user waits):
//   corvdb     `corvdb search --state ST --max N --data DATA_DIR` as a
//              process, output to /dev/null (start, mapping, search, lines)
//   program    from the search click until the search is complete (the
//              first line is selected and shown)
//   first      from the click until the first line is in the list at a yield
//   refreshes  how many times the results list was painted, and per second
//   cancel     a Cancel clicked MS after the start (default 300; 0 skips
//              it): from the moment it was due until the search returned
// and the ratio program / corvdb with the goal 2 x corvdb + 200 ms.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <limits>

#include "core/desktop.h"
#include "core/zip_main.h"

namespace {

struct Options {
  QString dataDir;
  QString state = QStringLiteral("CA");
  int qty = 10000;
  int runs = 3;
  int cancelAfter = 300;
  QString corvdb;
};

[[noreturn]] void Fail(const QString& what) {
  std::fprintf(stderr, "result_list_bench: %s\n", qPrintable(what));
  std::exit(2);
}

Options Parse(const QStringList& args) {
  Options options;
  options.corvdb = QCoreApplication::applicationDirPath() + QStringLiteral("/corvdb");
  for (int i = 1; i < args.size(); ++i) {
    const QString& arg = args[i];
    const auto value = [&]() {
      if (i + 1 >= args.size()) Fail(arg + QStringLiteral(" needs a value"));
      return args[++i];
    };
    if (arg == QLatin1String("--state")) {
      options.state = value();
    } else if (arg == QLatin1String("--qty")) {
      options.qty = value().toInt();
    } else if (arg == QLatin1String("--runs")) {
      options.runs = std::max(1, value().toInt());
    } else if (arg == QLatin1String("--cancel-after")) {
      options.cancelAfter = value().toInt();
    } else if (arg == QLatin1String("--corvdb")) {
      options.corvdb = value();
    } else if (options.dataDir.isEmpty() && !arg.startsWith(QLatin1String("--"))) {
      options.dataDir = arg;
    } else {
      Fail(QStringLiteral("unknown argument ") + arg);
    }
  }
  if (options.dataDir.isEmpty()) Fail(QStringLiteral("usage: result_list_bench DATA_DIR [--state ST] [--qty N] ..."));
  if (!QFile::exists(options.dataDir + QStringLiteral("/zip.cvd"))) Fail(options.dataDir + QStringLiteral("/zip.cvd not found"));
  return options;
}

double ProcessCpuMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double ChildrenCpuMilliseconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  const auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

struct Timing {
  double wall = 0;
  double cpu = 0;
};

Timing CorvdbTiming(const Options& options) {
  QProcess process;
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  const double cpuBefore = ChildrenCpuMilliseconds();
  QElapsedTimer timer;
  timer.start();
  process.start(options.corvdb, {QStringLiteral("search"), QStringLiteral("--state"), options.state,
                                 QStringLiteral("--max"), QString::number(options.qty), QStringLiteral("--data"),
                                 options.dataDir});
  if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit) {
    Fail(QStringLiteral("corvdb search failed"));
  }
  const double wall = static_cast<double>(timer.nsecsElapsed()) / 1e6;
  return {wall, ChildrenCpuMilliseconds() - cpuBefore};
}

// Counts the paints of the results list.
class PaintCounter : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return QObject::eventFilter(watched, event);
  }
};

struct RunResult {
  double total = 0;
  double cpu = 0;
  double first = -1;
  double cancelLatency = -1;
  int lines = 0;
  int paints = 0;
  QString status;
};

RunResult RunSearch(corvellan::ZipMain& window, const Options& options, int cancelAfter) {
  auto* list = window.findChild<QListWidget*>(QStringLiteral("FoundList"));
  auto* state = window.findChild<QComboBox*>(QStringLiteral("StateList"));
  window.findChild<QLineEdit*>(QStringLiteral("MaxQty"))->setText(QString::number(options.qty));
  state->setEditText(options.state);

  RunResult result;
  PaintCounter paints;
  list->viewport()->installEventFilter(&paints);
  QElapsedTimer clock;
  // Watches at every yield for the first line.
  QTimer firstLine;
  firstLine.setInterval(0);
  QObject::connect(&firstLine, &QTimer::timeout, [&]() {
    if (list->count() > 0 && result.first < 0) {
      result.first = static_cast<double>(clock.nsecsElapsed()) / 1e6;
      firstLine.stop();
    }
  });
  QTimer cancel;
  cancel.setSingleShot(true);
  cancel.setTimerType(Qt::PreciseTimer);
  double cancelDue = -1;
  QObject::connect(&cancel, &QTimer::timeout, [&]() {
    window.findChild<QPushButton*>(QStringLiteral("CancelSearch"))->click();
  });

  const double cpuBefore = ProcessCpuMilliseconds();
  clock.start();
  firstLine.start();
  if (cancelAfter > 0) {
    cancelDue = cancelAfter;
    cancel.start(cancelAfter);
  }
  window.findChild<QPushButton*>(QStringLiteral("SearchButton"))->click();
  result.total = static_cast<double>(clock.nsecsElapsed()) / 1e6;
  result.cpu = ProcessCpuMilliseconds() - cpuBefore;
  if (cancelDue >= 0 && !cancel.isActive()) result.cancelLatency = result.total - cancelDue;
  firstLine.stop();
  cancel.stop();
  // The paints that follow the search's end belong to it too.
  QCoreApplication::processEvents();
  list->viewport()->removeEventFilter(&paints);
  result.lines = list->count();
  result.paints = paints.paints;
  const QList<QLabel*> panels = window.statusBar()->findChildren<QLabel*>();
  result.status = panels.isEmpty() ? QString() : panels.front()->text();
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const Options options = Parse(QCoreApplication::arguments());

  QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/config")));
  QDir().mkpath(home.path() + QStringLiteral("/config/corvellan"));
  QDir().mkpath(home.path() + QStringLiteral("/program"));
  {
    QFile cfg(home.path() + QStringLiteral("/program/Corvellan.Cfg"));
    QFile ini(home.path() + QStringLiteral("/config/corvellan/Corvel.ini"));
    if (!cfg.open(QIODevice::WriteOnly) || !ini.open(QIODevice::WriteOnly)) Fail(QStringLiteral("cannot write settings"));
    cfg.write("[General Settings]\n");
    ini.write("[Directories]\nData=" + QFile::encodeName(QDir(options.dataDir).absolutePath()) + "/\nProgram=" +
              QFile::encodeName(home.path()) + "/program/\n");
  }
  corvellan::MessageBox::setTestMode(true);
  corvellan::ZipMain::setSplashMillisecondsForTesting(0);
  corvellan::ZipMain window;
  if (!window.Form_Load({})) Fail(QStringLiteral("start-up failed: ") + corvellan::MessageBox::shownTexts().join(" / "));
  window.resize(1000, 700);
  window.show();
  QCoreApplication::processEvents();

  Timing corvdb{std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};
  double bestCpu = std::numeric_limits<double>::max();
  RunResult best;
  best.total = std::numeric_limits<double>::max();
  double bestCancel = std::numeric_limits<double>::max();
  for (int run = 0; run < options.runs; ++run) {
    const Timing tool = CorvdbTiming(options);
    corvdb.wall = std::min(corvdb.wall, tool.wall);
    corvdb.cpu = std::min(corvdb.cpu, tool.cpu);
    const RunResult listed = RunSearch(window, options, 0);
    if (listed.total < best.total) best = listed;
    bestCpu = std::min(bestCpu, listed.cpu);
    if (options.cancelAfter > 0) {
      const RunResult cancelled = RunSearch(window, options, options.cancelAfter);
      if (cancelled.cancelLatency >= 0) bestCancel = std::min(bestCancel, cancelled.cancelLatency);
      std::printf("run %d: cancel after %d ms: %d lines, status \"%s\", returned %.1f ms after it was due\n", run + 1,
                  options.cancelAfter, cancelled.lines, qPrintable(cancelled.status), cancelled.cancelLatency);
    }
    std::printf("run %d: %d lines in %.1f ms (%.1f ms CPU), status \"%s\"; corvdb %.1f ms (%.1f ms CPU)\n", run + 1,
                listed.lines, listed.total, listed.cpu, qPrintable(listed.status), tool.wall, tool.cpu);
    std::fflush(stdout);
  }
  std::printf("\nstate %s, Search Qty %d, best of %d runs, %s platform\n", qPrintable(options.state), options.qty,
              options.runs, qPrintable(QGuiApplication::platformName()));
  std::printf("               wall        CPU\n");
  std::printf("corvdb     %9.1f  %9.1f ms\n", corvdb.wall, corvdb.cpu);
  std::printf("program    %9.1f  %9.1f ms  (%d lines, %.1f us wall per line)\n", best.total, bestCpu, best.lines,
              best.lines > 0 ? best.total * 1000.0 / best.lines : 0.0);
  std::printf("first      %9.1f ms\n", best.first);
  std::printf("refreshes  %9d      (%.1f per second)\n", best.paints, best.paints * 1000.0 / best.total);
  if (bestCancel < std::numeric_limits<double>::max()) std::printf("cancel     %9.1f ms\n", bestCancel);
  std::printf("ratio      %9.2f  %9.2f    program / corvdb; goal: program <= 2 x corvdb + 200 ms = %.1f ms wall\n",
              best.total / corvdb.wall, bestCpu / corvdb.cpu, 2 * corvdb.wall + 200);
  return 0;
}
