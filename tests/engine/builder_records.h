// USPS product records for the writer's tests, made field by field.
#pragma once

#include <cstdio>
#include <string>

namespace corvdb::builder_test {

// Writes `value` left-justified into `record` at `offset`, cut or blank padded
// to `length`.
inline void PutField(std::string* record, size_t offset, size_t length, const std::string& value) {
  for (size_t i = 0; i < length; ++i) (*record)[offset + i] = i < value.size() ? value[i] : ' ';
}

struct Zip4Fields {
  std::string copyright = "D";
  std::string zip = "12345";
  std::string update_alpha = "A";
  std::string update_number = "000000001";
  std::string action = "A";
  std::string record_type = "S";
  std::string route = "C001";
  std::string pre_direction;
  std::string street = "MAIN";
  std::string suffix = "ST";
  std::string post_direction;
  std::string primary_low = "100";
  std::string primary_high = "198";
  std::string primary_parity = "E";
  std::string firm;
  std::string secondary_abbrev;
  std::string secondary_low;
  std::string secondary_high;
  std::string secondary_parity;
  std::string addon_low = "0001";
  std::string addon_high = "0001";
  std::string base_alt = "B";
  std::string lacs;
  std::string government;
  std::string finance = "123456";
  std::string state = "NY";
  std::string county = "001";
  std::string congress = "01";
  std::string municipality_key;
  std::string urbanization_key;
  std::string last_line_key = "C00001";
};

inline std::string MakeZip4(const Zip4Fields& f) {
  std::string r(182, ' ');
  PutField(&r, 0, 1, f.copyright);
  PutField(&r, 1, 5, f.zip);
  PutField(&r, 6, 1, f.update_alpha);
  PutField(&r, 7, 9, f.update_number);
  PutField(&r, 16, 1, f.action);
  PutField(&r, 17, 1, f.record_type);
  PutField(&r, 18, 4, f.route);
  PutField(&r, 22, 2, f.pre_direction);
  PutField(&r, 24, 28, f.street);
  PutField(&r, 52, 4, f.suffix);
  PutField(&r, 56, 2, f.post_direction);
  PutField(&r, 58, 10, f.primary_low);
  PutField(&r, 68, 10, f.primary_high);
  PutField(&r, 78, 1, f.primary_parity);
  PutField(&r, 79, 40, f.firm);
  PutField(&r, 119, 4, f.secondary_abbrev);
  PutField(&r, 123, 8, f.secondary_low);
  PutField(&r, 131, 8, f.secondary_high);
  PutField(&r, 139, 1, f.secondary_parity);
  PutField(&r, 140, 4, f.addon_low);
  PutField(&r, 144, 4, f.addon_high);
  PutField(&r, 148, 1, f.base_alt);
  PutField(&r, 149, 1, f.lacs);
  PutField(&r, 150, 1, f.government);
  PutField(&r, 151, 6, f.finance);
  PutField(&r, 157, 2, f.state);
  PutField(&r, 159, 3, f.county);
  PutField(&r, 162, 2, f.congress);
  PutField(&r, 164, 6, f.municipality_key);
  PutField(&r, 170, 6, f.urbanization_key);
  PutField(&r, 176, 6, f.last_line_key);
  return r;
}

// A City-State record: key at 6, name at 13, preferred last line key at 56
// and name at 62, state at 99, county name at 104.
inline std::string MakeCityState(const std::string& key, const std::string& zip, const std::string& name,
                                 const std::string& state = "NY", const std::string& county = "KINGS",
                                 const std::string& copyright = "D") {
  std::string r(129, ' ');
  PutField(&r, 0, 1, copyright);
  PutField(&r, 1, 5, zip);
  PutField(&r, 6, 6, key);
  PutField(&r, 12, 1, "P");
  PutField(&r, 13, 28, name);
  PutField(&r, 41, 13, name.substr(0, 13));
  PutField(&r, 56, 6, key);
  PutField(&r, 62, 28, name);
  PutField(&r, 99, 2, state);
  PutField(&r, 101, 3, "047");
  PutField(&r, 104, 25, county);
  return r;
}

// A City-State record of another name of a ZIP code: its facility code and
// mailing name indicator, pointing at the preferred last line `last_line_key`.
inline std::string MakeOtherCityState(const std::string& key, const std::string& zip, const std::string& name,
                                      const std::string& state, char facility, char mailing,
                                      const std::string& last_line_key, const std::string& last_line_name) {
  std::string r = MakeCityState(key, zip, name, state);
  PutField(&r, 54, 1, std::string(1, facility));
  PutField(&r, 55, 1, std::string(1, mailing));
  PutField(&r, 56, 6, last_line_key);
  PutField(&r, 62, 28, last_line_name);
  return r;
}

}  // namespace corvdb::builder_test
