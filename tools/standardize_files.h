// The list that corvdb standardize reads and the result it writes.
//
// The list may be a file, standard input ("-"), /dev/stdin or a FIFO: it is
// read as a stream, never sought, and only a regular file has a size to
// show progress against.
//
// The result replaces a regular file (or creates one) through a temporary
// file beside it: created exclusively under a name of its own (two runs
// never share one, and a link planted at that name is not followed),
// removed when the tool is interrupted, given the replaced file's mode and
// owner, and renamed over the target when complete. A symbolic link is
// followed to the file it names and keeps pointing at it. Standard output
// ("-", /dev/stdout, /dev/fd/N), a FIFO and a character device are written
// as they are. An output that is one of the inputs under any name (the same
// device and inode) is refused before anything is written.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <streambuf>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvdb::tools {

// A file's identity: hard links and symbolic links share it.
struct FileId {
  dev_t dev = 0;
  ino_t ino = 0;
};

// Reads a descriptor through a buffer of its own.
class FdReadBuffer : public std::streambuf {
 public:
  explicit FdReadBuffer(int fd);
  // Reads until at least `want` bytes are buffered or the input ends, and
  // returns all the buffered bytes without consuming them.
  std::string_view Peek(std::size_t want);
  // errno of a read that failed (the stream then ended early), else 0.
  int error() const { return error_; }

 protected:
  int_type underflow() override;

 private:
  bool Fill();  // appends what one read gives; false at the end or on an error
  int fd_;
  std::vector<char> buffer_;
  int error_ = 0;
};

class InputList {
 public:
  ~InputList();
  // False with one line in *error (no such file, a folder, ...).
  bool Open(const std::string& name, std::string* error);
  std::streambuf* buffer() { return buffer_.get(); }
  std::string_view Peek(std::size_t want) { return buffer_->Peek(want); }
  int readError() const { return buffer_->error(); }
  // The size of a regular file, 0 when the input has none (a pipe).
  uint64_t size() const { return size_; }
  bool regular() const { return regular_; }
  FileId id() const { return id_; }
  // How messages name it.
  const std::string& name() const { return name_; }

 private:
  int fd_ = -1;
  bool owned_ = false;
  bool regular_ = false;
  uint64_t size_ = 0;
  FileId id_;
  std::string name_;
  std::unique_ptr<FdReadBuffer> buffer_;
};

class ResultFile {
 public:
  ~ResultFile();  // an unfinished temporary file is removed
  // Decides where the result goes and refuses a target that may not be
  // written (an input, a folder, a socket, a block device). Writes nothing.
  // `inputs` pairs each input's identity with how a message names it.
  bool Prepare(const std::string& name, const std::vector<std::pair<FileId, std::string>>& inputs,
               std::string* error);
  // Opens the target, or creates the temporary file beside it.
  bool Open(std::string* error);
  bool Write(std::string_view data, std::string* error);
  // Writes what is buffered and puts the result in place.
  bool Commit(std::string* error);
  // Removes the temporary file (after an error).
  void Abandon();

  // The file that is written in the end (after links), or "standard output".
  const std::string& target() const { return target_; }
  bool direct() const { return direct_; }
  const std::string& temporary() const { return temporary_; }

 private:
  bool Flush(std::string* error);
  std::string name_;       // as given
  std::string target_;     // the end of the link chain
  bool direct_ = false;    // written as it is, no temporary file
  int directFd_ = -1;      // an already open descriptor to write (standard output)
  bool exists_ = false;    // a regular file is replaced
  mode_t mode_ = 0;
  uid_t uid_ = 0;
  gid_t gid_ = 0;
  std::string temporary_;
  int fd_ = -1;
  std::string pending_;
};

// A column name as lists are matched on: ASCII letters in lower case.
std::string Lower(std::string_view s);
// The text without the blanks and tabs around it.
std::string Trim(std::string_view s);

}  // namespace corvdb::tools
