// Builds the key index of one column: the (key, ZIP code) pairs of the whole
// file, sorted, written as index areas.
//
//   areas        := [first-level-area] main-area      first-level only when K > 0
//   area         := length:fixed32 entry* 0x00         length counts itself, the
//                                                      entries and the 0x00
//   main entry   := key:byte+ zip:mode2                sorted by key bytes, then ZIP
//   first-level  := prefix:byte{K} distance:mode2      one per distinct prefix
//
// A key is the trimmed field text (bytes 0x20..0x7F, never empty), so a
// mode-2 number is always followed by the next entry's first byte or by the
// area's 0x00. A first-level prefix is the key's first K characters, blank
// padded when the key is shorter; `distance` is the byte offset, from the
// first main entry, of the first main entry with that prefix. Blank is the
// smallest byte a key holds, so padding keeps the prefixes in key order and
// every group of keys with one prefix is contiguous. Each prefix is exactly K
// bytes between two numbers (bit 7 set), so a search for K text characters
// over the first-level list can only match one whole prefix.
//
// Pairs are collected in memory up to a limit, then sorted and written to a
// run file in the working directory; the runs are merged when the areas are
// written. Memory stays within the limit whatever the number of pairs.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "builder/output_file.h"

namespace corvdb::builder {

class IndexBuilder {
 public:
  // Run files are named `run_prefix` + number.
  IndexBuilder(std::string run_prefix, size_t memory_limit);
  ~IndexBuilder();
  IndexBuilder(const IndexBuilder&) = delete;
  IndexBuilder& operator=(const IndexBuilder&) = delete;

  // Adds one pair; a key must not be empty and at most 255 bytes long. The
  // same pair may be added more than once (it is written once).
  bool Add(std::string_view key, uint32_t zip, std::string* error);
  // Appends the areas (first-level area when k > 0, then the main area).
  bool Write(int k, OutputFile* out, std::string* error);

  uint64_t pairs() const { return pairs_; }
  size_t runs() const { return runs_.size(); }

 private:
  using Visitor = std::function<bool(std::string_view key, uint32_t zip)>;
  bool SpillRun(std::string* error);
  void SortMemory();
  // Calls `visit` for every distinct pair in order.
  bool ForEach(const Visitor& visit, std::string* error);

  std::string run_prefix_;
  size_t memory_limit_;
  std::string arena_;               // entries: key length (1 byte), key, ZIP (fixed32)
  std::vector<uint32_t> entries_;   // arena offsets
  std::vector<std::string> runs_;   // sorted run files
  uint64_t pairs_ = 0;              // pairs added (before removing repeats)
};

}  // namespace corvdb::builder
