#include "place_names.h"

#include <algorithm>

#include "read_zip_file.h"
#include "str_util.h"

namespace corvellan::matcher {

std::string PlaceNames::Key(std::string_view city, std::string_view state) {
  std::string key(city);
  key += '|';
  key += state;
  return key;
}

void PlaceNames::add(uint32_t zip, std::string_view city, std::string_view state) {
  if (city.empty()) return;
  if (!state.empty()) states_.insert(std::string(state));
  auto addZip = [zip](std::vector<uint32_t>& zips) {
    if (std::find(zips.begin(), zips.end(), zip) == zips.end()) zips.push_back(zip);
  };
  addZip(cityZips_[Key(city, state)]);
  addZip(cityAnyState_[std::string(city)]);
  auto& cities = zipCities_[zip];
  if (std::find(cities.begin(), cities.end(), city) == cities.end()) cities.emplace_back(city);
  if (!state.empty()) zipState_[zip] = std::string(state);
  const int words = 1 + static_cast<int>(std::count(city.begin(), city.end(), ' '));
  longestCityWords_ = std::max(longestCityWords_, words);
}

PlaceNames PlaceNames::FromReader(corvdb::ReadZipFile& reader) {
  PlaceNames places;
  const auto& zips = reader.directoryZips();
  for (std::size_t z = zips.findFrom(0); z != corvdb::BitSet::npos; z = zips.findFrom(z + 1)) {
    const auto zip = static_cast<uint32_t>(z);
    if (!reader.loadZipBlock(zip)) continue;
    if (!reader.csLastLineCSName.loadBlock() || !reader.StateAbbrev.loadBlock()) continue;
    const auto& stateValues = reader.StateAbbrev.values();
    const std::string state =
        stateValues.empty() ? std::string() : std::string(corvdb::strUtil::trimmed(stateValues.front()));
    for (std::string_view city : reader.csLastLineCSName.values()) {
      places.add(zip, corvdb::strUtil::cleanField(city), state);
    }
  }
  return places;
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

std::string_view PlaceNames::stateOf(uint32_t zip) const {
  const auto it = zipState_.find(zip);
  return it == zipState_.end() ? std::string_view() : std::string_view(it->second);
}

}  // namespace corvellan::matcher
