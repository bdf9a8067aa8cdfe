#include "signal_cleanup.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

namespace corvdb::tools {

namespace {

struct State {
  // Guards the paths, and is held by a CriticalSection; the signal thread
  // takes it before it removes anything.
  std::recursive_mutex mutex;
  std::vector<std::string> paths;
  bool installed = false;
  std::function<bool(int)> interceptor;
};

State& Shared() {
  static State* state = new State;  // never destroyed: the signal thread may outlive main
  return *state;
}

sigset_t Signals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
}

[[noreturn]] void WaitAndClean(sigset_t set) {
  int signal_number = 0;
  State& state = Shared();
  for (;;) {
    while (sigwait(&set, &signal_number) != 0) {
    }
    std::function<bool(int)> interceptor;
    {
      std::lock_guard<std::recursive_mutex> lock(state.mutex);
      interceptor = state.interceptor;
    }
    if (!interceptor || !interceptor(signal_number)) break;
  }
  state.mutex.lock();  // kept: the process ends here
  for (const std::string& path : state.paths) {
    // The build may create a file in the folder while it is being emptied;
    // a few rounds see it gone. Once the folder is gone nothing can be
    // created in it.
    for (int round = 0; round < 100; ++round) {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
      if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec))) break;
    }
  }
  _exit(128 + signal_number);
}

}  // namespace

bool SignalCleanup::Install() {
  State& state = Shared();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  if (state.installed) return true;
  const sigset_t set = Signals();
  if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return false;
  try {
    std::thread(WaitAndClean, set).detach();
  } catch (const std::system_error&) {
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    return false;
  }
  state.installed = true;
  return true;
}

void SignalCleanup::Intercept(std::function<bool(int)> interceptor) {
  State& state = Shared();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  state.interceptor = std::move(interceptor);
}

void SignalCleanup::Add(const std::string& path) {
  State& state = Shared();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  state.paths.push_back(path);
}

void SignalCleanup::Remove(const std::string& path) {
  State& state = Shared();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  auto it = std::find(state.paths.begin(), state.paths.end(), path);
  if (it != state.paths.end()) state.paths.erase(it);
}

SignalCleanup::CriticalSection::CriticalSection() : lock_(Shared().mutex) {}
SignalCleanup::CriticalSection::~CriticalSection() = default;

}  // namespace corvdb::tools
