// Small databases for the address search tests, built by the real writer from
// handmade USPS records, and a runner that drives a whole search.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "builder/cvd_writer.h"
#include "builder_records.h"
#include "read_zip_file.h"
#include "test_support.h"
#include "zip_search.h"

namespace corvdb::search_test {

using builder_test::MakeCityState;
using builder_test::MakeZip4;
using builder_test::Zip4Fields;

inline const char* const kSuffixCsv = "name,abbreviation\nSTREET,ST\nST,ST\nAVENUE,AVE\nAVE,AVE\nROAD,RD\n";

// The typed fields of a request (members default-initialised, so that a test
// names only the fields it fills).
struct Typed {
  std::string zip = {};
  std::string firm = {};
  std::string unit = {};
  std::string number = {};
  std::string street = {};
  std::string city = {};
  std::string state = {};
};

inline std::string Request(const Typed& t) {
  std::string r(kSearchRequestSize, ' ');
  const auto put = [&r](RequestField f, const std::string& v) { r.replace(f.offset, std::min(v.size(), f.length), v); };
  put(kRequestZip, t.zip);
  put(kRequestFirm, t.firm);
  put(kRequestUnit, t.unit);
  put(kRequestPrimary, t.number);
  put(kRequestStreet, t.street);
  put(kRequestCity, t.city);
  put(kRequestState, t.state);
  return r;
}

// What one whole search gave.
struct Outcome {
  int32_t initiated = 0;
  int zeros = 0;                   // calls that returned 0
  std::vector<std::string> ids;    // update key digits of each delivered record
  std::vector<int32_t> ranks;
  std::vector<std::string> records;  // the 250-byte output records
  std::vector<std::string> zip4s;    // the ZIP+4 buffers behind them
};

// A record's identity in these tests: its update key (9 digits).
inline std::string Id(int n) {
  char text[16];
  std::snprintf(text, sizeof text, "%09d", n);
  return text;
}

class SearchDatabase : public testing::Test {
 protected:
  // Records get update keys 1, 2, 3 ... in the given order; every record
  // whose last-line key has no City-State record gets SPRINGFIELD.
  void Build(std::vector<Zip4Fields> rows, std::vector<std::string> cityStates = {}) {
    std::vector<std::string> records;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      rows[i].update_number = Id(static_cast<int>(i + 1));
      records.push_back(MakeZip4(rows[i]));
      bool known = false;
      for (const std::string& cs : cityStates) {
        known = known || (cs.compare(6, 6, rows[i].last_line_key) == 0 && cs.compare(1, 5, rows[i].zip) == 0);
      }
      if (!known) cityStates.push_back(MakeCityState(rows[i].last_line_key, rows[i].zip, "SPRINGFIELD", rows[i].state));
    }
    std::string error;
    ASSERT_TRUE(builder::BuildDatabaseFromRecords(records, cityStates, kSuffixCsv, dir_.file("zip.cvd"), &error))
        << error;
    ASSERT_EQ(engine_.openPath(dir_.file("zip.cvd")), 0);
  }

  // Runs a search to its end (at most `calls` calls after the start).
  Outcome Search(const Typed& typed, int32_t flags = 0, int calls = 1000000) {
    Outcome o;
    o.initiated = engine_.initiateZipSearch(Request(typed).data(), flags);
    if (o.initiated < 1) return o;
    for (int i = 0; i < calls; ++i) {
      std::string record(250, '\0');
      const int32_t rc = engine_.getNextZipMatch(record.data());
      if (rc < 0) break;
      if (rc == 0) {
        ++o.zeros;
        continue;
      }
      Collect(&o, record, rc);
    }
    return o;
  }

  void Collect(Outcome* o, const std::string& record, int32_t rank) {
    std::string zip4(182, '\0'), cs(129, '\0'), urb(129, '\0');
    engine_.getZip4Rec(zip4.data(), cs.data(), urb.data());
    o->ids.push_back(zip4.substr(7, 9));
    o->ranks.push_back(rank);
    o->records.push_back(record);
    o->zip4s.push_back(zip4);
  }

  std::vector<std::string> Ids(const Typed& typed, int32_t flags = 0) { return Search(typed, flags).ids; }

  corvellan::test::TempDir dir_;
  ReadZipFile engine_;
};

// The update keys of records 1, 2, 3 ... of a Build.
inline std::vector<std::string> Want(std::initializer_list<int> numbers) {
  std::vector<std::string> out;
  for (int n : numbers) out.push_back(Id(n));
  return out;
}

}  // namespace corvdb::search_test
