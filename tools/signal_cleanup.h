// Removing temporary files and folders when the tool is interrupted.
//
// Install() blocks SIGINT, SIGTERM and SIGHUP in the process (call it before
// any other thread exists) and starts one thread that waits for them. When
// one arrives, that thread removes every registered path with everything in
// it and ends the process with status 128 + the signal number. Work that must
// not be cut in two (renaming a finished file and its checksum into place)
// runs inside a CriticalSection: the signal waits until it ends.
#pragma once

#include <functional>
#include <mutex>
#include <string>

namespace corvdb::tools {

class SignalCleanup {
 public:
  // Idempotent. False when the signals could not be set up (the tool then
  // runs without clean-up on signals).
  static bool Install();
  // A command that stops by itself on a signal (a server) takes the signals
  // over: the signal thread calls `interceptor` with the signal number, and
  // when it returns true goes on waiting instead of ending the process. An
  // empty function gives the signals back. The interceptor runs on the
  // signal thread and must not wait for the thread that installed it.
  static void Intercept(std::function<bool(int)> interceptor);
  static void Add(const std::string& path);
  static void Remove(const std::string& path);

  class CriticalSection {
   public:
    CriticalSection();
    ~CriticalSection();
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

   private:
    std::unique_lock<std::recursive_mutex> lock_;
  };
};

// Registers `path` for removal on a signal while the object lives.
class RemoveOnSignal {
 public:
  explicit RemoveOnSignal(std::string path) : path_(std::move(path)) { SignalCleanup::Add(path_); }
  ~RemoveOnSignal() { SignalCleanup::Remove(path_); }
  RemoveOnSignal(const RemoveOnSignal&) = delete;
  RemoveOnSignal& operator=(const RemoveOnSignal&) = delete;

 private:
  std::string path_;
};

}  // namespace corvdb::tools
