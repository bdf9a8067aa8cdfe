// The writer on damaged product files. The input edits a small set of valid
// ZIP+4 records (bytes overwritten, the file cut short, the framing changed),
// so most inputs are nearly valid and reach the record checks and the number
// field splitting. Every outcome must be either a clean error or a database
// that the engine opens and that gives back every accepted record in order.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "../engine/builder_records.h"
#include "builder/cvd_writer.h"
#include "builder/usps_records.h"
#include "read_zip_file.h"
#include "test_support.h"

namespace {

using corvdb::builder_test::MakeCityState;
using corvdb::builder_test::MakeZip4;
using corvdb::builder_test::Zip4Fields;

std::vector<std::string> TemplateRecords() {
  std::vector<std::string> records;
  Zip4Fields header;
  header.copyright = "C";
  records.push_back(MakeZip4(header));
  Zip4Fields f;
  f.zip = "12345";
  records.push_back(MakeZip4(f));
  f.primary_low = "N123A";
  f.primary_high = "12 1/2";
  f.secondary_low = "007";
  f.firm = "ACME";
  records.push_back(MakeZip4(f));
  f.zip = "54321";
  f.last_line_key = "C00002";
  f.urbanization_key = "U00001";
  records.push_back(MakeZip4(f));
  return records;
}

[[noreturn]] void Fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "build_fuzz: %s: %s\n", what, detail.c_str());
  std::abort();
}

}  // namespace

// Runs on its own empty settings folder, never the user's.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  corvellan::test::UsePrivateSettings();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static corvellan::test::TempDir dir;
  static const std::vector<std::string> templ = TemplateRecords();
  static const std::string city_states = MakeCityState("C00001", "12345", "SPRINGFIELD") +
                                         MakeCityState("C00002", "54321", "SHELBYVILLE") +
                                         MakeCityState("U00001", "54321", "URB LAS FLORES");
  static const std::string suffixes = "STREET,ST\n";
  if (size < 2) return 0;

  const char* ends[] = {"", "\n", "\r\n"};
  const std::string end = ends[data[0] % 3];
  const int copies = 1 + (data[0] / 3) % 4;
  std::string file;
  for (int c = 0; c < copies; ++c) {
    for (const std::string& r : templ) file += r + end;
  }
  for (size_t i = 2; i + 2 < size; i += 3) {
    const size_t at = ((static_cast<size_t>(data[i]) << 8) | data[i + 1]) % file.size();
    file[at] = static_cast<char>(data[i + 2]);
  }
  if (data[1] & 0x80) file.resize(file.size() - (data[1] & 0x7F) % file.size());

  corvdb::builder::BuildOptions options;
  options.zip4.push_back({"zip4", "", &file});
  options.city_state.push_back({"cs", "", &city_states});
  options.suffixes = {"suffixes", "", &suffixes};
  options.output = dir.file("zip.cvd");
  corvdb::builder::BuildReport report;
  std::string error;
  if (!corvdb::builder::BuildDatabase(options, &report, &error)) {
    if (error.empty()) Fail("failure without a message", "");
    return 0;
  }

  // The accepted records, by ZIP code, in input order.
  std::map<uint32_t, std::vector<std::string>> want;
  corvdb::builder::ProductFileReader reader;
  if (!reader.Open({"zip4", "", &file}, corvdb::kZip4Size, &error)) Fail("reopen", error);
  const char* record = nullptr;
  while (reader.Next(&record, &error) == 1) {
    if (record[0] != 'C') want[corvdb::builder::ZipOf(record)].emplace_back(record, corvdb::kZip4Size);
  }
  corvdb::ReadZipFile engine;
  if (engine.openPath(options.output) != 0) Fail("the engine cannot open the database", "");
  if (engine.zipCount() != want.size()) Fail("ZIP code count", std::to_string(engine.zipCount()));
  char row[corvdb::kRecordBufferSize];
  for (const auto& [zip, records] : want) {
    if (!engine.loadZipBlock(zip) || engine.blockRows() != records.size()) Fail("block", std::to_string(zip));
    for (uint32_t r = 0; r < records.size(); ++r) {
      if (!engine.decodeRow(r, row) || records[r].compare(0, corvdb::kZip4Size, row, corvdb::kZip4Size) != 0) {
        Fail("row differs", records[r]);
      }
    }
  }
  return 0;
}
