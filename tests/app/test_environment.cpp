#include "test_environment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/zip_main.h"

namespace corvellan::test {

TestEnvironment::TestEnvironment() : hadConfigHome_(qEnvironmentVariableIsSet("XDG_CONFIG_HOME")) {
  oldConfigHome_ = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.path() + "/config"));
  QDir().mkpath(configDir());
  QDir().mkpath(dataDir());
  QDir().mkpath(programDir());
  ResetAppGlobals();
  MessageBox::setTestMode(true);
  Desktop::setExitHandler([this](int code) { exits.append(code); });
  Desktop::setOpenUrlHandler([this](const QUrl& url) {
    openedUrls.append(url);
    return openUrlSucceeds;
  });
  ZipMain::setSplashMillisecondsForTesting(0);
}

TestEnvironment::~TestEnvironment() {
  Desktop::setExitHandler({});
  Desktop::setOpenUrlHandler({});
  MessageBox::setTestMode(false);
  if (hadConfigHome_) {
    qputenv("XDG_CONFIG_HOME", oldConfigHome_);
  } else {
    qunsetenv("XDG_CONFIG_HOME");
  }
}

void TestEnvironment::writeFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
}

QByteArray TestEnvironment::readFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestEnvironment::installDefault() {
  writeFile(dataDir() + "zip.cvd", QByteArray());
  writeFile(programDir() + "Corvellan.Cfg", "[General Settings]\nLine Squeeze=Yes\n");
  writeFile(programDir() + "docs/zip_ins.htm", "<html></html>\n");
  writeIni("[Directories]\nData=" + dataDir().toUtf8() + "\nProgram=" + programDir().toUtf8() + "\n");
}

}  // namespace corvellan::test
