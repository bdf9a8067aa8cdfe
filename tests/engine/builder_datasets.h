// Datasets of USPS records for the writer's tests: a hand-made one with the
// odd field shapes and a random one over many ZIP codes.
#pragma once

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "builder_records.h"

namespace corvdb::builder_test {

struct Dataset {
  std::vector<std::string> zip4;
  std::vector<std::string> city_state;
};

// The 440-byte row a record must decode to.
inline std::string ExpectedRow(const std::string& zip4, const std::vector<std::string>& city_states) {
  auto find = [&](const std::string& key) {
    if (key == "      ") return std::string(129, ' ');
    const std::string* first = nullptr;
    for (const auto& cs : city_states) {
      if (cs[0] == 'C' || cs.compare(6, 6, key) != 0) continue;
      if (cs.compare(1, 5, zip4, 1, 5) == 0) return cs;
      if (first == nullptr) first = &cs;
    }
    return first ? *first : std::string();
  };
  return zip4 + find(zip4.substr(176, 6)) + find(zip4.substr(170, 6));
}

// A small hand-made dataset that covers the odd field shapes.
inline Dataset Handmade() {
  Dataset d;
  d.city_state = {
      MakeCityState("C00001", "10001", "NEW YORK"),
      MakeCityState("C00002", "10002", "BROOKLYN"),
      MakeCityState("C00001", "10002", "NEW YORK CITY"),  // same key, other ZIP code
      MakeCityState("U00001", "00901", "URB LAS FLORES", "PR", "SAN JUAN"),
      MakeCityState("C00009", "00901", "SAN JUAN", "PR", "SAN JUAN"),
  };
  Zip4Fields f;
  f.zip = "10001";
  d.zip4.push_back(MakeZip4(f));
  f.primary_low = "N123A";
  f.primary_high = "12 1/2";
  f.secondary_abbrev = "APT";
  f.secondary_low = "007";
  f.secondary_high = "0";
  f.firm = "  ACME WIDGETS";  // a leading blank stays
  f.addon_low = "A012";
  f.addon_high = "  12";
  d.zip4.push_back(MakeZip4(f));
  f = Zip4Fields();
  f.zip = "10001";
  f.primary_low = "     12345";
  f.primary_high = "1234567890";
  f.street = "MAINE";
  f.pre_direction = "N";
  f.post_direction = "SW";
  f.update_number = "999999999";
  d.zip4.push_back(MakeZip4(f));
  f = Zip4Fields();
  f.zip = "10002";
  f.street = "MA";
  f.last_line_key = "C00001";  // prefers the record of ZIP code 10002
  d.zip4.push_back(MakeZip4(f));
  f.last_line_key = "C00002";
  f.street = "";
  f.firm = "BANK OF AMERICA";
  f.primary_low = "";
  f.primary_high = "";
  d.zip4.push_back(MakeZip4(f));
  f = Zip4Fields();
  f.zip = "00901";
  f.state = "PR";
  f.last_line_key = "C00009";
  f.urbanization_key = "U00001";
  f.street = "A";
  d.zip4.push_back(MakeZip4(f));
  f.last_line_key = "      ";
  f.urbanization_key = "      ";
  d.zip4.push_back(MakeZip4(f));
  return d;
}

inline const char* const kStreets[] = {"MAIN", "MAINE", "MAIN ST", "MA", "M", "ELM", "ELMWOOD", "OAK", "OAK HILL",
                          "A", "A B", "AB", "ABC", "1ST", "10TH", "BROADWAY", "MARTIN LUTHER KING JR"};

inline std::string RandomText(std::mt19937& rng, size_t n) {
  std::string s(n, ' ');
  for (char& c : s) c = static_cast<char>('!' + rng() % 94);
  return s;
}

inline std::string Pick(std::mt19937& rng, const std::vector<std::string>& v) { return v[rng() % v.size()]; }

// Random but valid records over `zips` ZIP codes, grouped by ZIP code.
inline Dataset Random(uint32_t seed, int zips, int max_rows) {
  std::mt19937 rng(seed);
  Dataset d;
  const std::vector<std::string> primary = {"",     "1",     "123",    "N123A",  "12 1/2", "007",  "0",
                                            "A",    "1/2",   "99999",  "W12",    "12-14",  "1073741823",
                                            "5000000000", "     12345", "100A", "A1B2"};
  const std::vector<std::string> secondary = {"", "1", "5A", "A", "00012", "B-12", "PH", "0", "12345678"};
  const std::vector<std::string> firms = {"", "", "", "ACME", "ACME INC", "BANK OF AMERICA", "MCDONALDS",
                                          "ST. JOHN'S-ON-THE-LAKE CHURCH", "A", "ZZ TOP LLC"};
  std::vector<std::string> cities = {"SPRINGFIELD", "SHELBYVILLE", "OGDENVILLE", "NORTH HAVERBROOK", "CAPITAL CITY"};
  for (int z = 0; z < zips; ++z) {
    char zip[6];
    std::snprintf(zip, sizeof zip, "%05u", static_cast<unsigned>(rng() % 100000));
    if (std::any_of(d.zip4.begin(), d.zip4.end(), [&](const std::string& r) { return r.compare(1, 5, zip) == 0; })) {
      continue;
    }
    const std::string key = "K" + std::string(zip);
    d.city_state.push_back(MakeCityState(key, zip, cities[rng() % cities.size()], z % 2 ? "IL" : "OR"));
    const std::string urb = "U" + std::string(zip);
    if (z % 3 == 0) d.city_state.push_back(MakeCityState(urb, zip, "URB " + cities[rng() % cities.size()]));
    const int rows = 1 + static_cast<int>(rng() % static_cast<unsigned>(max_rows));
    uint32_t addon = rng() % 9000;
    for (int r = 0; r < rows; ++r) {
      Zip4Fields f;
      f.zip = zip;
      f.state = z % 2 ? "IL" : "OR";
      f.street = kStreets[rng() % std::size(kStreets)];
      f.suffix = rng() % 2 ? "ST" : "AVE";
      f.pre_direction = rng() % 5 == 0 ? "N" : "";
      f.primary_low = Pick(rng, primary);
      f.primary_high = Pick(rng, primary);
      f.primary_parity = "OEB"[rng() % 3];
      f.firm = Pick(rng, firms);
      f.secondary_abbrev = rng() % 3 == 0 ? "APT" : "";
      f.secondary_low = Pick(rng, secondary);
      f.secondary_high = Pick(rng, secondary);
      char a[8];
      addon += rng() % 3;
      std::snprintf(a, sizeof a, "%04u", addon % 10000);
      f.addon_low = a;
      f.addon_high = rng() % 4 ? std::string(a) : "9999";
      f.update_number = std::to_string(100000000 + rng() % 900000000);
      f.last_line_key = rng() % 10 ? key : "      ";
      f.urbanization_key = z % 3 == 0 && rng() % 2 ? urb : "";
      f.route = "C" + std::to_string(100 + rng() % 5);
      d.zip4.push_back(MakeZip4(f));
    }
  }
  return d;
}

}  // namespace corvdb::builder_test
