// The places of a data file: the last-line city names and the state of every
// ZIP code, the other names the City-State product gives a ZIP code (from the
// place names file beside the data file, places_file.h), and the reverse
// lookup from city and state to ZIP codes. Read once; shared read-only by
// every thread.
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
  // What became of the place names file beside the data file.
  struct OtherNames {
    enum class State { kNone, kLoaded, kIgnored };
    State state = State::kNone;
    std::string path;
    std::string reason;     // kIgnored: why
    uint64_t names = 0;     // kLoaded: names added (acceptable and not)
    uint64_t skipped = 0;   // kLoaded: bad lines left out
    std::string firstSkipped;
    // One line for messages: "… : 812 other city names", "… ignored: why".
    std::string describe() const;
  };

  // Walks every ZIP code of the opened reader and reads the city and state
  // columns of its block (a block whose columns do not decode is skipped),
  // then the place names file beside the data file when there is one that
  // belongs to it. Moves the reader's current block.
  static PlaceNames FromReader(corvdb::ReadZipFile& reader);

  // For tests: adds one ZIP code of a city.
  void add(uint32_t zip, std::string_view city, std::string_view state);
  // Another name of a ZIP code (an acceptable or unacceptable City-State
  // name): a city for isCity, isCityOf and zipsOf, not one of citiesOf.
  // False when the name was there already.
  bool addOtherName(uint32_t zip, std::string_view city, std::string_view state);

  bool isState(std::string_view state) const { return states_.count(std::string(state)) != 0; }
  bool isCity(std::string_view city) const { return cityAnyState_.count(std::string(city)) != 0; }
  bool isCityOf(std::string_view city, std::string_view state) const;
  // ZIP codes of a city: in the state, or in any state when `state` is empty.
  const std::vector<uint32_t>& zipsOf(std::string_view city, std::string_view state) const;
  // The last-line cities and state of a ZIP code (empty when unknown).
  const std::vector<std::string>& citiesOf(uint32_t zip) const;
  std::string_view stateOf(uint32_t zip) const;
  // Whether `city` is one of the other names of a ZIP code.
  bool isOtherNameOf(uint32_t zip, std::string_view city) const;
  // The most words any city name has.
  int longestCityWords() const { return longestCityWords_; }
  const OtherNames& otherNames() const { return otherNames_; }

 private:
  static std::string Key(std::string_view city, std::string_view state);
  void addName(uint32_t zip, std::string_view city, std::string_view state);
  void loadOtherNames(const corvdb::ReadZipFile& reader, const uint64_t* records);

  std::unordered_set<std::string> states_;
  std::unordered_map<std::string, std::vector<uint32_t>> cityZips_;       // city '|' state
  std::unordered_map<std::string, std::vector<uint32_t>> cityAnyState_;   // city
  std::unordered_map<uint32_t, std::vector<std::string>> zipCities_;
  std::unordered_map<uint32_t, std::vector<std::string>> zipOtherNames_;
  std::unordered_map<uint32_t, std::string> zipState_;
  int longestCityWords_ = 1;
  OtherNames otherNames_;
};

}  // namespace corvellan::matcher
