#include "mapped_data_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvdb {

MappedDataFile::~MappedDataFile() { unmap(); }

bool MappedDataFile::map(const std::string& path) {
  unmap();
  // O_NONBLOCK: a FIFO named zip.cvd must not hang the opening.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
            static_cast<uint64_t>(st.st_size) <= UINT32_MAX;
  void* view = MAP_FAILED;
  if (ok) view = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_SHARED, fd, 0);
  // The mapping keeps the file open.
  ::close(fd);
  if (!ok || view == MAP_FAILED) return false;
  view_ = static_cast<const uint8_t*>(view);
  fileSize_ = static_cast<uint64_t>(st.st_size);
  owned_ = true;
  return true;
}

void MappedDataFile::borrow(const MappedDataFile& owner) {
  unmap();
  view_ = owner.view_;
  fileSize_ = owner.fileSize_;
}

void MappedDataFile::unmap() {
  if (view_ != nullptr && owned_) ::munmap(const_cast<uint8_t*>(view_), static_cast<size_t>(fileSize_));
  owned_ = false;
  view_ = nullptr;
  fileSize_ = 0;
}

}  // namespace corvdb
