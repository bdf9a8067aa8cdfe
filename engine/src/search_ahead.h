// Decoding a search's candidate blocks ahead of delivery, on a second thread.
//
// A search visits its candidate ZIP codes in ascending order, and each block
// costs a walk over its columns up to its last selected row. A helper thread
// (with an engine of its own over the same mapping) takes the candidates
// after the one being delivered and decodes their matching records; the
// searching thread takes them from it in order. The searching thread decodes
// its current block itself when the helper has not taken it, as it always
// did (so the first records of a dense block still come at once), and while
// it waits for a block the helper is working on, it decodes a later one
// itself: both processors stay busy, and the answers are those of one thread
// (each block's matches are decoded by the same code either way).
//
// What is decoded ahead is bounded: candidates up to kWindow after the
// current one, and no new work while kHeldBytes or more of matches wait. A
// block with more than kRowLimit selected rows is left for the searching
// thread to deliver as it goes (`dense`).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace corvdb {

// A thread kept for the helper from search to search, so that starting a
// search costs a wake-up rather than a thread's creation.
class HelperThread {
 public:
  // Throws std::system_error when no thread can be started.
  HelperThread();
  // Waits for the job being run, then ends the thread.
  ~HelperThread();
  HelperThread(const HelperThread&) = delete;
  HelperThread& operator=(const HelperThread&) = delete;

  // Runs `job` on the thread; the job before must have ended (finish()).
  void start(std::function<void()> job);
  // Waits until the job started last has returned.
  void finish();

 private:
  void loop();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::function<void()> job_;
  bool running_ = false;
  bool quit_ = false;
  std::thread thread_;
};

// The records one candidate block delivers, decoded ahead.
struct BlockMatches {
  std::vector<char> records;    // kRecordBufferSize bytes each, in delivery order
  std::vector<uint32_t> ranks;  // the rank of each record
  bool dense = false;           // not decoded ahead: the searching thread delivers its rows as it goes

  std::size_t bytes() const { return records.size() + ranks.size() * sizeof(uint32_t); }
  void clear();
};

class SearchAhead {
 public:
  // Fills `out` with the matches of candidate `index`.
  using Work = std::function<void(std::size_t index, BlockMatches* out)>;

  static constexpr std::size_t kWindow = 512;
  static constexpr std::size_t kHeldBytes = std::size_t{8} << 20;
  static constexpr std::size_t kRowLimit = 4096;

  // Will have `thread` work on candidates 1 .. candidates - 1, running
  // `helperWork` for each it takes, from start() on.
  SearchAhead(std::size_t candidates, Work helperWork, HelperThread* thread);
  void start();
  // Stops the helper, after the block it is decoding.
  ~SearchAhead();
  SearchAhead(const SearchAhead&) = delete;
  SearchAhead& operator=(const SearchAhead&) = delete;

  // The searching thread moves on to candidate `index` (0, 1, 2, ... in
  // order), done with the one before. Returns its matches when they were
  // decoded ahead (valid until the next call), or nullptr when the block is
  // the searching thread's to deliver as it goes. While the helper is still
  // decoding `index`, later candidates are decoded with `ownWork` meanwhile.
  const BlockMatches* arrive(std::size_t index, const Work& ownWork);

  // Set when the search is dropped: the helper's work may stop early (its
  // matches are not used).
  const std::atomic<bool>* stopping() const { return &stop_; }

  // For tests: how many candidates each thread decoded ahead.
  std::size_t helperBlocks() const { return helperBlocks_; }
  std::size_t ownBlocks() const { return ownBlocks_; }

 private:
  enum class State : uint8_t { kFree, kHelper, kSearcher, kReady };

  void run();
  // The first free candidate after the current one that may be decoded now;
  // states_.size() when none. Called with mutex_ held.
  std::size_t claimable(std::size_t from) const;
  void release(std::size_t index);

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<State> states_;
  std::vector<BlockMatches> ring_;  // candidate i's matches in ring_[i % kWindow]
  std::size_t position_ = 0;        // the candidate the searching thread is at
  std::size_t held_ = 0;            // bytes of matches decoded and not yet passed
  std::atomic<bool> stop_{false};
  bool started_ = false;
  std::atomic<std::size_t> helperBlocks_{0};
  std::atomic<std::size_t> ownBlocks_{0};
  Work helperWork_;
  HelperThread* thread_;
};

}  // namespace corvdb
