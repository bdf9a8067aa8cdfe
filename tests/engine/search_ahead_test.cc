// Decoding a search's blocks ahead on a second thread changes nothing but
// speed: the searching thread gets every candidate's matches in order,
// whichever thread decoded them, and engines with and without the helper give
// the same answers to the same calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "engine_answers.h"
#include "read_zip_file.h"
#include "search_ahead.h"
#include "search_fixture.h"
#include "test_support.h"

namespace corvdb {
namespace {

using corvellan::test::TempDir;

// Candidate i's matches are i copies of rank i (none for every fifth).
void FakeMatches(std::size_t index, BlockMatches* out) {
  if (index % 5 == 0) return;
  out->records.assign(index * kRecordBufferSize, static_cast<char>(index));
  out->ranks.assign(index, static_cast<uint32_t>(index));
}

TEST(SearchAhead, EveryCandidateComesInOrderWhicheverThreadDecodedIt) {
  for (const int pace : {0, 1, 2}) {  // searcher as fast as it can, slower, with blocks the helper throws on
    constexpr std::size_t kCandidates = 400;
    std::mutex thrownLock;
    std::vector<std::size_t> thrown;  // candidates the helper failed on
    const auto helperWork = [&](std::size_t index, BlockMatches* out) {
      if (pace == 2 && index % 7 == 3) {
        std::lock_guard<std::mutex> lock(thrownLock);
        thrown.push_back(index);
        throw std::bad_alloc();
      }
      if (index % 3 == 0) std::this_thread::sleep_for(std::chrono::microseconds(50));
      FakeMatches(index, out);
    };
    HelperThread thread;
    SearchAhead ahead(kCandidates, helperWork, &thread);
    ahead.start();
    std::vector<std::size_t> mine;
    for (std::size_t i = 0; i < kCandidates; ++i) {
      const BlockMatches* m = ahead.arrive(i, FakeMatches);
      if (m == nullptr) {
        mine.push_back(i);  // delivered by the searching thread as it goes, which takes a while
        std::this_thread::sleep_for(std::chrono::microseconds(30));
        continue;
      }
      BlockMatches want;
      FakeMatches(i, &want);
      ASSERT_FALSE(m->dense);
      ASSERT_EQ(m->ranks, want.ranks) << "candidate " << i;
      ASSERT_EQ(m->records, want.records) << "candidate " << i;
      if (pace == 1) std::this_thread::sleep_for(std::chrono::microseconds(20));
    }
    EXPECT_EQ(ahead.arrive(kCandidates, FakeMatches), nullptr);
    EXPECT_EQ(mine.front(), 0u);
    EXPECT_GT(ahead.helperBlocks(), 0u) << pace;
    EXPECT_EQ(ahead.helperBlocks() + ahead.ownBlocks() + mine.size(), kCandidates + thrown.size()) << pace;
    // A block the helper could not decode is the searching thread's.
    std::lock_guard<std::mutex> lock(thrownLock);
    EXPECT_EQ(thrown.empty(), pace != 2);
    for (const std::size_t i : thrown) {
      EXPECT_NE(std::find(mine.begin(), mine.end(), i), mine.end()) << i;
    }
  }
}

TEST(SearchAhead, StopsWhileTheHelperIsBusy) {
  // One thread serves one search after another; each stops while the
  // helper is in the middle of a block.
  HelperThread thread;
  for (int search = 0; search < 3; ++search) {
    std::atomic<bool> started{false};
    {
      SearchAhead ahead(1000, [&](std::size_t index, BlockMatches* out) {
        started = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        FakeMatches(index, out);
      }, &thread);
      ahead.start();
      EXPECT_EQ(ahead.arrive(0, FakeMatches), nullptr);
      while (!started) std::this_thread::yield();
    }  // returns after the block being decoded
  }
  SUCCEED();
}

using engine_test::Answer;
using engine_test::Lookup;
using engine_test::Next;

class SearchHelper : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(engine_test::BuildSample(dir_, 11, 8000, {"DE", "RI", "PR"}));
    one_.setSearchHelper(false);
    two_.setSearchHelper(true, 2);
    // Blocks of more than 20 selected rows are delivered by the searching
    // thread as it goes, the others decoded ahead without kept rows.
    mixed_.setSearchHelper(true, 2, 20);
    mixed_.setCapturedRowLimit(0);
    mixed_.setBlockCacheBytes(0);
    for (ReadZipFile* e : {&one_, &two_, &mixed_}) ASSERT_EQ(e->openPath(dir_.file("zip.cvd")), 0);

    char row[kRecordBufferSize];
    for (uint32_t z = 0; z < kZipCodeCount; ++z) {
      if (!one_.loadZipBlock(z)) continue;
      for (uint32_t r = 0; r < one_.blockRows(); r += 7) {
        ASSERT_TRUE(one_.decodeRow(r, row));
        rows_.emplace_back(row, sizeof row);
      }
    }
  }

  // Fields of a row as a request would type them.
  std::string Field(const std::string& row, std::size_t offset, std::size_t length, std::size_t keep) const {
    std::string text(strUtil::trimmed(std::string_view(row).substr(offset, length)));
    return text.substr(0, keep);
  }

  TempDir dir_;
  ReadZipFile one_;
  ReadZipFile two_;
  ReadZipFile mixed_;
  std::vector<std::string> rows_;  // decoded record buffers of every seventh row
};

TEST_F(SearchHelper, AnswersAreThoseOfOneThread) {
  ASSERT_GT(rows_.size(), 1000u);
  std::mt19937 rng(23);
  const auto same = [&](const std::function<Answer(ReadZipFile&)>& call, const std::string& what) {
    const Answer want = call(one_);
    EXPECT_EQ(call(two_), want) << what;
    EXPECT_EQ(call(mixed_), want) << what;
    return want.rc;
  };
  int delivered = 0;
  bool helped = false;
  for (int round = 0; round < 40; ++round) {
    const std::string& row = rows_[rng() % rows_.size()];
    search_test::Typed typed;
    switch (round % 5) {
      case 0: typed.street = Field(row, 24, 28, 1 + rng() % 3); break;   // a short street prefix: many ZIP codes
      case 1: typed.state = Field(row, 157, 2, 2); break;                // a whole state
      case 2: typed.firm = Field(row, 79, 40, 1 + rng() % 2); break;
      case 3: typed.zip = "*"; typed.number = Field(row, 58, 10, 10); break;
      default: typed.city = Field(row, 244, 28, 2); typed.street = Field(row, 24, 28, 1); break;
    }
    const std::string request = search_test::Request(typed);
    const std::string what = "round " + std::to_string(round);
    same([&](ReadZipFile& e) { return Answer{e.initiateZipSearch(request.data(), round % 4 == 3 ? 1 : 0), {}, {}}; },
         what + " start");
    // Rounds 7, 17, ... end early: the next search starts while the helper works.
    const int calls = round % 10 == 7 ? 25 : 100000;
    for (int call = 0; call < calls; ++call) {
      const int32_t rc = same(Next, what + " call " + std::to_string(call));
      if (rc < 0) break;
      helped = helped || two_.searchAhead() != nullptr;  // from the second block on
      delivered += rc > 0;
      if (call % 50 == 13) {
        const std::string& other = rows_[rng() % rows_.size()];
        same([&](ReadZipFile& e) { return Lookup(e, other.substr(1, 5) + other.substr(140, 4), 1); }, what + " lookup");
      }
      if (HasFailure()) return;
    }
  }
  EXPECT_TRUE(helped);
  EXPECT_GT(delivered, 5000);

  // An engine dropped in the middle of a search stops its helper first.
  auto dropped = std::make_unique<ReadZipFile>();
  dropped->setSearchHelper(true, 2);
  ASSERT_EQ(dropped->openPath(dir_.file("zip.cvd")), 0);
  ASSERT_GT(dropped->initiateZipSearch(search_test::Request({.zip = "*"}).data(), 0), 2);
  EXPECT_EQ(dropped->searchAhead(), nullptr);  // starting a search costs no thread
  std::string record(250, '\0');
  while (dropped->getNextZipMatch(record.data()) > 0) {
  }
  ASSERT_NE(dropped->searchAhead(), nullptr);  // the second block is reached
  dropped->getNextZipMatch(record.data());
  dropped.reset();
}

}  // namespace
}  // namespace corvdb
