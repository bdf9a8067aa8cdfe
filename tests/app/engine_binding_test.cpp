// Binding the engine by name: a missing library or entry point is reported
// and ends the program instead of crashing it.
#include <QTest>

#include <array>

#include "core/desktop.h"
#include "core/engine_binding.h"
#include "qtest_registry.h"
#include "test_environment.h"

using namespace corvellan;
using corvellan::test::TestEnvironment;

class EngineBindingTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { Engine::setCandidatesForTesting({}); }

  void missingLibraryIsReportedOnceAndEndsTheProgram() {
    TestEnvironment env;
    Engine::setCandidatesForTesting({env.root() + "/nowhere/Corvdb"});
    std::array<char, 250> record{};
    record.fill('R');
    QCOMPARE(Engine::ZipcodeToAddress(record.data(), 1), kEngineUnavailable);
    QCOMPARE(env.exits, QList<int>({1}));
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown().front().icon, MessageBox::Icon::Critical);
    QVERIFY(MessageBox::shown().front().text.contains("Corvdb"));
    QCOMPARE(record.front(), 'R');  // the caller's record is untouched
    // Later calls do not ask again.
    QCOMPARE(Engine::GetNextZipMatch(record.data()), -1);
    QCOMPARE(MessageBox::shown().size(), 1);
    QVERIFY(!Engine::loaded());
  }

  void missingEntryPointIsReported() {
    TestEnvironment env;
    // A library that loads but is not the engine.
    Engine::setCandidatesForTesting({"libm.so.6"});
    std::array<char, 165> request{};
    QCOMPARE(Engine::InitiateZipSearch(request.data(), 0), kEngineUnavailable);
    QCOMPARE(env.exits, QList<int>({1}));
    QVERIFY(MessageBox::shownTexts().join('\n').contains("InitiateZipSearch"));
  }

  void nothingIsLoadedBeforeTheFirstCall() {
    TestEnvironment env;
    Engine::setCandidatesForTesting({QStringLiteral(CORVELLAN_BIN_DIR "/Corvdb")});
    QVERIFY(!Engine::loaded());
  }

  void theBuiltEngineBindsFromTheProgramDirectory() {
    TestEnvironment env;
    Engine::setCandidatesForTesting({QStringLiteral(CORVELLAN_BIN_DIR "/Corvdb")});
    std::array<char, 182> zip4{};
    std::array<char, 129> cityState{};
    std::array<char, 129> urbanization{};
    Engine::GetZip4Rec(zip4.data(), cityState.data(), urbanization.data());
    QVERIFY(Engine::loaded());
    QVERIFY(MessageBox::shown().isEmpty());
    QVERIFY(env.exits.isEmpty());
  }
};

CORVELLAN_TEST_CLASS(EngineBindingTest);

#include "engine_binding_test.moc"
