// Writes the City-State records and the ZIP+4 detail records of one ZIP code
// at a time, so a national-size sample never has more than one ZIP code's
// bookkeeping in memory.
#pragma once

#include <bitset>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "sample/names.h"
#include "sample/random.h"
#include "sample/sample_data.h"
#include "sample/usps_records.h"

namespace corvdb::tools {

// The ZIP classification code of the City-State record.
enum class ZipClass : char {
  kStandard = ' ',
  kPoBoxOnly = 'P',
  kUnique = 'U',  // one organization
  kMilitary = 'M',
};

struct ZipPlan {
  size_t place;       // index into SampleData::places
  ZipClass zip_class;
  uint64_t records;   // detail records to write, at least 1
};

class RecordSink {
 public:
  virtual ~RecordSink() = default;
  virtual void Detail(const usps::Zip4Record& record) = 0;
  virtual void CityState(const usps::CityStateRecord& record) = 0;
};

// Hands out ZIP+4 add-ons within one ZIP code. Single add-ons are unique while
// the 9,998 codes 0001-9998 last (9999 is general delivery); a ZIP code that
// needs more lets a few consecutive requests share one code. Ranges (PO box
// sections) are taken from the top of the space.
class AddonAllocator {
 public:
  static constexpr uint32_t kGeneralDelivery = 9999;
  static constexpr uint32_t kLast = 9998;

  void Reset(Rng& rng, uint64_t expected_singles);
  uint32_t Single();
  bool Range(uint32_t count, uint32_t* low);
  void Reserve(uint32_t low, uint32_t high);
  // Starts a new street: jumps ahead to the next group of ten when there is room.
  void NewGroup();

 private:
  Rng* rng_ = nullptr;
  std::bitset<10000> used_;
  uint32_t cursor_ = 0;
  uint32_t gap_max_ = 1;
  uint32_t top_ = kLast;
  uint32_t range_room_ = 0;
  uint64_t share_ = 1;
  uint64_t share_left_ = 0;
  uint32_t last_ = 0;
  bool first_ = true;
};

class ZipGenerator {
 public:
  // `total_records` sizes the gaps between update key numbers so they stay
  // within 9 digits.
  ZipGenerator(const SampleData& data, uint64_t seed, uint64_t total_records);

  void Generate(const ZipPlan& plan, RecordSink* sink);

 private:
  struct Street {
    std::string pre, name, suffix, post;
    std::string route;
    std::string last_line_key, municipality_key, urbanization_key;
    char number_prefix = 0;  // N, S, E or W in grid-numbered ZIP codes
    char lacs = ' ';
  };
  struct Span {  // what an alternate record of a street covers
    uint64_t primary_low = UINT64_MAX, primary_high = 0;
    uint32_t addon_low = UINT32_MAX, addon_high = 0;
    uint64_t records = 0;
  };

  // City-State side.
  void WriteCityStates();
  void WriteCityState(const std::string& key, std::string_view name, char facility, char mailing,
                      const std::string& last_line_key, std::string_view last_line_name, char unique);
  std::string NextKey();
  std::string NeighborCity();

  // ZIP+4 side.
  bool Full() const { return emitted_ >= target_; }
  usps::Zip4Record& Begin(char type);
  void Emit();
  void SetStreet(const Street& s);
  void SetPrimary(std::string_view low, std::string_view high, char odd_even);
  void SetPrimaryNumbers(const Street& s, uint64_t low, uint64_t high, char odd_even);
  void SetSecondary(std::string_view abbrev, std::string_view low, std::string_view high, char odd_even);
  void SetAddon(uint32_t low, uint32_t high);
  std::string Route(char kind, uint64_t number) const;

  void GenerateStandard();
  void GeneratePoBoxOnly();
  void GenerateUnique();
  void GenerateMilitary();
  void EmitGeneralDelivery();
  void EmitPoBoxes(uint64_t count, bool box_is_addon);
  void EmitRuralRoutes(uint64_t count);
  void EmitStreet();
  void EmitBuilding(const Street& s, uint64_t block, Span* span);
  void EmitFirms(const Street& s, uint64_t block, Span* span);
  void EmitMultiCarrier(const Street& s, uint64_t block);
  void EmitOddNumber(const Street& s, uint64_t block, Span* span);
  void EmitAlias(const Street& s, const Span& span);
  Street MakeStreet();
  uint64_t AddressIn(uint64_t block, char* odd_even);

  const SampleData& data_;
  NameMaker names_;
  uint64_t seed_;
  uint64_t key_offset_;
  uint64_t update_number_;
  uint64_t update_gap_;

  // The ZIP code being written.
  RecordSink* sink_ = nullptr;
  const Place* place_ = nullptr;
  size_t place_index_ = 0;
  ZipClass class_ = ZipClass::kStandard;
  uint64_t target_ = 0;
  uint64_t emitted_ = 0;
  Rng rng_{0};
  bool puerto_rico_ = false;
  bool dense_ = false;
  bool grid_numbers_ = false;
  uint64_t city_routes_ = 1;
  uint32_t building_chance_ = 0, firm_chance_ = 0;
  std::string county_number_, county_name_, finance_, district_;
  char update_alpha_ = 'A';
  char city_delivery_ = 'N';
  uint32_t ordinal_ = 0;
  std::string preferred_key_;
  std::string organization_;
  std::vector<std::string> last_line_keys_;     // [0] the preferred last line
  std::vector<std::string> municipality_keys_;  // acceptable community names
  std::vector<std::string> urbanization_keys_;
  std::unordered_set<std::string> streets_;
  AddonAllocator addons_;
  usps::Zip4Record template_;
  usps::Zip4Record record_;
};

}  // namespace corvdb::tools
