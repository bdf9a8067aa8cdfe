#include "key_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "bit_set.h"
#include "coding.h"

namespace corvdb {
namespace {

using Entry = std::pair<std::string, uint32_t>;  // key, ZIP code

std::string Area(const std::string& entries) {
  std::string area;
  PutFixed32(&area, static_cast<uint32_t>(4 + entries.size() + 1));
  area += entries;
  area.push_back('\0');
  return area;
}

// Writes the areas of one column the way the data file holds them: sorted
// main entries, and for k > 0 a first-level list of blank-padded k-character
// prefixes pointing at the first main entry of their group.
std::string BuildAreas(std::vector<Entry> entries, int k) {
  std::sort(entries.begin(), entries.end());
  std::string main;
  std::string first;
  std::string last_prefix;
  for (const auto& [key, zip] : entries) {
    if (k > 0) {
      std::string prefix = key.substr(0, static_cast<std::size_t>(k));
      prefix.resize(static_cast<std::size_t>(k), ' ');
      if (first.empty() || prefix != last_prefix) {
        first += prefix;
        PutVarMode2(&first, static_cast<uint32_t>(main.size()));
        last_prefix = prefix;
      }
    }
    main += key;
    PutVarMode2(&main, zip);
  }
  return (k > 0 ? Area(first) : std::string()) + Area(main);
}

struct Attached {
  std::string bytes;
  KeyIndex index;
  explicit Attached(std::string b, int k) : bytes(std::move(b)) {
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    end = index.attach(p, p + bytes.size(), k);
  }
  const uint8_t* end = nullptr;
  const uint8_t* begin() const { return reinterpret_cast<const uint8_t*>(bytes.data()); }
};

std::vector<std::size_t> Zips(const KeyIndex& index, std::string_view key, bool exact, bool* found = nullptr) {
  ZipBits bits(kZipCodeCount);
  const bool f = index.findKey(key, bits, exact);
  if (found != nullptr) *found = f;
  std::vector<std::size_t> out;
  for (std::size_t z = bits.findFrom(0); z != BitSet::npos; z = bits.findFrom(z + 1)) out.push_back(z);
  EXPECT_EQ(f, !out.empty());
  return out;
}

const std::vector<Entry> kStreets = {
    {"ELM", 10001},   {"MA", 30303},     {"MAIN", 2108},  {"MAIN", 60601}, {"MAINE", 4101},
    {"MAIN ST", 777}, {"MAPLE", 99999},  {"MARKET", 94103}, {"OAK", 12345}, {"A", 5},
};

TEST(KeyIndexAttach, TakesFirstLevelThenMainAreaAndReturnsTheAddressAfterThem) {
  const std::string one = BuildAreas(kStreets, 3);
  const std::string two = BuildAreas({{"CA", 90210}, {"NY", 10001}}, 0);
  Attached a(one + two, 3);
  ASSERT_EQ(a.end, a.begin() + one.size());
  KeyIndex next;
  EXPECT_EQ(next.attach(a.end, a.begin() + a.bytes.size(), 0), a.begin() + a.bytes.size());
  EXPECT_EQ(Zips(next, "NY", false), std::vector<std::size_t>{10001});
}

TEST(KeyIndexAttach, RejectsDamagedLengthWords) {
  std::string areas = BuildAreas(kStreets, 3);
  const auto* p = reinterpret_cast<const uint8_t*>(areas.data());
  KeyIndex index;
  EXPECT_EQ(index.attach(p, p + areas.size() - 1, 3), nullptr);  // main area runs past the end
  EXPECT_FALSE(index.attached());
  EXPECT_EQ(index.attach(p, p + 3, 0), nullptr);                 // no room for a length word
  for (uint32_t bad : {0u, 3u}) {
    std::string b = areas;
    EncodeFixed32(reinterpret_cast<uint8_t*>(b.data()), bad);
    const auto* q = reinterpret_cast<const uint8_t*>(b.data());
    EXPECT_EQ(index.attach(q, q + b.size(), 3), nullptr) << bad;
  }
  // An empty area (length 4) is valid: nothing is found in it.
  std::string empty;
  PutFixed32(&empty, 4);
  const auto* e = reinterpret_cast<const uint8_t*>(empty.data());
  EXPECT_EQ(index.attach(e, e + 4, 0), e + 4);
  EXPECT_TRUE(Zips(index, "MAIN", false).empty());
}

TEST(KeyIndexFind, BeginningOfKeyMatchSelectsLongerKeysExactDoesNot) {
  for (int k : {0, 3}) {
    Attached a(BuildAreas(kStreets, k), k);
    ASSERT_NE(a.end, nullptr);
    EXPECT_EQ(Zips(a.index, "MAIN", false), (std::vector<std::size_t>{777, 2108, 4101, 60601})) << k;
    EXPECT_EQ(Zips(a.index, "MAIN", true), (std::vector<std::size_t>{2108, 60601})) << k;
    // MAIN sorts before MAINE: the walk for MAINE goes on past it.
    EXPECT_EQ(Zips(a.index, "MAINE", false), std::vector<std::size_t>{4101}) << k;
    EXPECT_EQ(Zips(a.index, "MAINE", true), std::vector<std::size_t>{4101}) << k;
    EXPECT_EQ(Zips(a.index, "MAIN ST", true), std::vector<std::size_t>{777}) << k;
    EXPECT_TRUE(Zips(a.index, "MAINS", false).empty()) << k;
    EXPECT_TRUE(Zips(a.index, "ZEBRA", false).empty()) << k;
    // Last entry of the list, and the largest ZIP code.
    EXPECT_EQ(Zips(a.index, "MAPLE", true), std::vector<std::size_t>{99999}) << k;
    EXPECT_EQ(Zips(a.index, "OAK", true), std::vector<std::size_t>{12345}) << k;
  }
}

TEST(KeyIndexFind, KeysShorterThanKWalkTheFirstLevelList) {
  Attached a(BuildAreas(kStreets, 3), 3);
  // MA is itself a key (padded to "MA " in the first-level list) and the
  // beginning of MAIN, MAPLE, MARKET, whose groups come later.
  EXPECT_EQ(Zips(a.index, "MA", false), (std::vector<std::size_t>{777, 2108, 4101, 30303, 60601, 94103, 99999}));
  EXPECT_EQ(Zips(a.index, "MA", true), std::vector<std::size_t>{30303});
  EXPECT_EQ(Zips(a.index, "A", true), std::vector<std::size_t>{5});
  EXPECT_EQ(Zips(a.index, "M", false).size(), 7u);
  EXPECT_TRUE(Zips(a.index, "MB", false).empty());
  EXPECT_TRUE(Zips(a.index, "Z", false).empty());
  // Blank padding: "EL" is not "ELM" exactly.
  EXPECT_TRUE(Zips(a.index, "EL", true).empty());
}

TEST(KeyIndexFind, PrefixMissingFromFirstLevelListNeverReachesTheMainList) {
  // The first-level list lacks the group "MAI" although the main list holds
  // MAIN: the lookup trusts the first-level list.
  std::string first;
  first += "ELM";
  PutVarMode2(&first, 0);
  std::string main = "ELM";
  PutVarMode2(&main, 10001);
  main += "MAIN";
  PutVarMode2(&main, 2108);
  Attached a(Area(first) + Area(main), 3);
  ASSERT_NE(a.end, nullptr);
  EXPECT_TRUE(Zips(a.index, "MAIN", false).empty());
  EXPECT_EQ(Zips(a.index, "ELM", true), std::vector<std::size_t>{10001});
}

TEST(KeyIndexFind, FirstLevelMatchesOnlyWholeEntries) {
  // Keys with bytes of 0x80 and up (typed Latin-1 text) must not match the
  // last characters of one entry followed by its distance bytes.
  std::string first = "XYA";
  PutVarMode2(&first, 0);  // 0x80
  std::string main = "XYA";
  PutVarMode2(&main, 42);
  Attached a(Area(first) + Area(main), 3);
  const std::string key = std::string("A") + static_cast<char>(0x80) + "Q";
  EXPECT_TRUE(Zips(a.index, key, false).empty());
  EXPECT_TRUE(Zips(a.index, "YAQ", false).empty());
  EXPECT_EQ(Zips(a.index, "XYA", false), std::vector<std::size_t>{42});
}

TEST(KeyIndexFind, DamagedAreasEndTheWalkWithoutReadingPastThem) {
  // Each variant is copied into a buffer of its exact size, so that ASan sees
  // any read past the area.
  auto find = [](const std::string& areas, int k, std::string_view key) {
    std::vector<uint8_t> buf(areas.begin(), areas.end());
    KeyIndex index;
    if (index.attach(buf.data(), buf.data() + buf.size(), k) == nullptr) return std::vector<std::size_t>{};
    return Zips(index, key, false);
  };
  // The main list lacks a terminating 0: its last number ends at the end of
  // the area, and the last entry is found with the others.
  std::string main = "MAIN";
  PutVarMode2(&main, 2108);
  main += "MAINE";
  PutVarMode2(&main, 4101);
  std::string area;
  PutFixed32(&area, static_cast<uint32_t>(4 + main.size()));
  EXPECT_EQ(find(area + main, 0, "MAIN"), (std::vector<std::size_t>{2108, 4101}));
  // A key text running to the end of the area.
  std::string open_text;
  PutFixed32(&open_text, 4 + 6);
  EXPECT_TRUE(find(open_text + "MAINST", 0, "MAIN").empty());
  // A ZIP code of 100,000 or more is skipped; the walk goes on.
  std::string big = "MAIN";
  PutVarMode2(&big, 100000);
  big += "MAIN";
  PutVarMode2(&big, 7);
  EXPECT_EQ(find(Area(big), 0, "MAIN"), std::vector<std::size_t>{7});
  // A first-level distance beyond the main list.
  std::string first = "MAI";
  PutVarMode2(&first, 1000);
  EXPECT_TRUE(find(Area(first) + Area(main), 3, "MAIN").empty());
  // A first-level entry cut short by the end of its area.
  std::string short_first;
  PutFixed32(&short_first, 4 + 3);
  EXPECT_TRUE(find(short_first + "MAI" + Area(main), 3, "MAIN").empty());
  EXPECT_TRUE(find(short_first + "MAI" + Area(main), 3, "MA").empty());
}

TEST(KeyIndexFind, EveryTruncationAndByteFlipGivesADocumentedOutcome) {
  const std::string good = BuildAreas(kStreets, 3);
  const std::vector<std::string> keys = {"MAIN", "MA", "M", "", "MAPLE", "OAK", "ZZZZ"};
  auto run = [&](const std::string& bytes) {
    std::vector<uint8_t> buf(bytes.begin(), bytes.end());
    KeyIndex index;
    const uint8_t* end = index.attach(buf.data(), buf.data() + buf.size(), 3);
    if (end == nullptr) return;
    EXPECT_LE(end, buf.data() + buf.size());
    for (const auto& key : keys) {
      for (bool exact : {false, true}) {
        for (std::size_t z : Zips(index, key, exact)) EXPECT_LT(z, kZipCodeCount);
      }
    }
  };
  for (std::size_t n = 0; n <= good.size(); ++n) run(good.substr(0, n));
  for (std::size_t i = 0; i < good.size(); ++i) {
    for (uint8_t flip : {0x01, 0x80, 0xFF}) {
      std::string b = good;
      b[i] = static_cast<char>(static_cast<uint8_t>(b[i]) ^ flip);
      run(b);
    }
  }
}

// The areas of one column without the byte 0 at the end of each: every area
// ends right after its last number.
std::string BuildAreasWithoutZeros(const std::vector<Entry>& entries, int k) {
  const std::string with = BuildAreas(entries, k);
  std::string out;
  for (std::size_t p = 0; p < with.size();) {
    const uint32_t length = DecodeFixed32(reinterpret_cast<const uint8_t*>(with.data() + p));
    EXPECT_EQ(with[p + length - 1], '\0');
    PutFixed32(&out, length - 1);
    out += with.substr(p + 4, length - 5);
    p += length;
  }
  return out;
}

TEST(KeyIndexFind, AnAreaMayEndRightAfterItsLastNumber) {
  // Each area sits in a buffer that ends with it, or is followed by bytes
  // with bit 7 set (the next area's length word may hold such bytes): the
  // last number ends at the area's end either way and never takes them in.
  for (const std::string& after : {std::string(), std::string("\x81\x82\x83\x84", 4)}) {
    for (int k : {0, 3}) {
      const std::string areas = BuildAreasWithoutZeros(kStreets, k);
      std::vector<uint8_t> buf(areas.begin(), areas.end());
      buf.insert(buf.end(), after.begin(), after.end());
      KeyIndex index;
      ASSERT_EQ(index.attach(buf.data(), buf.data() + buf.size(), k), buf.data() + areas.size()) << k;
      // OAK (12345) is the last main entry, and with k = 3 the last
      // first-level entry "OAK" ends the first-level area.
      EXPECT_EQ(Zips(index, "OAK", true), std::vector<std::size_t>{12345}) << k;
      EXPECT_EQ(Zips(index, "O", false), std::vector<std::size_t>{12345}) << k;
      EXPECT_EQ(Zips(index, "OA", false), std::vector<std::size_t>{12345}) << k;
      EXPECT_EQ(Zips(index, "MAIN", false), (std::vector<std::size_t>{777, 2108, 4101, 60601})) << k;
      EXPECT_TRUE(Zips(index, "OAKS", false).empty()) << k;
      EXPECT_TRUE(Zips(index, "P", false).empty()) << k;
    }
  }
  // One entry, a ZIP code of three number bytes, nothing after the area.
  std::string main = "WY";
  PutVarMode2(&main, 99999);
  std::string area;
  PutFixed32(&area, static_cast<uint32_t>(4 + main.size()));
  std::vector<uint8_t> buf(area.begin(), area.end());
  buf.insert(buf.end(), main.begin(), main.end());
  KeyIndex index;
  ASSERT_NE(index.attach(buf.data(), buf.data() + buf.size(), 0), nullptr);
  EXPECT_EQ(Zips(index, "W", false), std::vector<std::size_t>{99999});
}

TEST(KeyIndexFind, DetachedIndexFindsNothing) {
  KeyIndex index;
  ZipBits bits(kZipCodeCount);
  EXPECT_FALSE(index.findKey("MAIN", bits, false));
  EXPECT_FALSE(bits.any());
}

TEST(BitSet, TakesBitsInAscendingOrderAcrossWords) {
  BitSet bits(kZipCodeCount);
  for (std::size_t z : {99999u, 64u, 0u, 63u, 12345u}) bits.set(z);
  bits.set(kZipCodeCount);  // out of range: ignored
  EXPECT_EQ(bits.count(), 5u);
  std::vector<std::size_t> taken;
  for (std::size_t z = bits.takeLowest(); z != BitSet::npos; z = bits.takeLowest()) taken.push_back(z);
  EXPECT_EQ(taken, (std::vector<std::size_t>{0, 63, 64, 12345, 99999}));
  EXPECT_TRUE(bits.none());
  bits.set(5);  // a bit below the words already passed
  EXPECT_EQ(bits.takeLowest(), 5u);
}

TEST(BitSet, RangesAndIntersections) {
  BitSet a(200);
  a.setRange(60, 130);
  a.setRange(190, 500);  // cut at the size
  EXPECT_EQ(a.count(), 71u + 10u);
  EXPECT_EQ(a.findFrom(0), 60u);
  EXPECT_EQ(a.findFrom(131), 190u);
  EXPECT_EQ(a.findFrom(200), BitSet::npos);
  BitSet b(100);
  b.setRange(0, 99);
  a.andWith(b);
  EXPECT_EQ(a.count(), 40u);
  EXPECT_EQ(a.findFrom(100), BitSet::npos);
  BitSet c(70);
  c.orWith(a);  // bits beyond its size are not taken
  EXPECT_EQ(c.count(), 10u);
  EXPECT_FALSE(c.test(70));
  c.clear();
  EXPECT_EQ(c.takeLowest(), BitSet::npos);
}

}  // namespace
}  // namespace corvdb
