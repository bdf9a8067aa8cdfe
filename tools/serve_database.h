// The database behind corvdb serve: one read-only zip.cvd shared by the
// server's threads, and replaced while they run.
//
// The reader objects are not thread-safe, so each request leases a reader
// (with its matcher) of its own from a pool. All readers of one opening of
// the file - a generation - share its mapping and its place names. When the
// file at the path is replaced (another inode, size or modification time, as
// a new zip.cvd renamed over the old one gives), the next check opens a new
// generation and makes it current; requests already running keep their
// lease, and with it the old mapping, until they finish, and the old
// generation goes away with its last lease. A replacement that cannot be
// opened is reported once and the current generation stays.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace corvdb {
class ReadZipFile;
}
namespace corvellan::matcher {
class AddressMatcher;
class PlaceNames;
}  // namespace corvellan::matcher

namespace corvdb::tools {

class ServeDatabase {
 public:
  ServeDatabase();
  ~ServeDatabase();
  ServeDatabase(const ServeDatabase&) = delete;
  ServeDatabase& operator=(const ServeDatabase&) = delete;

  // Opens `path` as the first generation; false with the reason.
  bool open(const std::string& path, std::string* error);

  struct Generation;
  struct Slot;

  // A reader and its matcher for one request; back to the pool on destruction.
  class Lease {
   public:
    Lease(std::shared_ptr<Generation> generation, std::unique_ptr<Slot> slot);
    Lease(Lease&&) noexcept;
    Lease& operator=(Lease&&) = delete;
    ~Lease();
    ReadZipFile& reader();
    corvellan::matcher::AddressMatcher& matcher();
    uint64_t generation() const;

   private:
    std::shared_ptr<Generation> generation_;
    std::unique_ptr<Slot> slot_;
  };
  // Throws std::runtime_error when a further reader cannot be opened.
  Lease acquire();

  // Compares the file at the path with the current generation's and opens a
  // new generation when it changed. Returns a line to log, or "".
  std::string reloadIfChanged();

  uint64_t generation() const;
  uint64_t reloads() const { return reloads_.load(); }
  const std::string& path() const { return path_; }

 private:
  struct Identity {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{};
    bool operator==(const Identity& o) const {
      return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
             mtime.tv_nsec == o.mtime.tv_nsec;
    }
  };
  static bool Stat(const std::string& path, Identity* id);
  std::shared_ptr<Generation> openGeneration(const Identity& id, std::string* error);
  std::shared_ptr<Generation> current() const;

  std::string path_;
  mutable std::mutex mutex_;
  std::shared_ptr<Generation> current_;
  uint64_t nextNumber_ = 1;
  Identity failed_{};  // the last replacement that could not be opened
  bool hasFailed_ = false;
  std::atomic<uint64_t> reloads_{0};
};

}  // namespace corvdb::tools
