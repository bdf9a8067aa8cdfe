// Forward decoding: rows reached by stepping over the columns, and the
// word-at-a-time readers it uses, must give exactly what the decoded lists
// give, on code streams far less regular than the writer's.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "reader_test_file.h"
#include "short_codes.h"
#include "text_steps.h"

namespace corvdb {
namespace {

using corvellan::test::TempDir;
using testfile::Block;
using testfile::BuildFile;
using testfile::SimpleBlock;

// A numeric column's codes: mostly one- and two-byte deltas, mixed with
// longer codes and runs (tags 2 and 3) in the proportion `odd` in 100.
std::vector<uint32_t> RandomCodes(std::mt19937& random, std::size_t n, int odd) {
  std::vector<uint32_t> codes;
  for (std::size_t i = 0; i < n; ++i) {
    const int kind = static_cast<int>(random() % 100);
    uint32_t g = 0;
    uint32_t tag = random() % 2;
    if (kind < odd / 2) {
      tag = 2 + random() % 2;  // a run, of one or two bytes (or three)
      g = random() % 2 ? random() % 40 : random() % (random() % 8 == 0 ? 20000 : 4096);
    } else if (kind < odd) {
      g = random() % 2 ? 4096 + random() % ((1u << 19) - 4096) : random() % (1u << 30);  // three to five bytes
    } else if (kind % 2 == 0) {
      g = random() % 32;  // one byte
    } else {
      g = random() % 4096;  // two bytes
    }
    codes.push_back(g * 4 + tag);
  }
  return codes;
}

std::string Encode(const std::vector<uint32_t>& codes) {
  std::string bytes;
  for (uint32_t c : codes) PutVarMode0(&bytes, c);
  return bytes;
}

// What the first n codes leave: the running value and step, one code at a time.
struct Running {
  uint32_t value = 0;
  uint32_t step = 0;
  uint64_t entries = 0;
};
Running After(const std::vector<uint32_t>& codes, std::size_t n) {
  Running r;
  for (std::size_t i = 0; i < n; ++i) {
    const uint32_t g = codes[i] / 4;
    uint64_t times = 1;
    switch (codes[i] % 4) {
      case 0: r.step = g; break;
      case 1: r.step = 0u - g; break;
      case 2: r.step = g % 2; times = g / 2 + 1; break;
      default: times = g; break;
    }
    for (uint64_t t = 0; t < times; ++t) r.value += r.step;
    r.entries += times;
  }
  return r;
}

TEST(ShortCodes, WordAndVectorStepsStopAtACodeBoundaryWithTheRightSum) {
  using Skip = const uint8_t* (*)(const uint8_t*, const uint8_t*, uint64_t, uint32_t*, uint32_t*, uint64_t*);
  struct Reader {
    Skip skip;
    bool onlyShort;  // stops at the first code that is not a short delta
  };
  std::vector<Reader> readers = {{&SkipShortCodes, true}};
#if defined(__SSE2__)
  readers.push_back({&SkipShortCodesSse2, false});
#endif
#if defined(CORVDB_X86_AVX2)
  if (HasAvx2()) readers.push_back({&SkipShortCodesAvx2, false});
#endif
  std::mt19937 random(7);
  for (const Reader& reader : readers) {
    for (int trial = 0; trial < 3000; ++trial) {
      // Every fourth trial a long stream taken whole: runs and leads fall
      // at every place of a vector.
      const bool whole = trial % 4 == 1;
      const std::vector<uint32_t> codes = RandomCodes(random, 1 + random() % (whole ? 400 : 60), trial % 3 == 0 ? 30 : 3);
      const std::string bytes = Encode(codes);
      const auto* begin = reinterpret_cast<const uint8_t*>(bytes.data());
      // Start after some codes, with a value and step already running.
      const std::size_t start = random() % codes.size();
      const std::size_t offset =
          Encode(std::vector<uint32_t>(codes.begin(), codes.begin() + static_cast<long>(start))).size();
      const Running before = After(codes, start);
      uint32_t value = before.value;
      uint32_t step = before.step;
      uint64_t n = 0;
      const uint64_t allowed = whole ? uint64_t{1} << 40 : 8 + random() % 40;
      const uint8_t* end = reader.skip(begin + offset, begin + bytes.size(), allowed, &value, &step, &n);
      ASSERT_LE(n, allowed);
      // The codes taken: those that end where the reader stopped.
      std::size_t taken = start;
      while (taken < codes.size() &&
             Encode(std::vector<uint32_t>(codes.begin(), codes.begin() + static_cast<long>(taken))).size() <
                 static_cast<std::size_t>(end - begin)) {
        ++taken;
      }
      ASSERT_EQ(Encode(std::vector<uint32_t>(codes.begin(), codes.begin() + static_cast<long>(taken))).size(),
                static_cast<std::size_t>(end - begin))
          << "trial " << trial << ": not at a code boundary";
      const Running after = After(codes, taken);
      ASSERT_EQ(after.entries - before.entries, n) << "trial " << trial;
      ASSERT_EQ(value, after.value) << "trial " << trial;
      if (taken > start) {
        ASSERT_EQ(step, after.step) << "trial " << trial;
      }
      if (reader.onlyShort) {
        for (std::size_t i = start; i < taken; ++i) {
          ASSERT_LT(codes[i] % 4, 2u);
          ASSERT_LT(codes[i], 1u << 14);
        }
      }
      // A reader stops only for a reason: the allowed entries, the end of the
      // data, or (the word reader) a code of another kind.
      if (!reader.onlyShort && taken < codes.size()) {
        const uint64_t next = After(codes, taken + 1).entries - after.entries;
        const std::size_t remaining = bytes.size() - static_cast<std::size_t>(end - begin);
        ASSERT_FALSE(remaining >= 17 && allowed - n >= 16 && next <= allowed - n) << "trial " << trial << ": stopped early";
      }
    }
  }
}

TEST(ShortCodes, OneByteDeltasDecodeSixteenOrEightAtATime) {
  std::mt19937 random(11);
  for (int trial = 0; trial < 2000; ++trial) {
    std::vector<uint32_t> codes;
    for (int i = 0; i < 20; ++i) codes.push_back((random() % 32) * 4 + random() % 2);
    if (trial % 4 == 1) codes[random() % 16] = 40 * 4 + 2;                // a run among them
    if (trial % 4 == 2) codes[random() % 16] = (random() % 4096) * 4;      // a two-byte code
    std::string bytes = Encode(codes);
    Mode0Reader reader(reinterpret_cast<const uint8_t*>(bytes.data()),
                       reinterpret_cast<const uint8_t*>(bytes.data()) + bytes.size() - trial % 13);
    uint32_t value = 1000;
    uint32_t step = 5;
    int32_t out[16];
    const std::size_t n = DecodeSingleByteDeltas(reader, &value, &step, out);
    ASSERT_TRUE(n == 0 || n == 8 || n == 16);
    uint32_t v = 1000;
    for (std::size_t i = 0; i < n; ++i) {
      ASSERT_LT(codes[i] % 4, 2u);
      const uint32_t g = codes[i] / 4;
      v += (codes[i] % 4 == 1) ? 0u - g : g;
      ASSERT_EQ(out[i], static_cast<int32_t>(v)) << "trial " << trial << " entry " << i;
    }
    if (n > 0) {
      ASSERT_EQ(value, v);
      ASSERT_EQ(reader.position(), reinterpret_cast<const uint8_t*>(bytes.data()) + n);
    }
  }
}

// Code-column data: long stretches of runs of one value byte and a one-byte
// length (empty values, characters, repeats of anything up to 31 back,
// longer values included), broken now and then by other runs (longer text,
// text with a byte 0, shared fronts and backs, a long length), so that a walk
// taking such runs eight at a time starts and stops at every place: in a
// group, just before another run, near the data's end.
std::string CodeColumnData(std::mt19937& random, int rows) {
  std::string data;
  uint64_t entries = 0;
  int values = 0;
  while (entries < static_cast<uint64_t>(rows)) {
    const int stretch = static_cast<int>(random() % 4 == 0 ? random() % 8 : 8 + random() % 300);
    for (int i = 0; i < stretch && entries < static_cast<uint64_t>(rows); ++i) {
      const int kind = static_cast<int>(random() % 10);
      char b = 0;
      if (kind < 6 && values > 0) {
        b = static_cast<char>(1 + random() % std::min(values, 31));  // a repeat
      } else if (kind < 8) {
        b = static_cast<char>('A' + random() % 4);
      }
      data += b;
      const uint32_t length = 1 + random() % (i % 5 == 0 ? 128 : 3);
      PutVarMode2(&data, length - 1);
      entries += length;
      ++values;
    }
    switch (random() % 5) {
      case 0: data += "ELM " + std::to_string(random() % 100); break;
      case 1: data += std::string("OAK") + '\0' + "HIDDEN"; break;
      case 2: data += std::string(1, '\2') + "MID" + std::string(1, '\1'); break;
      case 3: data += "Q"; break;  // a character, then a long length below
      default: data += std::string(1, static_cast<char>(1 + random() % std::max(1, std::min(values, 31)))); break;
    }
    const uint32_t length = random() % 5 == 3 ? 200 + random() % 300 : 1 + random() % 4;
    PutVarMode2(&data, length - 1);
    entries += length;
    ++values;
  }
  data += std::string(1, '\0');
  return data;
}

// A text column's entries as its lists give them (the reference for the
// forward walks); fewer than `rows` where the lists do not decode.
std::vector<std::string> ListedValues(stringTable& column, int rows) {
  std::vector<std::string> lists;
  if (!column.loadBlock()) return lists;
  for (int k = 0; k < rows; ++k) {
    std::string_view v;
    if (!column.entry(static_cast<uint64_t>(k), &v)) break;
    lists.emplace_back(v);
  }
  return lists;
}

class ForwardAndLists : public ::testing::Test {
 protected:
  void Open(int rows, int c, const std::string& data) {
    Block b = SimpleBlock("12345", rows);
    b.rawColumns[c] = data;
    ASSERT_EQ(testfile::OpenBytes(engine_, dir_, BuildFile({b})), 0);
    ASSERT_TRUE(engine_.loadZipBlock("12345"));
  }
  void Reload() {
    engine_.setBlockCacheBytes(0);
    ASSERT_TRUE(engine_.loadZipBlock("99999") || true);
    ASSERT_TRUE(engine_.loadZipBlock("12345"));
  }

  TempDir dir_;
  ReadZipFile engine_;
};

TEST_F(ForwardAndLists, NumbersStepsForwardStartsOverAndListsAgree) {
  std::mt19937 random(3);
  const int rows = 3000;
  std::vector<uint32_t> codes = RandomCodes(random, 2 * rows, 6);
  Open(rows, kPrimaryNumber, std::string(4, 'x') + Encode(codes) + std::string(1, '\0'));
  ASSERT_TRUE(engine_.PrimaryNumber.loadBlock());
  const std::vector<int32_t> lists(engine_.PrimaryNumber.numbers().begin(), engine_.PrimaryNumber.numbers().end());
  ASSERT_EQ(lists.size(), 2u * rows);

  for (int trial = 0; trial < 20; ++trial) {
    Reload();
    // In increasing order (stepped to), then once back (started over), then
    // back again (the lists).
    uint64_t k = random() % 5;
    while (k < lists.size()) {
      int32_t v = 0;
      ASSERT_TRUE(engine_.PrimaryNumber.number(k, &v));
      ASSERT_EQ(v, lists[k]) << "entry " << k;
      k += 1 + random() % (trial % 2 ? 3 : 200);
    }
    for (int back = 0; back < 3; ++back) {
      const uint64_t e = random() % lists.size();
      int32_t v = 0;
      ASSERT_TRUE(engine_.PrimaryNumber.number(e, &v));
      ASSERT_EQ(v, lists[e]) << "entry " << e;
    }
  }
}

TEST_F(ForwardAndLists, TextRepeatsSharedPartsAndByteZeroAgree) {
  // Runs of every kind, with literal values holding a byte 0 (cut there) and
  // shared fronts and backs of such values.
  std::mt19937 random(5);
  const int rows = 2000;
  std::string data;
  uint64_t entries = 0;
  int values = 0;
  while (entries < static_cast<uint64_t>(rows)) {
    std::string value;
    switch (random() % 6) {
      case 0: value = std::string(1, '\0'); break;                                   // empty
      case 1: value = values > 0 ? std::string(1, static_cast<char>(1 + random() % std::min(values, 31))) : "Q"; break;
      case 2: value = std::string(1, static_cast<char>('A' + random() % 26)); break;  // one character
      case 3: value = "ELM " + std::to_string(random() % 1000); break;
      case 4: value = std::string("OAK") + '\0' + "HIDDEN"; break;                   // cut at the byte 0
      default:  // a front and a back of the previous value around new text
        value = std::string(1, static_cast<char>(random() % 4)) + "MID" + std::string(1, static_cast<char>(1 + random() % 3));
        break;
    }
    const uint32_t length = 1 + random() % 7;
    data += value;
    PutVarMode2(&data, length - 1);
    entries += length;
    ++values;
  }
  data += std::string(1, '\0');
  Open(rows, kStreetName, data);
  const std::vector<std::string> lists = ListedValues(engine_.StreetName, rows);
  ASSERT_EQ(lists.size(), static_cast<std::size_t>(rows));

  for (int trial = 0; trial < 20; ++trial) {
    Reload();
    uint64_t k = random() % 3;
    while (k < static_cast<uint64_t>(rows)) {
      std::string_view v;
      ASSERT_TRUE(engine_.StreetName.entry(k, &v));
      ASSERT_EQ(std::string(v), lists[k]) << "entry " << k;
      k += 1 + random() % (trial % 2 ? 2 : 90);
    }
    for (int back = 0; back < 3; ++back) {
      const uint64_t e = random() % static_cast<uint64_t>(rows);
      std::string_view v;
      ASSERT_TRUE(engine_.StreetName.entry(e, &v));
      ASSERT_EQ(std::string(v), lists[e]) << "entry " << e;
    }
  }
}

TEST_F(ForwardAndLists, LongStretchesOfOneByteRunsAgree) {
  std::mt19937 random(17);
  const int rows = 40000;
  const std::string data = CodeColumnData(random, rows);
  Open(rows, kStreetName, data);
  const std::vector<std::string> lists = ListedValues(engine_.StreetName, rows);
  ASSERT_EQ(lists.size(), static_cast<std::size_t>(rows));

  for (int trial = 0; trial < 40; ++trial) {
    Reload();
    // Steps of every size, each walk in increasing order; then one entry
    // back (started over) and on again.
    const uint64_t most = trial % 4 == 0 ? 2 : trial % 4 == 1 ? 40 : trial % 4 == 2 ? 700 : 5000;
    uint64_t k = random() % 3;
    int back = 0;
    while (k < static_cast<uint64_t>(rows)) {
      std::string_view v;
      ASSERT_TRUE(engine_.StreetName.entry(k, &v));
      ASSERT_EQ(std::string(v), lists[k]) << "trial " << trial << " entry " << k;
      if (back == 0 && k > 20000) {
        back = 1;
        k = random() % 10000;
        continue;
      }
      k += 1 + random() % most;
    }
  }
}

#if defined(CORVDB_X86_AVX2)
TEST(TextSteps, EightRunsAtATimeEqualOneAtATime) {
  // StepIdRuns against the format's rules applied one run at a time, from a
  // ring of 32 values of every kind (empty, one character, longer text), over
  // simple runs with now and then another run and an entry asked for at any
  // place. Where the vector steps stop is part of the contract: at the run
  // that covers the entry, before another run, or at a group of eight that
  // does not have seventeen bytes.
  if (!HasAvx2()) GTEST_SKIP() << "no AVX2";
  std::mt19937 random(29);
  for (int trial = 0; trial < 3000; ++trial) {
    std::vector<std::string> ring(32);  // slot = value number mod 32
    const char* data[32];
    std::size_t size[32];
    const uint64_t start = 32 + random() % 100;
    for (uint64_t v = start - 32; v < start; ++v) {
      const int kind = static_cast<int>(random() % 3);
      ring[v % 32] = kind == 0 ? "" : kind == 1 ? std::string(1, static_cast<char>('A' + random() % 26))
                                                : "ELM " + std::to_string(random() % 1000);
    }
    for (int i = 0; i < 32; ++i) {
      data[i] = ring[static_cast<std::size_t>(i)].empty() ? nullptr : ring[static_cast<std::size_t>(i)].data();
      size[i] = ring[static_cast<std::size_t>(i)].size();
    }
    std::string bytes;
    const int runs = 1 + static_cast<int>(random() % 60);
    for (int i = 0; i < runs; ++i) {
      const int kind = static_cast<int>(random() % 20);
      if (kind == 0) {
        bytes += "OAK";  // another run
      } else {
        // Repeats of the last few values make chains inside a group of
        // eight (a repeat of 1 seven times running is the longest).
        const uint32_t back = 1 + random() % (kind < 6 ? 2 : 31);
        bytes += static_cast<char>(kind < 12 ? back : kind < 15 ? 0 : 'A' + random() % 26);
      }
      PutVarMode2(&bytes, random() % (kind == 19 ? 300 : 6));
    }
    bytes += std::string(1, '\0');
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    const uint8_t* limit = p + bytes.size() - random() % 3;
    const uint64_t k = random() % 400;

    // One run at a time, in groups of eight as the vector steps take them.
    std::vector<std::string> expected = ring;
    TextSteps want{p, 0, 0, start};
    for (;;) {
      if (want.runEnd > k || limit - want.p < 17) break;
      int taken = 0;
      for (; taken < 8 && want.runEnd <= k; ++taken) {
        const uint8_t* r = want.p;
        if (!(r[0] < 0x80 && r[1] >= 0x80 && r[2] < 0x80)) break;
        const uint8_t b = r[0];
        const std::string value =
            b == 0 ? "" : b < 32 ? expected[(want.count - b) % 32] : std::string(1, static_cast<char>(b));
        expected[want.count % 32] = value;
        want.runBegin = want.runEnd;
        want.runEnd += (r[1] & 0x7Fu) + 1;
        want.p += 2;
        ++want.count;
      }
      if (taken < 8) break;
    }

    IdRing ids;
    RingToIds(data, size, start, &ids);
    const TextSteps got = StepIdRuns(TextSteps{p, 0, 0, start}, limit, k, &ids);
    ASSERT_EQ(got.p, want.p) << "trial " << trial;
    ASSERT_EQ(got.count, want.count) << "trial " << trial;
    ASSERT_EQ(got.runBegin, want.runBegin) << "trial " << trial;
    ASSERT_EQ(got.runEnd, want.runEnd) << "trial " << trial;
    IdsToRing(ids, got.count, data, size);
    for (uint64_t v = got.count - 32; v < got.count; ++v) {
      ASSERT_EQ(std::string(data[v % 32] == nullptr ? "" : data[v % 32], size[v % 32]), expected[v % 32])
          << "trial " << trial << " value " << v;
    }
  }
}
#endif

TEST(ForwardAndCache, StretchesOfRunsGoOnAfterTheBlockCameBackFromTheCache) {
  // A code column walked part of the way (in eight-run steps or not), its
  // block left for another and taken back from the cache: the walk goes on
  // where it stopped and gives what the lists give.
  std::mt19937 random(23);
  const int rows = 20000;
  Block a = SimpleBlock("12345", rows);
  a.rawColumns[kStreetName] = CodeColumnData(random, rows);
  Block b = SimpleBlock("12346", 40);
  TempDir dir;
  ReadZipFile engine;
  ASSERT_EQ(testfile::OpenBytes(engine, dir, BuildFile({a, b})), 0);
  ASSERT_TRUE(engine.loadZipBlock("12345"));
  const std::vector<std::string> lists = ListedValues(engine.StreetName, rows);
  ASSERT_EQ(lists.size(), static_cast<std::size_t>(rows));
  for (int round = 0; round < 12; ++round) {
    // Left twice within a short time: kept in the cache the second time.
    ASSERT_TRUE(engine.loadZipBlock("12346"));
    ASSERT_TRUE(engine.loadZipBlock("12345"));
    ASSERT_TRUE(engine.loadZipBlock("12346"));
    engine.setBlockCacheBytes(0);
    engine.setBlockCacheBytes(64u << 20);
    ASSERT_TRUE(engine.loadZipBlock("12345"));
    uint64_t k = random() % 3000;
    std::string_view v;
    ASSERT_TRUE(engine.StreetName.entry(k, &v));
    ASSERT_EQ(std::string(v), lists[k]) << "round " << round;
    ASSERT_TRUE(engine.loadZipBlock("12346"));
    std::string_view other;
    ASSERT_TRUE(engine.StreetName.entry(random() % 40, &other));
    ASSERT_TRUE(engine.loadZipBlock("12345"));  // from the cache
    while ((k += 1 + random() % 900) < static_cast<uint64_t>(rows)) {
      ASSERT_TRUE(engine.StreetName.entry(k, &v));
      ASSERT_EQ(std::string(v), lists[k]) << "round " << round << " entry " << k;
    }
  }
}

TEST_F(ForwardAndLists, TextConditionsOnRunsMatchTheTrimmedValues) {
  // Values with leading and trailing blanks, a byte 0 after and before the
  // key, shared fronts, repeats; keys plain, with a trailing blank, exact.
  const std::vector<std::string> values = {
      "CITY HALL", "  CITY OF X", "CITY", std::string("CITY\0JUNK", 9),
      "AB\x02",  // AB + the back of the previous value, cut at its byte 0: ABTY
      std::string("CI\0TY", 5), "CITYSCAPE   ",
      "TOWN", "\x04 PARK",  // the front of TOWN + " PARK"
      "\x03", "C", std::string(1, '\0'), "   "};
  std::string data;
  for (const std::string& v : values) {
    data += v;
    PutVarMode2(&data, 1);  // two rows each
  }
  data += std::string(1, '\0');
  const int rows = static_cast<int>(values.size()) * 2;
  Open(rows, kBuildingOrFirmName, data);
  ASSERT_TRUE(engine_.BuildingOrFirmName.loadBlock());  // the expected values come from the lists
  std::string_view abty;
  ASSERT_TRUE(engine_.BuildingOrFirmName.entry(8, &abty));
  ASSERT_EQ(abty, "ABTY");
  for (const auto& [key, exact] : std::vector<std::pair<std::string, bool>>{
           {"CITY", false}, {"CITY", true}, {"CITY ", false}, {"C", false}, {"CITY HALL", true}, {"TOWN PARK", false}, {"ABTY", true}}) {
    BitSet runs(static_cast<std::size_t>(rows));
    ASSERT_TRUE(engine_.BuildingOrFirmName.selectRuns(key, exact, static_cast<uint64_t>(rows), &runs));
    for (int r = 0; r < rows; ++r) {
      std::string_view v;
      ASSERT_TRUE(engine_.BuildingOrFirmName.entry(static_cast<uint64_t>(r), &v));
      const std::string_view t = strUtil::trimmed(v);
      const bool want = exact ? t == key : t.substr(0, key.size()) == key;
      EXPECT_EQ(runs.test(static_cast<std::size_t>(r)), want) << "key '" << key << "' row " << r << " '" << t << "'";
    }
  }
}

TEST_F(ForwardAndLists, RowsOfMatchedRunsKeepTheirValuesForDelivery) {
  // A condition's column is read whole by selectRuns; delivering a selected
  // row then takes the matched run's value, which must be the row's value
  // (cut at a byte 0, built from the values before it), in or out of order.
  const std::vector<std::string> values = {"CITY HALL", std::string("CITY\0JUNK", 9), "TOWN", "CI\x02",
                                           "\x02",  "CITY ARMS",                      "\x03", "CITY"};
  std::string data;
  for (std::size_t i = 0; i < values.size(); ++i) {
    data += values[i];
    PutVarMode2(&data, i % 3);  // runs of 1, 2 and 3 rows
  }
  data += std::string(1, '\0');
  const int rows = 15;
  Open(rows, kBuildingOrFirmName, data);
  ASSERT_TRUE(engine_.BuildingOrFirmName.loadBlock());
  std::vector<std::string> want;
  for (int r = 0; r < rows; ++r) {
    std::string_view v;
    ASSERT_TRUE(engine_.BuildingOrFirmName.entry(static_cast<uint64_t>(r), &v));
    want.emplace_back(v);
  }
  ASSERT_EQ(want[1], "CITY");
  ASSERT_EQ(want[6], "CIWN");   // CI + the back of TOWN
  ASSERT_EQ(want[7], "TOWN");   // a repeat
  ASSERT_EQ(want[12], "CIWN");
  for (const char* key : {"CITY", "TOWN", "C"}) {
    Open(rows, kBuildingOrFirmName, data);
    BitSet selected(static_cast<std::size_t>(rows));
    ASSERT_TRUE(engine_.BuildingOrFirmName.selectRuns(key, false, static_cast<uint64_t>(rows), &selected));
    ASSERT_TRUE(selected.any()) << key;
    for (const int r : {3, 4, 5, 9, 0, 1, 2, 6, 7, 8, 10, 11, 12, 13, 14, 14, 0}) {
      std::string_view v;
      ASSERT_TRUE(engine_.BuildingOrFirmName.entry(static_cast<uint64_t>(r), &v)) << key << " row " << r;
      EXPECT_EQ(v, want[static_cast<std::size_t>(r)]) << key << " row " << r;
    }
  }
}

TEST_F(ForwardAndLists, DamageStopsForwardDecodingWhereTheListsStop) {
  // A repeat of a value never decoded, after 40 good entries.
  std::string data;
  for (int i = 0; i < 40; ++i) {
    data += "V" + std::to_string(i);
    PutVarMode2(&data, 0);
  }
  data += std::string(1, '\x1F');
  PutVarMode2(&data, 0);
  data += std::string(1, '\0');
  Open(100, kStreetName, data);
  std::string_view v;
  EXPECT_TRUE(engine_.StreetName.entry(39, &v));
  EXPECT_EQ(v, "V39");
  EXPECT_TRUE(engine_.StreetName.entry(40, &v));  // the 31st most recent value is there
  EXPECT_FALSE(engine_.StreetName.entry(80, &v));  // the data ends
  EXPECT_TRUE(engine_.StreetName.entry(5, &v));   // started over: still readable before the damage
  EXPECT_EQ(v, "V5");
  EXPECT_FALSE(engine_.StreetName.loadBlock());
}

}  // namespace
}  // namespace corvdb
