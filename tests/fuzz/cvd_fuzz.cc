// Fuzzes the zip.cvd reader: the input is the whole data file. It is opened
// through the engine's opening path, then ZIP codes found in its directory
// (and a few others) are looked up with add-ons taken from the input, and the
// first blocks are decoded whole, column by column and row by row, as the
// address search does. Every outcome must be a documented code.
//
// When a corpus directory named on the command line is empty, it is seeded
// with small files from the tests' builder and one from the real writer, so
// that the fuzzer starts from valid structure instead of discovering H, T, U
// and the directory byte by byte.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "../engine/reader_test_file.h"
#include "builder/cvd_writer.h"
#include "read_zip_file.h"
#include "sample/sample_generator.h"
#include "test_support.h"

namespace {

using corvdb::ReadZipFile;

int DataFile() {
  static const int fd = memfd_create("zip.cvd", MFD_CLOEXEC);
  return fd;
}

void Check(bool ok) {
  if (!ok) std::abort();
}

std::vector<std::string> Seeds() {
  namespace tf = corvdb::testfile;
  std::vector<std::string> seeds;
  seeds.push_back(tf::BuildFile({tf::SimpleBlock("12345", 3)}));
  tf::Block a{"02134", {}, {}, {}};
  for (int i = 0; i < 4; ++i) {
    tf::Fields f;
    f.zip = "02134";
    f.addOnLow = i == 3 ? "A100" : "001" + std::to_string(i);
    f.addOnHigh = i == 3 ? "A199" : "001" + std::to_string(i);
    f.street = i < 2 ? "MAIN" : "MAINE";
    f.firm = i == 1 ? "BANK OF AMERICA" : "";
    f.unitAbbrev = i == 2 ? "APT" : "";
    f.unitLow = i == 2 ? "1A" : "";
    f.primaryLow = "12B";
    f.urbanization = i == 0 ? "URB LAS FLORES" : "";
    a.rows.push_back(tf::MakeRow(f));
  }
  seeds.push_back(tf::BuildFile({a, tf::SimpleBlock("99950", 2)}));

  // A small database from the real writer.
  std::string dir_template = corvellan::test::TempRoot() + "/cvd-fuzz-seed-XXXXXX";
  char* dir = dir_template.data();
  if (mkdtemp(dir) != nullptr) {
    corvdb::tools::SampleOptions sample;
    sample.out_dir = dir;
    sample.records = 120;
    sample.states = {"DE"};
    std::string error;
    corvdb::builder::BuildOptions options;
    options.zip4.push_back({"zip4", std::string(dir) + "/" + corvdb::tools::kZip4FileName, nullptr});
    options.city_state.push_back({"cs", std::string(dir) + "/" + corvdb::tools::kCityStateFileName, nullptr});
    options.suffixes = {"suffixes", std::string(CORVELLAN_SOURCE_DIR) + "/data/street_suffixes.csv", nullptr};
    options.output = std::string(dir) + "/zip.cvd";
    corvdb::builder::BuildReport report;
    if (corvdb::tools::GenerateSample(sample, &error) && corvdb::builder::BuildDatabase(options, &report, &error)) {
      seeds.push_back(corvellan::test::ReadFile(options.output));
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  return seeds;
}

void LookUp(ReadZipFile& engine, bool opened, const std::string& zip, const std::string& addOn, int32_t n) {
  std::string record = corvdb::testfile::Request(zip, addOn);
  const std::string before = record;
  const int32_t rc = engine.zipcodeToAddress(record.data(), n);
  Check(opened ? (rc == -1 || rc >= 1) : rc == -3);
  if (rc < 0) Check(record == before);
  char zip4[182], cs[129], urb[129];
  Check(engine.getZip4Rec(zip4, cs, urb) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  corvellan::test::UsePrivateSettings();
  for (int i = 1; i < *argc; ++i) {
    const std::filesystem::path p((*argv)[i]);
    std::error_code ec;
    if ((*argv)[i][0] == '-' || !std::filesystem::is_directory(p, ec) || !std::filesystem::is_empty(p, ec)) continue;
    int k = 0;
    for (const std::string& seed : Seeds()) corvellan::test::WriteFile((p / ("seed-" + std::to_string(k++))).string(), seed);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = DataFile();
  if (fd < 0 || ftruncate(fd, 0) != 0) return 0;
  if (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) return 0;

  ReadZipFile engine;
  const int32_t rc = engine.openPath("/proc/self/fd/" + std::to_string(fd));
  Check(rc == 0 || rc == -3);
  const bool opened = rc == 0;

  // Add-ons from the last bytes of the input.
  std::string tail(reinterpret_cast<const char*>(data) + (size > 4 ? size - 4 : 0), size > 4 ? 4 : size);
  for (char& c : tail) c = static_cast<char>(c & 0x7F);
  const std::string addOns[] = {"0000", "0001", "1234", tail, "A100", ""};

  int zips = 0;
  for (uint32_t z = 0; opened && z < 100000 && zips < 4; ++z) {
    if (!engine.hasZip(z)) continue;
    ++zips;
    char text[8];
    std::snprintf(text, sizeof text, "%05u", z);
    for (const std::string& addOn : addOns) LookUp(engine, opened, text, addOn, 1);
    LookUp(engine, opened, text, "0000", 2);

    // The whole block, as a search reads it.
    if (engine.loadZipBlock(z)) {
      for (int c = 0; c < corvdb::kColumnCount; ++c) engine.column(c).loadBlock();
      char buffer[corvdb::kRecordBufferSize];
      for (uint32_t row = 0; row < engine.blockRows() && row < 64; ++row) engine.decodeRow(row, buffer);
    }
  }
  LookUp(engine, opened, "12345", tail, 1);
  LookUp(engine, opened, "1234", "5678", 1);
  return 0;
}
