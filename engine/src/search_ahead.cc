#include "search_ahead.h"

#include <utility>

namespace corvdb {

void BlockMatches::clear() {
  // A slot that held a large block gives its memory back; small ones keep it
  // for the next block.
  constexpr std::size_t kKeptCapacity = std::size_t{8} << 10;
  if (records.capacity() > kKeptCapacity) {
    std::vector<char>().swap(records);
    std::vector<uint32_t>().swap(ranks);
  }
  records.clear();
  ranks.clear();
  dense = false;
}

HelperThread::HelperThread() { thread_ = std::thread([this] { loop(); }); }

HelperThread::~HelperThread() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !running_; });
    quit_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void HelperThread::start(std::function<void()> job) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    job_ = std::move(job);
    running_ = true;
  }
  changed_.notify_all();
}

void HelperThread::finish() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !running_; });
}

void HelperThread::loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return running_ || quit_; });
    if (!running_) return;  // quit_
    std::function<void()> job = std::move(job_);
    lock.unlock();
    job();
    lock.lock();
    running_ = false;
    changed_.notify_all();
  }
}

SearchAhead::SearchAhead(std::size_t candidates, Work helperWork, HelperThread* thread)
    : states_(candidates, State::kFree), ring_(kWindow), helperWork_(std::move(helperWork)), thread_(thread) {}

void SearchAhead::start() {
  started_ = true;
  thread_->start([this] { run(); });
}

SearchAhead::~SearchAhead() {
  if (!started_) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_->finish();
}

std::size_t SearchAhead::claimable(std::size_t from) const {
  if (held_ >= kHeldBytes) return states_.size();
  const std::size_t end = std::min(states_.size(), position_ + kWindow);
  for (std::size_t i = std::max(from, position_ + 1); i < end; ++i) {
    if (states_[i] == State::kFree) return i;
  }
  return states_.size();
}

void SearchAhead::release(std::size_t index) {
  if (states_[index] != State::kReady) return;
  BlockMatches& matches = ring_[index % kWindow];
  held_ -= matches.bytes();
  matches.clear();
}

void SearchAhead::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  std::size_t next = 1;
  while (!stop_) {
    next = std::max(next, position_ + 1);
    const std::size_t index = claimable(next);
    if (index == states_.size()) {
      if (next >= states_.size()) return;  // every candidate is taken
      changed_.wait(lock);
      continue;
    }
    states_[index] = State::kHelper;
    BlockMatches& slot = ring_[index % kWindow];
    lock.unlock();
    slot.clear();
    try {
      helperWork_(index, &slot);
    } catch (...) {
      // (Out of memory here:) the searching thread decodes the block itself.
      slot.clear();
      slot.dense = true;
    }
    lock.lock();
    states_[index] = State::kReady;
    held_ += slot.bytes();
    ++helperBlocks_;
    next = index + 1;
    changed_.notify_all();
  }
}

const BlockMatches* SearchAhead::arrive(std::size_t index, const Work& ownWork) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (index >= states_.size()) return nullptr;
  for (std::size_t i = position_; i < index; ++i) release(i);
  position_ = index;
  changed_.notify_all();
  for (;;) {
    switch (states_[index]) {
      case State::kFree:
        states_[index] = State::kSearcher;
        return nullptr;
      case State::kSearcher:
        return nullptr;
      case State::kReady: {
        const BlockMatches& matches = ring_[index % kWindow];
        return matches.dense ? nullptr : &matches;
      }
      case State::kHelper:
        break;
    }
    // The helper is decoding this block: decode a later one meanwhile.
    const std::size_t later = claimable(index + 1);
    if (later == states_.size()) {
      changed_.wait(lock);
      continue;
    }
    states_[later] = State::kSearcher;
    BlockMatches& slot = ring_[later % kWindow];
    lock.unlock();
    slot.clear();
    ownWork(later, &slot);  // (if it throws, the block stays the searching thread's)
    lock.lock();
    states_[later] = State::kReady;
    held_ += slot.bytes();
    ++ownBlocks_;
  }
}

}  // namespace corvdb
