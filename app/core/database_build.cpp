#include "core/database_build.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>
#include <QThread>

#include <string>
#include <utility>

#include "builder/cvd_writer.h"
#include "sample/sample_generator.h"

namespace corvellan {

namespace {

// Progress calls of the writer: often enough for a smooth bar on a small
// sample, rare enough to cost nothing on the national file.
constexpr std::uint64_t kProgressEvery = 20000;

std::string Local(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

DatabaseBuild::DatabaseBuild(DatabaseSource source, QString output, QObject* parent)
    : QObject(parent), source_(std::move(source)), output_(std::move(output)) {}

DatabaseBuild::~DatabaseBuild() {
  if (thread_) {
    cancel_ = true;
    thread_->wait();
  }
}

void DatabaseBuild::start() {
  if (thread_) return;
  thread_.reset(QThread::create([this] { run(); }));
  // finished() of the thread arrives on this object's thread.
  connect(thread_.get(), &QThread::finished, this, &DatabaseBuild::done);
  thread_->start();
}

void DatabaseBuild::cancel() { cancel_ = true; }

QString DatabaseBuild::suffixList() {
  const std::string dir = corvdb::tools::FindSampleDataDir();
  if (dir.empty()) return {};
  const QString path = QDir(QString::fromStdString(dir)).filePath(QStringLiteral("street_suffixes.csv"));
  return QFileInfo::exists(path) ? path : QString();
}

QString DatabaseBuild::activity() const {
  const QString count = QLocale::system().toString(static_cast<qulonglong>(stepRecords_.load()));
  switch (step_.load()) {
    case kPreparing:
      return tr("Preparing");
    case kSample:
      return tr("Writing the sample USPS files");
    case kReading:
      return tr("Reading ZIP+4 records: %1").arg(count);
    case kRegrouping:
      return tr("Sorting the records by ZIP code: %1").arg(count);
    case kIndexes:
      return tr("Writing the indexes");
    default:
      return tr("Done");
  }
}

void DatabaseBuild::run() {
  const auto fail = [this](const QString& message) {
    ok_ = false;
    workerError_ = message;
  };
  const QFileInfo target(output_);
  if (!QDir().mkpath(target.absolutePath())) {
    fail(tr("%1: cannot create the folder").arg(target.absolutePath()));
    return;
  }
  const QString suffixes = suffixList();
  if (suffixes.isEmpty()) {
    fail(tr("The street suffix list street_suffixes.csv of the sample inputs is missing."));
    return;
  }

  corvdb::builder::BuildOptions options;
  // Sample files live in a working directory beside the database and go
  // with it.
  std::unique_ptr<QTemporaryDir> sampleDir;
  if (source_.sample) {
    step_ = kSample;
    sampleDir = std::make_unique<QTemporaryDir>(target.absoluteDir().filePath(QStringLiteral(".sample-XXXXXX")));
    if (!sampleDir->isValid()) {
      fail(tr("%1: cannot create a working folder").arg(target.absolutePath()));
      return;
    }
    corvdb::tools::SampleOptions sample;
    sample.out_dir = Local(sampleDir->path());
    sample.records = source_.sampleRecords;
    for (const QString& state : source_.sampleStates) sample.states.push_back(state.toStdString());
    std::string error;
    if (!corvdb::tools::GenerateSample(sample, &error)) {
      fail(QString::fromStdString(error));
      return;
    }
    const std::string zip4 = sample.out_dir + "/" + corvdb::tools::kZip4FileName;
    const std::string cityState = sample.out_dir + "/" + corvdb::tools::kCityStateFileName;
    options.zip4.push_back({zip4, zip4, nullptr});
    options.city_state.push_back({cityState, cityState, nullptr});
  } else {
    for (const QString& f : source_.zip4Files) options.zip4.push_back({Local(f), Local(f), nullptr});
    for (const QString& f : source_.cityStateFiles) options.city_state.push_back({Local(f), Local(f), nullptr});
  }
  options.suffixes = {Local(suffixes), Local(suffixes), nullptr};
  options.output = Local(output_);
  options.progress_every = kProgressEvery;
  options.cancel = &cancel_;
  options.progress = [this](const corvdb::builder::BuildProgress& p) {
    const std::string phase = p.phase;
    stepRecords_ = p.records;
    if (phase == "indexes") {
      step_ = kIndexes;
      permille_ = 950;
      return;
    }
    step_ = phase == "regrouping" ? kRegrouping : kReading;
    // Reading (or regrouping) is most of the work; the indexes take the rest.
    if (p.bytes_total > 0) {
      permille_ = static_cast<int>(950.0 * static_cast<double>(p.bytes_read) / static_cast<double>(p.bytes_total));
    }
  };
  step_ = kReading;
  corvdb::builder::BuildReport report;
  std::string error;
  ok_ = corvdb::builder::BuildDatabase(options, &report, &error);
  if (!ok_) {
    workerError_ = QString::fromStdString(error);
    return;
  }
  builtRecords_ = report.detail_records;
  builtZipCodes_ = report.zip_codes;
  step_ = kDone;
  permille_ = 1000;
}

void DatabaseBuild::done() {
  if (ok_) {
    outcome_ = Outcome::Built;
  } else if (cancel_) {
    // A failure that raced with Cancel is still reported as cancelled: either
    // way the old database is untouched.
    outcome_ = Outcome::Cancelled;
  } else {
    outcome_ = Outcome::Failed;
    error_ = workerError_;
  }
  emit finished();
}

}  // namespace corvellan
