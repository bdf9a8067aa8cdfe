// Qt Test classes of one test executable. Each class registers itself; the
// executable runs the class named by its first argument (CTest runs one class
// per test), or every class when there is none.
#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace corvellan::test {

struct TestClass {
  const char* name;
  std::function<std::unique_ptr<QObject>()> make;
};

std::vector<TestClass>& TestClasses();

struct RegisterTestClass {
  RegisterTestClass(const char* name, std::function<std::unique_ptr<QObject>()> make) {
    TestClasses().push_back({name, std::move(make)});
  }
};

}  // namespace corvellan::test

#define CORVELLAN_TEST_CLASS(Class) \
  static const corvellan::test::RegisterTestClass register_##Class(#Class, [] { return std::make_unique<Class>(); })
