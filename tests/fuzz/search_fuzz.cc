// Fuzzes the address search: each input is a 165-byte search request, then a
// flags byte, then bytes that choose ZIP+4 lookups to make between two calls
// of GetNextZipMatch (which must not disturb the search). The database is a
// small generated sample built once, at start-up, into a temporary
// directory. Every answer must be a documented code, the call protocol must
// hold (one 0 per candidate ZIP code, -1 for good afterwards), and every
// delivered record must name a ZIP code inside a typed ZIP range.
//
// When a corpus directory named on the command line is empty, it is seeded
// with requests made from the sample's records.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "builder/cvd_writer.h"
#include "read_zip_file.h"
#include "sample/sample_generator.h"
#include "test_support.h"
#include "zip_search.h"

namespace {

using corvdb::ReadZipFile;

void Check(bool ok) {
  if (!ok) std::abort();
}

struct Fixture {
  corvellan::test::TempDir dir;
  ReadZipFile engine;
  std::vector<std::string> zip4;  // the sample's detail records
};

// Built at the first use; destroyed at exit, which removes the directory.
Fixture* TheFixture() {
  static const std::unique_ptr<Fixture> fixture = [] {
    auto f = std::make_unique<Fixture>();
    corvdb::tools::SampleOptions sample;
    sample.out_dir = f->dir.path();
    sample.seed = 3;
    sample.records = 3000;
    sample.states = {"DE", "RI"};
    std::string error;
    corvdb::builder::BuildOptions options;
    options.zip4.push_back({"zip4", f->dir.file(corvdb::tools::kZip4FileName), nullptr});
    options.city_state.push_back({"cs", f->dir.file(corvdb::tools::kCityStateFileName), nullptr});
    options.suffixes = {"suffixes", std::string(CORVELLAN_SOURCE_DIR) + "/data/street_suffixes.csv", nullptr};
    options.output = f->dir.file("zip.cvd");
    corvdb::builder::BuildReport report;
    Check(corvdb::tools::GenerateSample(sample, &error) && corvdb::builder::BuildDatabase(options, &report, &error));
    Check(f->engine.openPath(options.output) == 0);
    const std::string text = corvellan::test::ReadFile(options.zip4[0].path);
    for (std::size_t at = 184; at + 182 <= text.size(); at += 184) f->zip4.push_back(text.substr(at, 182));
    return f;
  }();
  return fixture.get();
}

// Requests in the words of real records.
std::vector<std::string> Seeds(const std::vector<std::string>& zip4) {
  std::vector<std::string> seeds;
  for (std::size_t i = 0; i < zip4.size() && seeds.size() < 12; i += zip4.size() / 12 + 1) {
    const std::string& r = zip4[i];
    std::string request(corvdb::kSearchRequestSize, ' ');
    switch (seeds.size() % 4) {
      case 0:  // house number and street line
        request.replace(corvdb::kRequestPrimary.offset, 10, r.substr(58, 10));
        request.replace(corvdb::kRequestStreet.offset, 36, r.substr(22, 36));
        break;
      case 1:  // firm and state
        request.replace(corvdb::kRequestFirm.offset, 40, r.substr(79, 40));
        request.replace(corvdb::kRequestState.offset, 2, r.substr(157, 2));
        break;
      case 2:  // ZIP range and unit
        request.replace(corvdb::kRequestZip.offset, 4, r.substr(1, 3) + "*");
        request.replace(corvdb::kRequestUnit.offset, 12, r.substr(119, 12));
        break;
      default:  // street line with a unit at its end
        request.replace(corvdb::kRequestStreet.offset, 34, r.substr(24, 34));
        request.replace(corvdb::kRequestStreet.offset + 35, 12, r.substr(119, 12));
        break;
    }
    seeds.push_back(request + std::string(1, static_cast<char>(seeds.size() % 2)) + r.substr(1, 9));
  }
  return seeds;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  corvellan::test::UsePrivateSettings();
  Fixture* f = TheFixture();
  for (int i = 1; i < *argc; ++i) {
    const std::filesystem::path p((*argv)[i]);
    std::error_code ec;
    if ((*argv)[i][0] == '-' || !std::filesystem::is_directory(p, ec) || !std::filesystem::is_empty(p, ec)) continue;
    int k = 0;
    for (const std::string& seed : Seeds(f->zip4)) corvellan::test::WriteFile((p / ("seed-" + std::to_string(k++))).string(), seed);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Fixture* f = TheFixture();
  ReadZipFile& engine = f->engine;
  std::string request(reinterpret_cast<const char*>(data), std::min(size, corvdb::kSearchRequestSize));
  request.resize(corvdb::kSearchRequestSize, ' ');
  const int32_t flags = size > corvdb::kSearchRequestSize ? data[corvdb::kSearchRequestSize] : 0;

  const int32_t initiated = engine.initiateZipSearch(request.data(), flags);
  char record[250];
  if (initiated < 1) {
    Check(initiated == 0 || initiated == -1);
    // A street in no index entry (0) runs out with one 0; after -1 nothing runs.
    if (initiated == 0) Check(engine.getNextZipMatch(record) == 0);
    Check(engine.getNextZipMatch(record) == -1);
    return 0;
  }
  const corvdb::SearchTerms terms = corvdb::ParseSearchRequest(request.data(), engine.suffixTable());
  int32_t zeros = 0;
  std::size_t next = corvdb::kSearchRequestSize + 1;  // the lookup bytes
  for (int calls = 0;; ++calls) {
    Check(calls <= initiated + 200000);
    const int32_t rc = engine.getNextZipMatch(record);
    if (rc < 0) {
      Check(rc == -1);
      break;
    }
    if (rc == 0) {
      ++zeros;
    } else {
      const uint32_t zip = static_cast<uint32_t>(std::stoul(std::string(record + 233, 5)));
      Check(!terms.zipGiven || (terms.zipLow <= zip && zip <= terms.zipHigh));
    }
    // A lookup between two calls, now and then: 9 bytes of ZIP+4 from the input.
    if (next + 10 <= size && data[next] % 4 == 0) {
      char lookup[250] = {};
      std::copy(data + next + 1, data + next + 10, lookup + 233);
      const int32_t found = engine.zipcodeToAddress(lookup, 1);
      Check(found == -1 || found >= 1);
      next += 10;
    } else if (next < size) {
      ++next;
    }
  }
  Check(zeros == initiated);
  Check(engine.getNextZipMatch(record) == -1);
  return 0;
}
