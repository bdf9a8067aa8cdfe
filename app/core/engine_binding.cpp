#include "core/engine_binding.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>

#include <memory>

#include "core/desktop.h"
#include "corvdb.h"

namespace corvellan {

namespace {

// Signatures taken from the engine's public header, so a change there is a
// compile error here rather than a wrong call.
using ZipcodeToAddressFn = decltype(&::ZipcodeToAddress);
using InitiateZipSearchFn = decltype(&::InitiateZipSearch);
using GetNextZipMatchFn = decltype(&::GetNextZipMatch);
using GetZip4RecFn = decltype(&::GetZip4Rec);

struct Binding {
  std::unique_ptr<QLibrary> library;
  bool failed = false;  // reported once; later calls return at once
  QStringList candidates;
  ZipcodeToAddressFn zipcodeToAddress = nullptr;
  InitiateZipSearchFn initiateZipSearch = nullptr;
  GetNextZipMatchFn getNextZipMatch = nullptr;
  GetZip4RecFn getZip4Rec = nullptr;
};

Binding& State() {
  static Binding binding;
  return binding;
}

void Fatal(const QString& text) {
  State().failed = true;
  MessageBox::critical(nullptr, text + QStringLiteral("\n\nCorvellan cannot look up addresses without it and will close."));
  Desktop::endProgram(1);
}

QStringList DefaultCandidates() {
  // The library by its SONAME (the unversioned link belongs to development
  // installs only): the program's own directory first (the build tree), the
  // library directory of an installed tree, then the normal search of the
  // dynamic loader.
  const QString soname = QStringLiteral("libCorvdb.so.%1").arg(CORVDB_ABI_VERSION);
  const QDir programDir(QCoreApplication::applicationDirPath());
  return {programDir.filePath(soname),
          QDir::cleanPath(programDir.filePath(QStringLiteral(CORVELLAN_BIN_TO_LIB "/") + soname)), soname};
}

QLibrary* Library() {
  Binding& state = State();
  if (state.library) return state.library.get();
  if (state.failed) return nullptr;
  const QStringList candidates = state.candidates.isEmpty() ? DefaultCandidates() : state.candidates;
  QStringList errors;
  for (const QString& candidate : candidates) {
    auto library = std::make_unique<QLibrary>(candidate);
    if (library->load()) {
      state.library = std::move(library);
      return state.library.get();
    }
    errors.append(library->errorString());
  }
  Fatal(QStringLiteral("Unable to load the lookup engine library Corvdb (libCorvdb.so).\n") + errors.join('\n'));
  return nullptr;
}

template <typename Fn>
Fn Resolve(Fn& slot, const char* name) {
  if (slot != nullptr) return slot;
  QLibrary* library = Library();
  if (library == nullptr) return nullptr;
  slot = reinterpret_cast<Fn>(library->resolve(name));
  if (slot == nullptr && !State().failed) {
    Fatal(QStringLiteral("The lookup engine library %1 has no entry point %2.")
              .arg(library->fileName(), QLatin1String(name)));
  }
  return slot;
}

}  // namespace

std::int32_t Engine::ZipcodeToAddress(char* record, std::int32_t n) {
  auto fn = Resolve(State().zipcodeToAddress, "ZipcodeToAddress");
  return fn != nullptr ? fn(record, n) : kEngineUnavailable;
}

std::int32_t Engine::InitiateZipSearch(const char* request, std::int32_t flags) {
  auto fn = Resolve(State().initiateZipSearch, "InitiateZipSearch");
  return fn != nullptr ? fn(request, flags) : kEngineUnavailable;
}

std::int32_t Engine::GetNextZipMatch(char* record) {
  auto fn = Resolve(State().getNextZipMatch, "GetNextZipMatch");
  return fn != nullptr ? fn(record) : -1;
}

std::int32_t Engine::GetZip4Rec(char* zip4, char* cityState, char* urbanization) {
  auto fn = Resolve(State().getZip4Rec, "GetZip4Rec");
  return fn != nullptr ? fn(zip4, cityState, urbanization) : kEngineUnavailable;
}

bool Engine::loaded() { return State().library != nullptr; }

bool Engine::reopen() {
  Binding& state = State();
  if (!state.library) return true;  // the first lookup opens the file named then
  // Optional: resolved here, never reported as fatal.
  using ReopenFn = decltype(&::ReopenZipDatabase);
  auto fn = reinterpret_cast<ReopenFn>(state.library->resolve("ReopenZipDatabase"));
  return fn != nullptr && fn() == 0;
}

void Engine::setCandidatesForTesting(const QStringList& files) {
  Binding& state = State();
  // Resolved functions of an earlier library are forgotten; the library itself
  // stays mapped (destroying a QLibrary does not unload it).
  state = Binding{};
  state.candidates = files;
}

}  // namespace corvellan
