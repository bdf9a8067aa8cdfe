#include <QApplication>
#include <QTest>

#include <cstring>

#include "qtest_registry.h"

namespace corvellan::test {

std::vector<TestClass>& TestClasses() {
  static std::vector<TestClass> classes;
  return classes;
}

}  // namespace corvellan::test

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Corvellan"));
  const char* only = argc > 1 && argv[1][0] != '-' ? argv[1] : nullptr;
  QStringList arguments{QString::fromLocal8Bit(argv[0])};
  for (int i = only != nullptr ? 2 : 1; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));

  int failures = 0;
  bool ran = false;
  for (const auto& testClass : corvellan::test::TestClasses()) {
    if (only != nullptr && std::strcmp(only, testClass.name) != 0) continue;
    ran = true;
    const auto object = testClass.make();
    failures += QTest::qExec(object.get(), arguments);
  }
  if (!ran) {
    qCritical("no test class named %s", only);
    return 2;
  }
  return failures == 0 ? 0 : 1;
}
