// The places of a data file: the preferred last-line city name and the state
// of every ZIP code, and the reverse lookup from city and state to ZIP codes.
// Read once from the blocks' own columns; shared read-only by every thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace corvdb {
class ReadZipFile;
}

namespace corvellan::matcher {

class PlaceNames {
 public:
  // Walks every ZIP code of the opened reader and reads the city and state
  // columns of its block (a block whose columns do not decode is skipped).
  // Moves the reader's current block.
  static PlaceNames FromReader(corvdb::ReadZipFile& reader);

  // For tests: adds one ZIP code of a city.
  void add(uint32_t zip, std::string_view city, std::string_view state);

  bool isState(std::string_view state) const { return states_.count(std::string(state)) != 0; }
  bool isCity(std::string_view city) const { return cityAnyState_.count(std::string(city)) != 0; }
  bool isCityOf(std::string_view city, std::string_view state) const;
  // ZIP codes of a city: in the state, or in any state when `state` is empty.
  const std::vector<uint32_t>& zipsOf(std::string_view city, std::string_view state) const;
  // The cities and state of a ZIP code (empty when unknown).
  const std::vector<std::string>& citiesOf(uint32_t zip) const;
  std::string_view stateOf(uint32_t zip) const;
  // The most words any city name has.
  int longestCityWords() const { return longestCityWords_; }

 private:
  static std::string Key(std::string_view city, std::string_view state);
  std::unordered_set<std::string> states_;
  std::unordered_map<std::string, std::vector<uint32_t>> cityZips_;       // city '|' state
  std::unordered_map<std::string, std::vector<uint32_t>> cityAnyState_;   // city
  std::unordered_map<uint32_t, std::vector<std::string>> zipCities_;
  std::unordered_map<uint32_t, std::string> zipState_;
  int longestCityWords_ = 1;
};

}  // namespace corvellan::matcher
