#include "serve_database.h"

#include <sys/stat.h>

#include <stdexcept>

#include "address_matcher.h"
#include "place_names.h"
#include "read_zip_file.h"

namespace corvdb::tools {

using corvellan::matcher::AddressMatcher;
using corvellan::matcher::PlaceNames;

struct ServeDatabase::Slot {
  explicit Slot(const Generation& g);
  ReadZipFile reader;
  std::unique_ptr<AddressMatcher> matcher;
};

struct ServeDatabase::Generation {
  uint64_t number = 0;
  Identity identity;
  // Declared before the pool: the readers borrow its mapping, so it goes last.
  ReadZipFile owner;
  std::unique_ptr<PlaceNames> places;
  std::mutex mutex;
  std::vector<std::unique_ptr<Slot>> idle;
};

ServeDatabase::Slot::Slot(const Generation& g) {
  if (reader.openShared(g.owner) != 0) throw std::runtime_error("cannot open another reader of " + g.owner.path());
  // Searches run on the request's thread alone: the server's thread count
  // bounds the threads.
  reader.setSearchHelper(false);
  matcher = std::make_unique<AddressMatcher>(reader, *g.places);
}

ServeDatabase::Lease::Lease(std::shared_ptr<Generation> generation, std::unique_ptr<Slot> slot)
    : generation_(std::move(generation)), slot_(std::move(slot)) {}

ServeDatabase::Lease::Lease(Lease&& other) noexcept
    : generation_(std::move(other.generation_)), slot_(std::move(other.slot_)) {}

ServeDatabase::Lease::~Lease() {
  if (!slot_ || !generation_) return;
  const std::lock_guard<std::mutex> lock(generation_->mutex);
  try {
    generation_->idle.push_back(std::move(slot_));
  } catch (...) {
    // Out of memory: the reader is dropped and made anew when needed.
  }
}

ReadZipFile& ServeDatabase::Lease::reader() { return slot_->reader; }
AddressMatcher& ServeDatabase::Lease::matcher() { return *slot_->matcher; }
uint64_t ServeDatabase::Lease::generation() const { return generation_->number; }

ServeDatabase::ServeDatabase() = default;
ServeDatabase::~ServeDatabase() = default;

bool ServeDatabase::Stat(const std::string& path, Identity* id) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  id->dev = st.st_dev;
  id->ino = st.st_ino;
  id->size = st.st_size;
  id->mtime = st.st_mtim;
  return true;
}

std::shared_ptr<ServeDatabase::Generation> ServeDatabase::openGeneration(const Identity& id, std::string* error) {
  auto g = std::make_shared<Generation>();
  g->identity = id;
  if (g->owner.openPath(path_) != 0) {
    *error = "cannot open " + path_ + " (not a readable zip.cvd)";
    return nullptr;
  }
  // The file may have been replaced again between the stat and the opening:
  // the identity is that of the file mapped, so that the next check sees it.
  Identity mapped;
  if (Stat(path_, &mapped)) g->identity = mapped;
  g->places = std::make_unique<PlaceNames>(PlaceNames::FromReader(g->owner));
  return g;
}

bool ServeDatabase::open(const std::string& path, std::string* error) {
  path_ = path;
  Identity id;
  if (!Stat(path_, &id)) {
    *error = "cannot open " + path_ + ": no such file";
    return false;
  }
  std::shared_ptr<Generation> g = openGeneration(id, error);
  if (!g) return false;
  const std::lock_guard<std::mutex> lock(mutex_);
  g->number = nextNumber_++;
  current_ = std::move(g);
  return true;
}

std::shared_ptr<ServeDatabase::Generation> ServeDatabase::current() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return current_;
}

ServeDatabase::Lease ServeDatabase::acquire() {
  std::shared_ptr<Generation> g = current();
  if (!g) throw std::runtime_error("no database is open");
  std::unique_ptr<Slot> slot;
  {
    const std::lock_guard<std::mutex> lock(g->mutex);
    if (!g->idle.empty()) {
      slot = std::move(g->idle.back());
      g->idle.pop_back();
    }
  }
  if (!slot) slot = std::make_unique<Slot>(*g);
  return Lease(std::move(g), std::move(slot));
}

uint64_t ServeDatabase::generation() const {
  const std::shared_ptr<Generation> g = current();
  return g ? g->number : 0;
}

std::string ServeDatabase::reloadIfChanged() {
  Identity id;
  // Missing for a moment (being replaced by hand): keep serving the open one.
  if (!Stat(path_, &id)) return {};
  const std::shared_ptr<Generation> old = current();
  if (old && old->identity == id) return {};
  if (hasFailed_ && failed_ == id) return {};
  std::string error;
  std::shared_ptr<Generation> g = openGeneration(id, &error);
  if (!g) {
    failed_ = id;
    hasFailed_ = true;
    return path_ + " was replaced, but " + error + "; still serving the previous database";
  }
  hasFailed_ = false;
  uint64_t number = 0;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    number = g->number = nextNumber_++;
    current_ = std::move(g);
  }
  reloads_.fetch_add(1);
  return "opened the replaced " + path_ + " (generation " + std::to_string(number) + ")";
}

}  // namespace corvdb::tools
