#include "place_names.h"

#include <algorithm>

#include "places_file.h"
#include "read_zip_file.h"
#include "str_util.h"

namespace corvellan::matcher {

std::string PlaceNames::Key(std::string_view city, std::string_view state) {
  std::string key(city);
  key += '|';
  key += state;
  return key;
}

// A name by which the ZIP code is found (isCity, isCityOf, zipsOf).
void PlaceNames::addName(uint32_t zip, std::string_view city, std::string_view state) {
  if (!state.empty()) states_.insert(std::string(state));
  auto addZip = [zip](std::vector<uint32_t>& zips) {
    if (std::find(zips.begin(), zips.end(), zip) == zips.end()) zips.push_back(zip);
  };
  addZip(cityZips_[Key(city, state)]);
  addZip(cityAnyState_[std::string(city)]);
  const int words = 1 + static_cast<int>(std::count(city.begin(), city.end(), ' '));
  longestCityWords_ = std::max(longestCityWords_, words);
}

void PlaceNames::add(uint32_t zip, std::string_view city, std::string_view state) {
  if (city.empty()) return;
  addName(zip, city, state);
  auto& cities = zipCities_[zip];
  if (std::find(cities.begin(), cities.end(), city) == cities.end()) cities.emplace_back(city);
  if (!state.empty()) zipState_[zip] = std::string(state);
}

bool PlaceNames::addOtherName(uint32_t zip, std::string_view city, std::string_view state) {
  if (city.empty()) return false;
  const auto& cities = citiesOf(zip);
  if (std::find(cities.begin(), cities.end(), city) != cities.end()) return false;  // a last-line name already
  auto& others = zipOtherNames_[zip];
  if (std::find(others.begin(), others.end(), city) != others.end() && isCityOf(city, state)) return false;
  addName(zip, city, state);
  if (std::find(others.begin(), others.end(), city) == others.end()) others.emplace_back(city);
  return true;
}

PlaceNames PlaceNames::FromReader(corvdb::ReadZipFile& reader) {
  PlaceNames places;
  const auto& zips = reader.directoryZips();
  uint64_t records = 0;
  bool everyBlock = true;
  for (std::size_t z = zips.findFrom(0); z != corvdb::BitSet::npos; z = zips.findFrom(z + 1)) {
    const auto zip = static_cast<uint32_t>(z);
    if (!reader.loadZipBlock(zip)) {
      everyBlock = false;
      continue;
    }
    records += reader.blockRows();
    if (!reader.csLastLineCSName.loadBlock() || !reader.StateAbbrev.loadBlock()) continue;
    const auto& stateValues = reader.StateAbbrev.values();
    const std::string state =
        stateValues.empty() ? std::string() : std::string(corvdb::strUtil::trimmed(stateValues.front()));
    for (std::string_view city : reader.csLastLineCSName.values()) {
      places.add(zip, corvdb::strUtil::cleanField(city), state);
    }
  }
  // The record count is only known when every block could be read.
  places.loadOtherNames(reader, everyBlock ? &records : nullptr);
  return places;
}

void PlaceNames::loadOtherNames(const corvdb::ReadZipFile& reader, const uint64_t* records) {
  OtherNames& o = otherNames_;
  const PlacesFile file = ReadPlacesFile(PlacesFilePath(reader.path()),
                                         [&reader](uint32_t zip) { return reader.hasZip(zip); });
  o.path = file.path;
  if (!file.present) return;
  o.state = OtherNames::State::kIgnored;
  if (!file.usable) {
    o.reason = file.problem;
    return;
  }
  o.reason = PlacesMismatch(file.header, reader.dataFileSize(), reader.zipCount(), records);
  if (!o.reason.empty()) return;
  o.state = OtherNames::State::kLoaded;
  o.skipped = file.badLines;
  if (!file.firstBad.empty()) o.firstSkipped = file.firstBad.front();
  for (const PlaceEntry& e : file.entries) {
    switch (e.kind) {
      case 'P':
        // A last-line name no record of the ZIP code points to.
        if (zipState_.count(e.zip) == 0) zipState_[e.zip] = e.state;
        if (const auto& cities = citiesOf(e.zip); std::find(cities.begin(), cities.end(), e.name) == cities.end()) {
          addName(e.zip, e.name, e.state);
          zipCities_[e.zip].push_back(e.name);
        }
        break;
      case 'A':
      case 'N':
        if (addOtherName(e.zip, e.name, e.state)) ++o.names;
        break;
      default:  // an urbanization names part of a ZIP code, not its city
        break;
    }
  }
}

std::string PlaceNames::OtherNames::describe() const {
  switch (state) {
    case State::kNone:
      return "no place names file " + path + " (a ZIP code is found by its last-line city names only)";
    case State::kIgnored:
      return "place names file " + path + " ignored: " + reason;
    case State::kLoaded:
      break;
  }
  std::string line = "place names file " + path + ": " + std::to_string(names) + " other city names";
  if (skipped > 0) line += "; " + std::to_string(skipped) + " bad lines left out (" + firstSkipped + ")";
  return line;
}

bool PlaceNames::isCityOf(std::string_view city, std::string_view state) const {
  return cityZips_.count(Key(city, state)) != 0;
}

const std::vector<uint32_t>& PlaceNames::zipsOf(std::string_view city, std::string_view state) const {
  static const std::vector<uint32_t> kNone;
  if (state.empty()) {
    const auto it = cityAnyState_.find(std::string(city));
    return it == cityAnyState_.end() ? kNone : it->second;
  }
  const auto it = cityZips_.find(Key(city, state));
  return it == cityZips_.end() ? kNone : it->second;
}

const std::vector<std::string>& PlaceNames::citiesOf(uint32_t zip) const {
  static const std::vector<std::string> kNone;
  const auto it = zipCities_.find(zip);
  return it == zipCities_.end() ? kNone : it->second;
}

bool PlaceNames::isOtherNameOf(uint32_t zip, std::string_view city) const {
  const auto it = zipOtherNames_.find(zip);
  return it != zipOtherNames_.end() && std::find(it->second.begin(), it->second.end(), city) != it->second.end();
}

std::string_view PlaceNames::stateOf(uint32_t zip) const {
  const auto it = zipState_.find(zip);
  return it == zipState_.end() ? std::string_view() : std::string_view(it->second);
}

}  // namespace corvellan::matcher
