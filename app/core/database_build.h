// Building a new zip.cvd from inside the program: the writer (and, for the
// sample database, the sample generator) run as libraries on a worker thread,
// with progress that the window polls and a Cancel that stops the writer at
// its next record.
//
// The writer puts the new file in a working directory beside the database and
// renames it over the old one only when it is complete, so a cancelled or
// failed build leaves the old database untouched and nothing else behind. A
// program that has the old file mapped keeps reading it; switching the running
// program to the new file is the caller's next step (database_setup.h).
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <memory>

class QThread;

namespace corvellan {

// What to build from.
struct DatabaseSource {
  // The sample database: sample USPS files written into the working
  // directory, then built like the user's files.
  bool sample = false;
  std::uint64_t sampleRecords = 1000000;  // at least one per ZIP code of the chosen states
  QStringList sampleStates;               // empty: every state
  // USPS ZIP+4 (182-byte records) and City-State (129-byte records) product files.
  QStringList zip4Files;
  QStringList cityStateFiles;
};

class DatabaseBuild : public QObject {
  Q_OBJECT

 public:
  enum class Outcome { Running, Built, Cancelled, Failed };

  // `output` is the path of zip.cvd; its directory is created when missing.
  DatabaseBuild(DatabaseSource source, QString output, QObject* parent = nullptr);
  // Cancels a running build and waits for it.
  ~DatabaseBuild() override;

  // Starts the worker thread (once).
  void start();
  // Asks the build to stop; finished() follows.
  void cancel();

  Outcome outcome() const { return outcome_; }
  // The writer's message when the build failed.
  QString error() const { return error_; }
  // After success: records and ZIP codes of the new database.
  std::uint64_t records() const { return builtRecords_; }
  std::uint64_t zipCodes() const { return builtZipCodes_; }
  const QString& output() const { return output_; }

  // Progress, readable at any time from the window's thread: 0 to 1000, and
  // the current step in words ("Reading ZIP+4 records: 1,200,000").
  int permille() const { return permille_.load(); }
  QString activity() const;

  // The street suffix list the writer needs: the installed sample inputs'
  // street_suffixes.csv (the source tree's in a build tree). Empty when none.
  static QString suffixList();

 signals:
  // On the window's thread, once the worker is done (outcome() tells how).
  void finished();

 private:
  enum Step : int { kPreparing, kSample, kReading, kRegrouping, kIndexes, kDone };
  void run();  // on the worker thread
  void done();

  DatabaseSource source_;
  QString output_;
  std::unique_ptr<QThread> thread_;
  std::atomic<bool> cancel_{false};
  std::atomic<int> permille_{0};
  std::atomic<int> step_{kPreparing};
  std::atomic<std::uint64_t> stepRecords_{0};
  // Written by the worker, read after finished().
  bool ok_ = false;
  QString workerError_;
  std::uint64_t builtRecords_ = 0;
  std::uint64_t builtZipCodes_ = 0;
  Outcome outcome_ = Outcome::Running;
  QString error_;
};

}  // namespace corvellan
