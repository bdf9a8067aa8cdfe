#include "sample/zip_generator.h"

#include <algorithm>
#include <utility>

namespace corvdb::tools {
namespace {

using namespace usps;

// City-State keys: "C" and 5 base-36 characters. Each (ZIP code, ordinal)
// pair maps to its own key through a bijection of [0, 36^5), so keys are
// unique across the whole file without remembering them.
constexpr uint64_t kKeySpace = 36ull * 36 * 36 * 36 * 36;
constexpr uint64_t kKeyMultiplier = 16777619;  // coprime with 36
constexpr uint32_t kOrdinalsPerZip = 64;

// Seats in the House per state; states with one seat, DC, the territories and
// the military "states" carry the at-large code AL.
constexpr std::pair<std::string_view, int> kDistricts[] = {
    {"AL", 7},  {"AZ", 9},  {"AR", 4},  {"CA", 52}, {"CO", 8},  {"CT", 5},  {"FL", 28},
    {"GA", 14}, {"HI", 2},  {"ID", 2},  {"IL", 17}, {"IN", 9},  {"IA", 4},  {"KS", 4},
    {"KY", 6},  {"LA", 6},  {"ME", 2},  {"MD", 8},  {"MA", 9},  {"MI", 13}, {"MN", 8},
    {"MS", 4},  {"MO", 8},  {"MT", 2},  {"NE", 3},  {"NV", 4},  {"NH", 2},  {"NJ", 12},
    {"NM", 3},  {"NY", 26}, {"NC", 14}, {"OH", 15}, {"OK", 5},  {"OR", 6},  {"PA", 17},
    {"RI", 2},  {"SC", 7},  {"TN", 9},  {"TX", 38}, {"UT", 4},  {"VA", 11}, {"WA", 10},
    {"WV", 2},  {"WI", 8}};

constexpr std::string_view kDirections[] = {"N", "S", "E", "W", "NE", "NW", "SE", "SW"};
constexpr std::string_view kNoNumberUnits[] = {"BSMT", "REAR", "FRNT", "LBBY", "OFC", "UPPR", "LOWR", "SIDE"};

int DistrictCount(std::string_view state) {
  for (const auto& [s, n] : kDistricts) {
    if (s == state) return n;
  }
  return 1;
}

uint64_t TextHash(std::string_view text) {
  uint64_t h = 1469598103934665603ull;
  for (const char c : text) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return h;
}

std::string Decimal(uint64_t n) {
  char buf[24];
  return std::string(buf, Zip4Record::FormatDecimal(n, buf));
}

// The low `width` digits of n, zero padded.
std::string Padded(uint64_t n, size_t width) {
  std::string s(width, '0');
  for (size_t i = width; i-- > 0; n /= 10) s[i] = static_cast<char>('0' + n % 10);
  return s;
}

char Parity(uint64_t n) { return n % 2 ? 'O' : 'E'; }

}  // namespace

// ---------------------------------------------------------------------------
// AddonAllocator

void AddonAllocator::Reset(Rng& rng, uint64_t expected_singles) {
  rng_ = &rng;
  used_.reset();
  used_[0] = true;
  used_[kGeneralDelivery] = true;
  // Keep a tenth of the space for ranges; share codes when the rest is short.
  constexpr uint64_t kRoom = 9000;
  share_ = expected_singles > kRoom ? (expected_singles + kRoom - 1) / kRoom : 1;
  share_left_ = 0;
  const uint64_t distinct = std::max<uint64_t>(1, (expected_singles + share_ - 1) / share_);
  // Gaps of 1..gap_max_ (mean (1 + gap_max_) / 2) leave room for later growth,
  // as real add-on assignments do.
  gap_max_ = static_cast<uint32_t>(std::clamp<uint64_t>(14000 / distinct, 2, 6) - 1);
  const uint64_t span = distinct * (gap_max_ + 1) / 2;
  cursor_ = span + 100 < kLast ? static_cast<uint32_t>(rng.Range(1, kLast - span - 50)) : 1;
  // Ranges may use half of what the singles leave free.
  range_room_ = span < 9000 ? static_cast<uint32_t>((9000 - span) / 2) : 0;
  top_ = kLast;
  last_ = 0;
  first_ = true;
}

void AddonAllocator::NewGroup() {
  if (gap_max_ >= 3 && cursor_ < 9900) cursor_ = (cursor_ / 10 + 1) * 10;
}

uint32_t AddonAllocator::Single() {
  if (share_left_ > 0 && last_ != 0) {
    --share_left_;
    return last_;
  }
  uint32_t v = first_ ? cursor_ : cursor_ + static_cast<uint32_t>(rng_->Range(1, gap_max_));
  first_ = false;
  for (uint32_t tries = 0; tries < kLast; ++tries, ++v) {
    if (v > kLast) v = 1;
    if (!used_[v]) {
      used_[v] = true;
      cursor_ = v;
      last_ = v;
      share_left_ = share_ - 1;
      return v;
    }
  }
  // Every code is taken: share the last one (or any one) from here on.
  if (last_ == 0) last_ = static_cast<uint32_t>(rng_->Range(1, kLast));
  return last_;
}

bool AddonAllocator::Range(uint32_t count, uint32_t* low) {
  if (count == 0 || count > range_room_) return false;
  // A bounded search keeps a crowded ZIP code cheap; callers fall back to a
  // single code.
  for (int attempts = 0; attempts < 64 && top_ >= count; ++attempts) {
    const uint32_t lo = top_ - count + 1;
    uint32_t clash = 0;
    for (uint32_t v = top_; v >= lo && v > 0; --v) {
      if (used_[v]) {
        clash = v;
        break;
      }
    }
    if (clash == 0 && lo >= 1) {
      Reserve(lo, top_);
      range_room_ -= count;
      *low = lo;
      top_ = lo - 1;
      return true;
    }
    if (clash == 0) return false;
    top_ = clash - 1;
  }
  return false;
}

void AddonAllocator::Reserve(uint32_t low, uint32_t high) {
  for (uint32_t v = low; v <= high && v < used_.size(); ++v) used_[v] = true;
}

// ---------------------------------------------------------------------------
// ZipGenerator: set-up and City-State records

ZipGenerator::ZipGenerator(const SampleData& data, uint64_t seed, uint64_t total_records)
    : data_(data), names_(data), seed_(seed) {
  Rng rng(MixSeed(seed, 0x4B455953));
  key_offset_ = rng.Below(kKeySpace);
  update_gap_ = std::clamp<uint64_t>(800000000 / std::max<uint64_t>(total_records, 1), 1, 9);
  update_number_ = rng.Range(1, 9999999);
}

std::string ZipGenerator::NextKey() {
  const uint64_t zip_number = std::stoull(place_->zip);
  const uint64_t index = zip_number * kOrdinalsPerZip + ordinal_++;
  uint64_t v = (index * kKeyMultiplier + key_offset_) % kKeySpace;
  std::string key = "C00000";
  for (int i = 5; i >= 1; --i) {
    const uint64_t d = v % 36;
    key[static_cast<size_t>(i)] = static_cast<char>(d < 10 ? '0' + d : 'A' + d - 10);
    v /= 36;
  }
  return key;
}

// A different community of the same state listed near this ZIP code.
std::string ZipGenerator::NeighborCity() {
  const auto& places = data_.places;
  for (int attempt = 0; attempt < 6; ++attempt) {
    const int64_t offset = static_cast<int64_t>(rng_.Range(0, 16)) - 8;
    const int64_t i = static_cast<int64_t>(place_index_) + offset;
    if (i < 0 || i >= static_cast<int64_t>(places.size())) continue;
    const Place& p = places[static_cast<size_t>(i)];
    if (p.state == place_->state && p.city != place_->city) return p.city;
  }
  return names_.Community(rng_, place_->city);
}

void ZipGenerator::WriteCityState(const std::string& key, std::string_view name, char facility,
                                  char mailing, const std::string& last_line_key,
                                  std::string_view last_line_name, char unique) {
  CityStateRecord r;
  r.Set(city_state::kCopyrightCode, 'D');
  r.Set(city_state::kZipCode, place_->zip);
  r.Set(city_state::kKey, key);
  r.Set(city_state::kZipClass, static_cast<char>(class_));
  r.Set(city_state::kName, name);
  r.Set(city_state::kNameAbbrev, AbbreviateCityName(name));
  r.Set(city_state::kFacility, facility);
  r.Set(city_state::kMailingNameInd, mailing);
  r.Set(city_state::kLastLineKey, last_line_key);
  r.Set(city_state::kLastLineName, last_line_name);
  r.Set(city_state::kCityDeliveryInd, city_delivery_);
  r.Set(city_state::kRouteSortationInd, class_ == ZipClass::kStandard ? 'A' : 'D');
  r.Set(city_state::kUniqueZipNameInd, unique);
  r.Set(city_state::kFinanceNumber, finance_);
  r.Set(city_state::kState, place_->state);
  r.Set(city_state::kCountyNumber, county_number_);
  r.Set(city_state::kCountyName, county_name_);
  sink_->CityState(r);
}

void ZipGenerator::WriteCityStates() {
  const std::string& city = place_->city;
  preferred_key_ = NextKey();
  last_line_keys_.assign(1, preferred_key_);
  municipality_keys_.clear();
  urbanization_keys_.clear();
  organization_.clear();
  WriteCityState(preferred_key_, city, 'P', 'Y', preferred_key_, city, ' ');

  // The other customary spellings of the name (ST LOUIS beside SAINT LOUIS,
  // FT WORTH beside FORT WORTH) are acceptable names of nearly every such
  // ZIP code.
  if (class_ != ZipClass::kMilitary) {
    const std::vector<std::string> forms = OtherCityForms(city, 3);
    if (!forms.empty() && rng_.Chance(900)) {
      for (const std::string& form : forms) WriteCityState(NextKey(), form, 'N', 'Y', preferred_key_, city, ' ');
    }
  }

  if (class_ == ZipClass::kUnique) {
    organization_ = names_.Organization(rng_, city);
    WriteCityState(NextKey(), CutText(organization_, 28), 'N', 'Y', preferred_key_, city, 'Y');
    return;
  }
  if (class_ != ZipClass::kStandard) return;

  std::vector<std::string> used{city};
  auto fresh_name = [&](std::string name) {
    for (int attempt = 0; attempt < 4 && std::find(used.begin(), used.end(), name) != used.end();
         ++attempt) {
      name = names_.Community(rng_, city);
    }
    if (std::find(used.begin(), used.end(), name) != used.end()) return std::string();
    used.push_back(name);
    return name;
  };

  // Other names of the place: most are acceptable or unacceptable community
  // names (facility N); a few are stations, branches or an airport facility.
  if (rng_.Chance(280)) {
    const uint64_t count = rng_.Chance(700) ? 1 : rng_.Range(2, 4);
    for (uint64_t i = 0; i < count; ++i) {
      const uint64_t kind = rng_.Below(100);
      std::string name;
      char facility = 'N';
      if (kind < 84) {
        name = fresh_name(rng_.Chance(500) ? NeighborCity() : names_.Community(rng_, city));
      } else if (kind < 92) {
        facility = 'S';
        name = fresh_name(CutText(names_.Community(rng_, city), 20) + " STA");
      } else if (kind < 98) {
        facility = 'B';
        name = fresh_name(names_.Community(rng_, city));
      } else {
        facility = 'A';
        name = fresh_name(CutText(city, 24) + " AMF");
      }
      if (name.empty()) continue;
      const char mailing = facility != 'N' || rng_.Chance(700) ? 'Y' : 'N';
      const std::string key = NextKey();
      WriteCityState(key, name, facility, mailing, preferred_key_, city, ' ');
      if (facility == 'N' && mailing == 'Y') municipality_keys_.push_back(key);
    }
  }
  // Now and then a ZIP code spans a second community with its own last line.
  if (target_ >= 200 && rng_.Chance(80)) {
    const std::string name = fresh_name(NeighborCity());
    if (!name.empty()) {
      const std::string key = NextKey();
      WriteCityState(key, name, rng_.Chance(500) ? 'B' : 'C', 'Y', key, name, ' ');
      last_line_keys_.push_back(key);
    }
  }
  if (puerto_rico_) {
    const uint64_t count = std::clamp<uint64_t>(target_ / 60, 1, 40);
    std::vector<std::string> names;
    for (uint64_t i = 0; i < count && ordinal_ < kOrdinalsPerZip; ++i) {
      const std::string name = names_.Urbanization(rng_);
      if (std::find(names.begin(), names.end(), name) != names.end()) continue;
      names.push_back(name);
      const std::string key = NextKey();
      WriteCityState(key, name, 'U', 'N', preferred_key_, city, ' ');
      urbanization_keys_.push_back(key);
    }
  }
}

// ---------------------------------------------------------------------------
// ZipGenerator: detail records

void ZipGenerator::Generate(const ZipPlan& plan, RecordSink* sink) {
  sink_ = sink;
  place_index_ = plan.place;
  place_ = &data_.places[plan.place];
  class_ = plan.zip_class;
  target_ = std::max<uint64_t>(plan.records, 1);
  emitted_ = 0;
  const uint64_t zip_number = std::stoull(place_->zip);
  rng_ = Rng(MixSeed(seed_, zip_number));
  puerto_rico_ = place_->state == "PR";
  streets_.clear();
  ordinal_ = 0;

  // A ZIP code without a county in the list borrows the county of the
  // nearest listed ZIP code of its state (military ZIP codes have none).
  county_number_ = place_->county_number;
  county_name_ = place_->county_name;
  for (size_t d = 1; county_number_.empty() && d <= 64; ++d) {
    for (const int64_t i : {static_cast<int64_t>(plan.place) - static_cast<int64_t>(d),
                            static_cast<int64_t>(plan.place + d)}) {
      if (i < 0 || i >= static_cast<int64_t>(data_.places.size())) continue;
      const Place& p = data_.places[static_cast<size_t>(i)];
      if (p.state == place_->state && !p.county_number.empty()) {
        county_number_ = p.county_number;
        county_name_ = p.county_name;
        break;
      }
    }
  }
  if (county_number_.empty()) county_number_ = "000";

  // Finance number: two digits for the state, four for the post office.
  finance_ = Padded(10 + TextHash(place_->state) % 90, 2) +
             Padded(TextHash(place_->state + place_->city) % 10000, 4);
  city_delivery_ = class_ == ZipClass::kStandard && (target_ >= 20 || rng_.Chance(300)) ? 'Y' : 'N';

  const int districts = DistrictCount(place_->state);
  district_ = districts == 1 ? "AL"
                             : Padded(1 + TextHash(place_->state + county_number_) % static_cast<uint64_t>(districts), 2);

  WriteCityStates();

  dense_ = target_ >= 1500;
  city_routes_ = std::min<uint64_t>(1 + target_ / 600, 99);
  update_alpha_ = static_cast<char>('A' + rng_.Below(26));

  template_.Clear();
  template_.Set(zip4::kCopyrightCode, 'D');
  template_.Set(zip4::kZipCode, place_->zip);
  template_.Set(zip4::kUpdateKeyAlpha, update_alpha_);
  template_.Set(zip4::kActionCode, 'A');
  template_.Set(zip4::kPrimaryOddEven, 'B');
  template_.Set(zip4::kBaseAlternate, 'B');
  template_.Set(zip4::kFinanceNumber, finance_);
  template_.Set(zip4::kState, place_->state);
  template_.Set(zip4::kCountyNumber, county_number_);
  template_.Set(zip4::kCongressDistrict, district_);
  template_.Set(zip4::kLastLineKey, preferred_key_);
  if (puerto_rico_) template_.Set(zip4::kMunicipalityKey, preferred_key_);

  addons_.Reset(rng_, target_);
  switch (class_) {
    case ZipClass::kPoBoxOnly: GeneratePoBoxOnly(); break;
    case ZipClass::kUnique: GenerateUnique(); break;
    case ZipClass::kMilitary: GenerateMilitary(); break;
    case ZipClass::kStandard: GenerateStandard(); break;
  }
  // Every generator stops at the target; a short one is filled with streets.
  while (!Full()) EmitStreet();
}

usps::Zip4Record& ZipGenerator::Begin(char type) {
  record_ = template_;
  record_.Set(zip4::kRecordType, type);
  update_number_ += rng_.Range(1, update_gap_);
  record_.SetPadded(zip4::kUpdateKeyNumber, update_number_ % 1000000000);
  return record_;
}

void ZipGenerator::Emit() {
  sink_->Detail(record_);
  ++emitted_;
}

std::string ZipGenerator::Route(char kind, uint64_t number) const {
  return std::string(1, kind) + Padded(number, 3);
}

void ZipGenerator::SetStreet(const Street& s) {
  record_.Set(zip4::kCarrierRoute, s.route);
  record_.Set(zip4::kPreDirection, s.pre);
  record_.Set(zip4::kStreetName, s.name);
  record_.Set(zip4::kSuffix, s.suffix);
  record_.Set(zip4::kPostDirection, s.post);
  record_.Set(zip4::kLastLineKey, s.last_line_key);
  record_.Set(zip4::kMunicipalityKey, s.municipality_key);
  record_.Set(zip4::kUrbanizationKey, s.urbanization_key);
  record_.Set(zip4::kLacs, s.lacs);
}

void ZipGenerator::SetPrimary(std::string_view low, std::string_view high, char odd_even) {
  record_.Set(zip4::kPrimaryLow, low);
  record_.Set(zip4::kPrimaryHigh, high);
  record_.Set(zip4::kPrimaryOddEven, odd_even);
}

void ZipGenerator::SetPrimaryNumbers(const Street& s, uint64_t low, uint64_t high, char odd_even) {
  if (s.number_prefix == 0) {
    record_.SetNumber(zip4::kPrimaryLow, low);
    record_.SetNumber(zip4::kPrimaryHigh, high);
  } else {
    const std::string p(1, s.number_prefix);
    record_.Set(zip4::kPrimaryLow, p + Decimal(low));
    record_.Set(zip4::kPrimaryHigh, p + Decimal(high));
  }
  record_.Set(zip4::kPrimaryOddEven, odd_even);
}

void ZipGenerator::SetSecondary(std::string_view abbrev, std::string_view low, std::string_view high,
                                char odd_even) {
  record_.Set(zip4::kSecondaryAbbrev, abbrev);
  record_.Set(zip4::kSecondaryLow, low);
  record_.Set(zip4::kSecondaryHigh, high);
  record_.Set(zip4::kSecondaryOddEven, odd_even);
}

void ZipGenerator::SetAddon(uint32_t low, uint32_t high) {
  record_.SetPadded(zip4::kAddonLow, low);
  record_.SetPadded(zip4::kAddonHigh, high);
}

void ZipGenerator::GenerateStandard() {
  grid_numbers_ = !puerto_rico_ && rng_.Chance(30);
  building_chance_ = dense_ ? 90 : target_ >= 300 ? 70 : 35;
  firm_chance_ = dense_ ? 190 : 130;
  const bool rural = !puerto_rico_ && rng_.Chance(target_ < 300 ? 500 : 150);
  const bool general_delivery = target_ >= 3 && rng_.Chance(600);
  uint64_t boxes = 0;
  if (target_ >= 25) {
    boxes = target_ * rng_.Range(2, 6) / 100;
  } else if (target_ >= 4 && rng_.Chance(300)) {
    boxes = 1;
  }
  const uint64_t rural_records = rural && target_ >= 2 ? std::max<uint64_t>(1, target_ * rng_.Range(5, 15) / 100) : 0;
  if (general_delivery) EmitGeneralDelivery();
  EmitPoBoxes(boxes, false);
  EmitRuralRoutes(rural_records);
  while (!Full()) EmitStreet();
}

void ZipGenerator::GeneratePoBoxOnly() {
  if (target_ >= 3 && rng_.Chance(200)) EmitGeneralDelivery();
  EmitPoBoxes(target_ - emitted_, true);
}

void ZipGenerator::GenerateUnique() {
  // One organization at one address: its buildings, rooms and departments.
  Street s = MakeStreet();
  s.route = Route('C', 1);
  char odd_even = 'B';
  const uint64_t number = AddressIn(rng_.Range(1, 99) * 100, &odd_even);
  auto start = [&](char type) {
    Begin(type);
    SetStreet(s);
    SetPrimaryNumbers(s, number, number, odd_even);
    record_.Set(zip4::kFirmName, organization_);
  };
  if (target_ == 1 || rng_.Chance(500)) {
    // The whole ZIP code in one record: every add-on belongs to the firm.
    start('F');
    SetAddon(1, AddonAllocator::kLast);
    Emit();
  }
  static constexpr std::string_view kUnits[] = {"BLDG", "RM", "STE", "DEPT", "FL"};
  while (!Full()) {
    start('F');
    const std::string_view unit = kUnits[rng_.Below(5)];
    if (unit == "BLDG") {
      const std::string letter(1, static_cast<char>('A' + rng_.Below(12)));
      SetSecondary(unit, letter, letter, 'B');
    } else if (unit == "DEPT" || unit == "FL") {
      const uint64_t n = rng_.Range(1, 40);
      SetSecondary(unit, Decimal(n), Decimal(n), Parity(n));
    } else {
      const uint64_t lo = rng_.Range(1, 9) * 100;
      const uint64_t hi = lo + rng_.Range(0, 99);
      SetSecondary(unit, Decimal(lo), Decimal(hi), 'B');
    }
    const uint32_t a = addons_.Single();
    SetAddon(a, a);
    Emit();
  }
}

void ZipGenerator::GenerateMilitary() {
  // APO/FPO/DPO: units with box ranges.
  while (!Full()) {
    Street s;
    s.name = names_.MilitaryUnit(rng_);
    s.route = Route('C', rng_.Range(1, city_routes_));
    s.last_line_key = preferred_key_;
    const uint64_t records = rng_.Range(1, 12);
    uint64_t box = 1;
    for (uint64_t i = 0; i < records && !Full(); ++i) {
      const uint64_t width = rng_.Range(50, 500);
      Begin('H');
      SetStreet(s);
      SetPrimary("", "", 'B');
      SetSecondary("BOX", Decimal(box), Decimal(box + width - 1), 'B');
      const uint32_t a = addons_.Single();
      SetAddon(a, a);
      Emit();
      box += width;
    }
  }
}

void ZipGenerator::EmitGeneralDelivery() {
  if (Full()) return;
  Begin('G');
  record_.Set(zip4::kCarrierRoute, Route('G', 1));
  record_.Set(zip4::kStreetName, "GENERAL DELIVERY");
  SetAddon(AddonAllocator::kGeneralDelivery, AddonAllocator::kGeneralDelivery);
  Emit();
}

void ZipGenerator::EmitPoBoxes(uint64_t count, bool box_is_addon) {
  if (count == 0) return;
  const uint64_t sections = std::min<uint64_t>(1 + count / 40, 99);
  uint64_t box = box_is_addon || rng_.Chance(500) ? 1 : rng_.Range(1, 50) * 100;
  for (uint64_t i = 0; i < count && !Full(); ++i) {
    const uint64_t left = count - i;
    Begin('P');
    record_.Set(zip4::kCarrierRoute, Route('B', 1 + i * sections / count));
    record_.Set(zip4::kStreetName, "PO BOX");
    uint64_t width = 1;
    if (count == 1) {
      width = rng_.Range(50, 999);
    } else if (!rng_.Chance(120)) {
      width = rng_.Range(10, 100);
    } else {
      // A single box held by a firm.
      char government = ' ';
      record_.Set(zip4::kFirmName, names_.Firm(rng_, place_->city, &government));
    }
    if (box_is_addon) {
      // In a PO-box-only ZIP code the add-on is the box number; keep room for
      // one box per record still to come.
      const uint64_t room = AddonAllocator::kLast >= box + left ? AddonAllocator::kLast - box - left + 2 : 1;
      width = std::clamp<uint64_t>(width, 1, std::max<uint64_t>(room, 1));
    }
    const uint64_t high = box + width - 1;
    SetPrimary(Decimal(box), Decimal(high), 'B');
    uint32_t low_addon = 0;
    if (box_is_addon && high <= AddonAllocator::kLast) {
      addons_.Reserve(static_cast<uint32_t>(box), static_cast<uint32_t>(high));
      SetAddon(static_cast<uint32_t>(box), static_cast<uint32_t>(high));
    } else if (width > 1 && width <= 100 && addons_.Range(static_cast<uint32_t>(width), &low_addon)) {
      SetAddon(low_addon, low_addon + static_cast<uint32_t>(width) - 1);
    } else {
      const uint32_t a = addons_.Single();
      SetAddon(a, a);
    }
    Emit();
    box = high + 1;
  }
}

void ZipGenerator::EmitRuralRoutes(uint64_t count) {
  if (count == 0) return;
  const uint64_t routes = std::min<uint64_t>(1 + count / 30, 20);
  const bool highway_contract = rng_.Chance(250);
  uint64_t done = 0;
  for (uint64_t r = 0; r < routes && !Full(); ++r) {
    Street s;
    s.last_line_key = preferred_key_;
    if (highway_contract && r == routes - 1) {
      const uint64_t hc = rng_.Range(1, 80);
      s.name = "HC " + Decimal(hc);
      s.route = Route('H', r + 1);
    } else {
      s.name = "RR " + Decimal(r + 1);
      s.route = Route('R', r + 1);
    }
    const bool converted = rng_.Chance(250);  // LACS: being converted to city-style addresses
    const uint64_t records = r == routes - 1 ? count - done : count / routes;
    uint64_t box = 1;
    for (uint64_t i = 0; i < records && !Full(); ++i) {
      const uint64_t width = rng_.Range(20, 150);
      Begin('R');
      s.lacs = converted && rng_.Chance(600) ? 'L' : ' ';
      SetStreet(s);
      SetPrimary(Decimal(box), Decimal(box + width - 1), 'B');
      const uint32_t a = addons_.Single();
      SetAddon(a, a);
      Emit();
      box += width;
    }
    done += records;
  }
}

ZipGenerator::Street ZipGenerator::MakeStreet() {
  Street s;
  for (int attempt = 0; attempt < 8; ++attempt) {
    s = Street();
    if (puerto_rico_) {
      s.name = names_.PuertoRicoStreet(rng_);
      // The same street names recur in every urbanization of a ZIP code,
      // which is why the urbanization is part of the address there.
      if (!urbanization_keys_.empty() && rng_.Chance(800)) s.urbanization_key = rng_.Pick(urbanization_keys_);
      s.municipality_key = preferred_key_;
    } else {
      StreetParts parts = names_.Street(rng_);
      s.name = std::move(parts.name);
      s.suffix = std::move(parts.suffix);
      if (rng_.Chance(120)) s.pre = kDirections[rng_.Below(rng_.Chance(800) ? 4 : 8)];
      if (rng_.Chance(50)) s.post = kDirections[rng_.Below(8)];
      // A name listed with its directions keeps them (E 5TH ST, MAIN ST W).
      if (!parts.pre.empty() || !parts.post.empty()) {
        s.pre = std::move(parts.pre);
        s.post = std::move(parts.post);
      }
      if (!municipality_keys_.empty() && rng_.Chance(150)) s.municipality_key = rng_.Pick(municipality_keys_);
    }
    const std::string id = s.pre + "|" + s.name + "|" + s.suffix + "|" + s.post + "|" + s.urbanization_key;
    if (streets_.insert(id).second) break;
  }
  s.route = Route('C', rng_.Range(1, city_routes_));
  s.last_line_key = last_line_keys_.size() > 1 && rng_.Chance(250) ? last_line_keys_[1] : preferred_key_;
  s.lacs = rng_.Chance(15) ? 'L' : ' ';
  if (grid_numbers_) s.number_prefix = "NSEW"[rng_.Below(4)];
  return s;
}

// A house number on the block, odd or even side.
uint64_t ZipGenerator::AddressIn(uint64_t block, char* odd_even) {
  // One draw per statement: the order in which the operands of + are
  // evaluated is unspecified, and the stream must not depend on the compiler.
  const uint64_t pair = rng_.Range(0, 48);
  const uint64_t n = block + 2 * pair + (rng_.Chance(500) ? 1 : 2);
  *odd_even = Parity(n);
  return n;
}

void ZipGenerator::EmitStreet() {
  const Street s = MakeStreet();
  addons_.NewGroup();
  const uint64_t length = rng_.Below(100);
  const uint64_t blocks = length < 50 ? rng_.Range(1, 6) : length < 90 ? rng_.Range(6, 20) : rng_.Range(20, 60);
  const uint64_t where = rng_.Below(100);
  const uint64_t start = where < 20   ? 0
                         : where < 60 ? 100 * rng_.Range(1, 30)
                         : where < 85 ? 100 * rng_.Range(30, 150)
                                      : 100 * rng_.Range(150, 999);
  // Some streets that start at the first block number their even side (or
  // both sides) from 0: the range 0-98.
  const bool from_zero = start == 0 && s.number_prefix == 0 && rng_.Chance(250);
  Span span;
  auto side = [&](uint64_t low, uint64_t high, char odd_even) {
    if (Full()) return;
    Begin('S');
    SetStreet(s);
    SetPrimaryNumbers(s, low, high, odd_even);
    const uint32_t a = addons_.Single();
    SetAddon(a, a);
    Emit();
    span.primary_low = std::min(span.primary_low, low);
    span.primary_high = std::max(span.primary_high, high);
    span.addon_low = std::min(span.addon_low, a);
    span.addon_high = std::max(span.addon_high, a);
    ++span.records;
  };
  for (uint64_t b = 0; b < blocks && !Full(); ++b) {
    const uint64_t block = start + b * 100;
    const uint64_t end = rng_.Chance(300) ? 49 : 99;  // short blocks end earlier
    const uint64_t kind = rng_.Below(100);
    if (kind < 12) {
      side(block == 0 ? (from_zero ? 0 : 1) : block, block + end, 'B');
    } else {
      if (kind >= 25 && kind < 35) {
        // even side only
      } else {
        side(block + 1, block + end, 'O');
      }
      if (kind >= 12 && kind < 25) {
        // odd side only
      } else {
        side(block == 0 ? (from_zero ? 0 : 2) : block, block + end - 1, 'E');
      }
    }
    if (rng_.Chance(building_chance_)) EmitBuilding(s, block, &span);
    if (rng_.Chance(firm_chance_)) EmitFirms(s, block, &span);
    if (target_ >= 300 && rng_.Chance(dense_ ? 8 : 3)) EmitMultiCarrier(s, block);
    if (rng_.Chance(30)) EmitOddNumber(s, block, &span);
  }
  if (!puerto_rico_ && span.records >= 2 && rng_.Chance(50)) EmitAlias(s, span);
}

void ZipGenerator::EmitBuilding(const Street& s, uint64_t block, Span* span) {
  char odd_even = 'B';
  const uint64_t number = AddressIn(block, &odd_even);
  const std::string name = rng_.Chance(600) ? names_.Building(rng_, s.name) : std::string();
  auto start = [&] {
    Begin('H');
    SetStreet(s);
    SetPrimaryNumbers(s, number, number, odd_even);
    record_.Set(zip4::kFirmName, name);
  };
  auto finish = [&] {
    const uint32_t a = addons_.Single();
    SetAddon(a, a);
    Emit();
    span->addon_low = std::min(span->addon_low, a);
    span->addon_high = std::max(span->addon_high, a);
  };
  auto unit_range = [&](std::string_view abbrev, uint64_t low, uint64_t high, char oe) {
    if (Full()) return;
    start();
    SetSecondary(abbrev, Decimal(low), Decimal(high), oe);
    finish();
  };
  if (rng_.Chance(400) && !Full()) {
    start();  // the building itself, no unit
    finish();
  }
  const uint64_t kind = rng_.Below(100);
  if (kind < 40) {
    // Now and then the ground floor's units are numbered from 0.
    if (rng_.Chance(150)) unit_range("APT", 0, rng_.Range(3, 9), 'B');
    const uint64_t floors = rng_.Range(2, dense_ ? 12 : 6);
    for (uint64_t f = 1; f <= floors; ++f) {
      const uint64_t units = rng_.Range(4, 16);
      if (rng_.Chance(200)) {
        unit_range("APT", f * 100 + 1, f * 100 + units - (units % 2 == 0), 'O');
        unit_range("APT", f * 100 + 2, f * 100 + units - (units % 2), 'E');
      } else {
        unit_range("APT", f * 100 + 1, f * 100 + units, 'B');
      }
    }
  } else if (kind < 60) {
    const uint64_t floors = rng_.Range(1, dense_ ? 10 : 4);
    for (uint64_t f = 1; f <= floors; ++f) unit_range("STE", f * 100, f * 100 + 99, 'B');
  } else if (kind < 70) {
    const uint64_t groups = rng_.Range(1, 4);
    for (uint64_t g = 1; g <= groups && !Full(); ++g) {
      const char last = static_cast<char>('A' + rng_.Range(1, 7));
      start();
      if (groups == 1 && rng_.Chance(500)) {
        SetSecondary("UNIT", "A", std::string(1, last), 'B');  // UNIT A-D
      } else {
        SetSecondary("UNIT", Decimal(g) + "A", Decimal(g) + last, 'B');  // UNIT 1A-1D
      }
      finish();
    }
  } else if (kind < 80) {
    const uint64_t total = rng_.Range(8, 48);
    const uint64_t first = rng_.Chance(200) ? 0 : 1;  // some number their units from 0
    for (uint64_t low = first; low <= total;) {
      const uint64_t high = std::min(total, low + rng_.Range(5, 23));
      unit_range("APT", low, high, 'B');
      low = high + 1;
    }
  } else if (kind < 87) {
    const std::string_view abbrev = rng_.Chance(500) ? "LOT" : "SPC";
    const uint64_t total = rng_.Range(20, 150);
    for (uint64_t low = 1; low <= total;) {
      const uint64_t high = std::min(total, low + rng_.Range(24, 49));
      unit_range(abbrev, low, high, 'B');
      low = high + 1;
    }
  } else if (kind < 93) {
    const uint64_t count = rng_.Range(2, 6);
    for (uint64_t i = 0; i < count && !Full(); ++i) {
      const std::string letter(1, static_cast<char>('A' + i));
      start();
      SetSecondary("BLDG", letter, letter, 'B');
      finish();
    }
  } else {
    const uint64_t low = rng_.Range(1, 3) * 100;
    unit_range("RM", low, low + rng_.Range(10, 60), 'B');
  }
  if (rng_.Chance(100) && !Full()) {
    start();
    SetSecondary("PH", "", "", ' ');
    finish();
  }
  if (rng_.Chance(60) && !Full()) {
    start();
    SetSecondary(kNoNumberUnits[rng_.Below(std::size(kNoNumberUnits))], "", "", ' ');
    finish();
  }
}

void ZipGenerator::EmitFirms(const Street& s, uint64_t block, Span* span) {
  const uint64_t count = rng_.Chance(700) ? 1 : rng_.Range(2, 3);
  for (uint64_t i = 0; i < count && !Full(); ++i) {
    char odd_even = 'B';
    const uint64_t number = AddressIn(block, &odd_even);
    Begin('F');
    SetStreet(s);
    SetPrimaryNumbers(s, number, number, odd_even);
    char government = ' ';
    record_.Set(zip4::kFirmName, names_.Firm(rng_, place_->city, &government));
    record_.Set(zip4::kGovernmentBuilding, government);
    if (rng_.Chance(300)) {
      const uint64_t floor = rng_.Range(1, 9);
      const uint64_t suite = floor * 100 + rng_.Range(0, 20);
      SetSecondary("STE", Decimal(suite), Decimal(suite), Parity(suite));
    }
    const uint32_t a = addons_.Single();
    SetAddon(a, a);
    Emit();
    span->addon_low = std::min(span->addon_low, a);
    span->addon_high = std::max(span->addon_high, a);
  }
}

void ZipGenerator::EmitMultiCarrier(const Street& s, uint64_t block) {
  // A large building served by several carriers: one record per carrier.
  char odd_even = 'B';
  const uint64_t number = AddressIn(block, &odd_even);
  const std::string name = names_.Building(rng_, s.name);
  const uint64_t carriers = rng_.Range(2, 4);
  const uint64_t floors_each = rng_.Range(3, 10);
  for (uint64_t c = 0; c < carriers && !Full(); ++c) {
    Begin('M');
    SetStreet(s);
    record_.Set(zip4::kCarrierRoute, Route('C', rng_.Range(1, city_routes_)));
    SetPrimaryNumbers(s, number, number, odd_even);
    record_.Set(zip4::kFirmName, name);
    const uint64_t low = (1 + c * floors_each) * 100;
    SetSecondary("STE", Decimal(low), Decimal(low + floors_each * 100 - 1), 'B');
    const uint32_t a = addons_.Single();
    SetAddon(a, a);
    Emit();
  }
}

void ZipGenerator::EmitOddNumber(const Street& s, uint64_t block, Span* span) {
  // House numbers with a letter (12A) or a fraction (12 1/2).
  if (Full()) return;
  char odd_even = 'B';
  const uint64_t number = AddressIn(block, &odd_even);
  const std::string text =
      Decimal(number) + (rng_.Chance(500) ? std::string(1, static_cast<char>('A' + rng_.Below(4))) : " 1/2");
  Begin('S');
  SetStreet(s);
  SetPrimary(text, text, odd_even);
  const uint32_t a = addons_.Single();
  SetAddon(a, a);
  Emit();
  span->addon_low = std::min(span->addon_low, a);
  span->addon_high = std::max(span->addon_high, a);
}

void ZipGenerator::EmitAlias(const Street& s, const Span& span) {
  // Alternate records: another name of the street (a highway number, an old
  // name) covering the primary range and the add-ons of its base records.
  const StreetParts alias = names_.StreetAlias(rng_, place_->state);
  Street a = s;
  a.pre.clear();
  a.post.clear();
  a.name = alias.name;
  a.suffix = alias.suffix;
  a.number_prefix = 0;
  if (Full()) return;
  Begin('S');
  SetStreet(a);
  SetPrimaryNumbers(a, span.primary_low, span.primary_high, 'B');
  SetAddon(span.addon_low, span.addon_high);
  record_.Set(zip4::kBaseAlternate, 'A');
  Emit();
}

}  // namespace corvdb::tools
