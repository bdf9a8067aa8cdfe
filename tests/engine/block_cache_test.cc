// The decoded-block cache changes nothing but speed: engines with and without
// it give the same answers to the same calls, and the add-on index finds the
// rows a pass over the block finds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "block_cache.h"
#include "engine_answers.h"
#include "read_zip_file.h"
#include "search_fixture.h"
#include "test_support.h"

namespace corvdb {
namespace {

using corvellan::test::TempDir;

TEST(AddOnIndex, FindsTheRowsAPassFindsInBlockOrder) {
  std::mt19937 rng(5);
  for (const uint32_t rows : {0u, 1u, 2u, 3u, 255u, 256u, 257u, 1000u}) {
    std::vector<int32_t> bounds;
    for (uint32_t r = 0; r < rows; ++r) {
      const int32_t low = static_cast<int32_t>(rng() % 200);
      // Single add-ons, short and wide ranges, and ranges whose high is below
      // their low (they cover nothing).
      const uint32_t kind = rng() % 10;
      const int32_t high = kind < 5 ? low : kind < 8 ? low + static_cast<int32_t>(rng() % 8)
                                      : kind < 9 ? low + 150 : low - 1 - static_cast<int32_t>(rng() % 5);
      bounds.push_back(low);
      bounds.push_back(high);
    }
    AddOnIndex index;
    index.build(bounds, rows);
    std::vector<uint32_t> found;
    for (int64_t x = -2; x < 360; ++x) {
      std::vector<uint32_t> want;
      for (uint32_t r = 0; r < rows; ++r) {
        if (bounds[2 * r] <= x && x <= bounds[2 * r + 1]) want.push_back(r);
      }
      index.covering(x, &found);
      ASSERT_EQ(found, want) << rows << " rows, add-on " << x;
    }
    // Far outside the 32-bit numbers the column holds.
    index.covering(int64_t{1} << 40, &found);
    EXPECT_TRUE(found.empty());
  }
}

TEST(BlockCache, KeepsTheMostRecentBlocksWithinItsCapacity) {
  const auto block = [](uint32_t zip, std::size_t numbers) {
    auto b = std::make_unique<DecodedBlock>();
    b->zip = zip;
    b->columns[0].numbers.reserve(numbers);
    return b;
  };
  const std::size_t one = block(0, 1000)->measure();
  BlockCache cache(3 * one);
  for (uint32_t zip = 1; zip <= 3; ++zip) EXPECT_EQ(cache.put(block(zip, 1000)), nullptr);
  EXPECT_EQ(cache.size(), 3u);
  EXPECT_EQ(cache.used(), 3 * one);
  // Taking 1 and putting it back makes 2 the oldest: a fourth block drops it.
  cache.put(cache.take(1));
  const std::unique_ptr<DecodedBlock> dropped = cache.put(block(4, 1000));
  ASSERT_NE(dropped, nullptr);
  EXPECT_EQ(dropped->zip, 2u);
  EXPECT_EQ(cache.take(2), nullptr);
  EXPECT_NE(cache.take(1), nullptr);
  // A block larger than the whole cache is handed back, not kept.
  const std::unique_ptr<DecodedBlock> big = cache.put(block(9, 100000));
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(big->zip, 9u);
  EXPECT_EQ(cache.take(9), nullptr);
  cache.setCapacity(0);
  EXPECT_EQ(cache.size(), 0u);
  EXPECT_EQ(cache.used(), 0u);
}

using engine_test::Answer;
using engine_test::Lookup;
using engine_test::Next;

class CachedAndUncached : public testing::Test {
 protected:
  void SetUp() override {
    // Blocks of several hundred rows; urbanizations.
    ASSERT_NO_FATAL_FAILURE(engine_test::BuildSample(dir_, 3, 6000, {"DE", "PR"}));
    uncached_.setBlockCacheBytes(0);
    tiny_.setBlockCacheBytes(256 * 1024);  // a few blocks: blocks keep being dropped
    tiny_.setCapturedRowLimit(0);          // a search decodes each row as it delivers it
    for (ReadZipFile* e : engines()) ASSERT_EQ(e->openPath(dir_.file("zip.cvd")), 0);

    // Every row's ZIP code, add-on low and street, read through a fourth engine.
    ReadZipFile reader;
    ASSERT_EQ(reader.openPath(dir_.file("zip.cvd")), 0);
    char row[kRecordBufferSize];
    for (uint32_t z = 0; z < kZipCodeCount; ++z) {
      if (!reader.loadZipBlock(z)) continue;
      largest_ = std::max(largest_, reader.blockRows());
      for (uint32_t r = 0; r < reader.blockRows(); ++r) {
        ASSERT_TRUE(reader.decodeRow(r, row));
        keys_.push_back(std::string(row + 1, 5) + std::string(row + 140, 4));
        streets_.push_back(std::string(strUtil::trimmed(std::string_view(row + 24, 28))));
      }
    }
  }

  std::vector<ReadZipFile*> engines() { return {&uncached_, &cached_, &tiny_}; }

  TempDir dir_;
  ReadZipFile uncached_;
  ReadZipFile cached_;
  ReadZipFile tiny_;
  std::vector<std::string> keys_;     // ZIP code + add-on low of every row
  std::vector<std::string> streets_;  // street name of every row
  uint32_t largest_ = 0;
};

TEST_F(CachedAndUncached, LookupsAndSearchesGiveTheSameAnswers) {
  ASSERT_GT(keys_.size(), 5000u);
  ASSERT_GT(largest_, 256u);  // the add-on index serves the repeated lookups there (from the 32nd)
  std::mt19937 rng(17);
  const auto same = [&](const std::function<Answer(ReadZipFile&)>& call, const std::string& what) {
    const Answer want = call(uncached_);
    EXPECT_EQ(call(cached_), want) << what;
    EXPECT_EQ(call(tiny_), want) << what;
    return want.rc;
  };
  int delivered = 0;
  for (int round = 0; round < 60; ++round) {
    // Lookups: runs in one ZIP code (as for a results list), then scattered;
    // the add-on as stored, a neighbour, lower case, and ranks 1 to 3.
    const std::size_t base = rng() % keys_.size();
    for (int i = 0; i < 60; ++i) {
      const std::size_t k = i < 45 ? std::min(keys_.size() - 1, base + rng() % 300) : rng() % keys_.size();
      std::string zip4 = keys_[k];
      if (rng() % 5 == 0) zip4[8] = static_cast<char>('0' + rng() % 10);
      if (rng() % 7 == 0) std::transform(zip4.begin(), zip4.end(), zip4.begin(), [](char c) { return static_cast<char>(std::tolower(c)); });
      const int32_t n = static_cast<int32_t>(1 + rng() % 3);
      delivered += same([&](ReadZipFile& e) { return Lookup(e, zip4, n); }, "lookup " + zip4) > 0;
    }
    // A search by the street of a row, with lookups between its calls.
    const std::string request = search_test::Request({.street = streets_[rng() % streets_.size()]});
    same([&](ReadZipFile& e) { return Answer{e.initiateZipSearch(request.data(), 0), {}, {}}; }, "start");
    for (int call = 0; call < 400; ++call) {
      const int32_t rc = same(Next, "search call " + std::to_string(call));
      if (rc < 0) break;
      if (call % 9 == 4) {
        const std::string& zip4 = keys_[rng() % keys_.size()];
        same([&](ReadZipFile& e) { return Lookup(e, zip4, 1); }, "lookup in a search " + zip4);
      }
    }
  }
  EXPECT_GT(delivered, 500);
  EXPECT_GT(cached_.blockCache().size(), 0u);
  EXPECT_LE(tiny_.blockCache().used(), 256u * 1024);
  EXPECT_EQ(uncached_.blockCache().size(), 0u);
}

}  // namespace
}  // namespace corvdb
