// What a column has decoded of one block. The column classes keep the state of
// the current block in one of these; the block cache (block_cache.h) keeps
// those of blocks decoded earlier, moved out whole, so that going back to a
// block goes on from what was decoded there instead of starting over.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "text_steps.h"

namespace corvdb {

// Storage for decoded values that are not found as such in the file (those
// built from parts of the previous value). Chunks grow from 1 KB to 64 KB, so
// that a small block keeps little; they are kept from block to block, and
// addresses stay valid until reset() (moving the arena keeps them too).
class ValueArena {
 public:
  char* allocate(std::size_t n);
  void reset();
  // Bytes held, in use or not.
  std::size_t bytes() const { return held_; }

 private:
  static constexpr std::size_t kFirstChunk = 1024;
  static constexpr std::size_t kLastChunk = 64 * 1024;
  struct Chunk {
    std::unique_ptr<char[]> data;
    std::size_t size;
  };
  std::vector<Chunk> chunks_;
  std::vector<Chunk> oversized_;
  std::size_t current_ = 0;
  std::size_t used_ = 0;
  std::size_t held_ = 0;
};

// A vector of a trivial type whose new elements are left uninitialised: a
// column's number list is grown to take the values decoded into it, which
// then overwrite it (zeroing it first would cost a pass over it).
template <class T>
struct UninitialisedAllocator : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = UninitialisedAllocator<U>;
  };
  UninitialisedAllocator() = default;
  template <class U>
  UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};
using NumberList = std::vector<int32_t, UninitialisedAllocator<int32_t>>;

struct ColumnState {
  const uint8_t* data = nullptr;    // the column's data in the block
  const uint8_t* limit = nullptr;   // first byte the column may not read
  const uint8_t* cursor = nullptr;  // where decoding goes on
  uint32_t rows = 0;
  bool damaged = false;

  // Text columns: run i has value values[i] and ends before entry runEnds[i].
  std::vector<std::string_view> values;
  std::vector<uint64_t> runEnds;
  ValueArena arena;
  std::size_t lastRun = 0;  // run of the last entry asked for

  // Numeric columns: the numbers so far, the running value and step.
  NumberList numbers;
  uint32_t value = 0;
  uint32_t step = 0;

  // Forward decoding, without lists: a row wanted after the rows asked for
  // before it is reached by stepping over the data in between, keeping only
  // what the next values may refer to. The first entry asked for before the
  // current position starts it over from the block's start (a search checks
  // its last row first, then delivers its rows in order); the second has the
  // lists above decoded, and they serve the block from then on.
  bool useLists = false;
  uint32_t rewinds = 0;  // forward decoding started over from the block's start
  const uint8_t* forwardCursor = nullptr;
  bool forwardDamaged = false;
  // Text columns: the current run covers entries [runBegin, runEnd); the 32
  // most recent values (a repeat refers to one of the last 31), the last at
  // index (valueCount - 1) % 32.
  uint64_t runBegin = 0;
  uint64_t runEnd = 0;
  uint64_t valueCount = 0;
  // (Kept as two arrays of scalars: a value goes in and out as a pointer and
  // a length, never as a 16-byte object, which processors forward badly from
  // a store of its two halves to a load of the whole.)
  // On the heap, made at a text column's first forward step, so that moving a
  // column's state in and out of the block cache moves a pointer.
  struct RecentValues {
    std::array<const char*, 32> data{};
    std::array<std::size_t, 32> size{};
    // The value count when the current value was cut at its byte 0 (0: not
    // yet). Only the value asked for is cut; the steps between leave literal
    // text as it stands.
    uint64_t cutValue = 0;
  };
  std::unique_ptr<RecentValues> recent;
  // Numeric columns: `produced` entries are decoded, the last is
  // `forwardValue`; `pending` more of the current code follow with step
  // `forwardStep`.
  uint64_t produced = 0;
  uint64_t pending = 0;
  uint32_t forwardValue = 0;
  uint32_t forwardStep = 0;

  // Text columns a search condition read (stringTable::selectRuns): the
  // first runs whose value matched, so that delivering their rows reads the
  // value from here instead of walking the column a second time. Entries
  // begin .. end - 1 hold `value` (cut at a byte 0; it lies in the file or in
  // `arena`).
  struct MatchedRun {
    uint64_t begin;
    uint64_t end;
    std::string_view value;
  };
  static constexpr std::size_t kMatchedRuns = 64;
  std::vector<MatchedRun> matched;
  std::size_t matchedNext = 0;  // where the next look starts (entries come in order)

  // Text columns, stepping over simple runs eight at a time (text_steps.h):
  // while `idMode`, the ring is held in `idRing` and `recent` holds only the
  // current value. It is tried from value `idTryAt` on, less often after
  // stretches that were short (`idMisses`); `idSince` is where the current
  // stretch began.
  std::unique_ptr<IdRing> idRing;
  bool idMode = false;
  unsigned idMisses = 0;
  uint64_t idTryAt = 32;
  uint64_t idSince = 0;
  void restartGroups() {
    idMode = false;
    idMisses = 0;
    idTryAt = 32;
  }

  // Memory held, in use or reserved.
  std::size_t bytes() const {
    return values.capacity() * sizeof(std::string_view) + runEnds.capacity() * sizeof(uint64_t) +
           numbers.capacity() * sizeof(int32_t) + matched.capacity() * sizeof(MatchedRun) + arena.bytes();
  }
};

}  // namespace corvdb
