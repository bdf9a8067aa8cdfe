// A private world for one test: settings in a temporary XDG_CONFIG_HOME, a
// data directory and a program directory, and the program's seams in test
// mode (message boxes answered in advance, no real exit, no real desktop).
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>

namespace corvellan::test {

class TestEnvironment {
 public:
  TestEnvironment();
  ~TestEnvironment();
  TestEnvironment(const TestEnvironment&) = delete;
  TestEnvironment& operator=(const TestEnvironment&) = delete;

  QString root() const { return dir_.path(); }
  QString configDir() const { return dir_.path() + "/config/corvellan"; }
  QString iniPath() const { return configDir() + "/Corvel.ini"; }
  QString dataDir() const { return dir_.path() + "/data/"; }
  QString programDir() const { return dir_.path() + "/program/"; }

  // Writes a file (creating its directory).
  static void writeFile(const QString& path, const QByteArray& bytes);
  static QByteArray readFile(const QString& path);

  // The usual installation: zip.cvd in the data directory, Corvellan.Cfg and
  // docs/ in the program directory, Corvel.ini naming both.
  void installDefault();
  void writeIni(const QByteArray& text) const { writeFile(iniPath(), text); }

  // Exit codes the program asked for, and the URLs it asked the desktop to open.
  QList<int> exits;
  QList<QUrl> openedUrls;
  bool openUrlSucceeds = true;

 private:
  QTemporaryDir dir_;
  QByteArray oldConfigHome_;
  bool hadConfigHome_;
};

}  // namespace corvellan::test
