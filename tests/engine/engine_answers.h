// What engines answer, for tests that compare engines set up differently
// (cache, search helper) call by call; and the generated sample database
// they read.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "builder/cvd_writer.h"
#include "read_zip_file.h"
#include "sample/sample_generator.h"
#include "test_support.h"

namespace corvdb::engine_test {

// What one call gave: its return code and every byte it delivered.
struct Answer {
  int32_t rc = 0;
  std::string record;
  std::string buffers;
  bool operator==(const Answer&) const = default;
};

inline Answer Buffers(ReadZipFile& e, Answer a) {
  a.buffers.assign(kRecordBufferSize, '\0');
  e.getZip4Rec(a.buffers.data(), a.buffers.data() + 182, a.buffers.data() + 311);
  return a;
}

// ZipcodeToAddress for the n-th record covering `zip4` (nine characters).
inline Answer Lookup(ReadZipFile& e, const std::string& zip4, int32_t n) {
  Answer a;
  a.record.assign(250, '\0');
  a.record.replace(233, 9, zip4);
  a.rc = e.zipcodeToAddress(a.record.data(), n);
  return Buffers(e, std::move(a));
}

inline Answer Next(ReadZipFile& e) {
  Answer a;
  a.record.assign(250, '\0');
  a.rc = e.getNextZipMatch(a.record.data());
  return Buffers(e, std::move(a));
}

// Generates a sample of `records` detail records in `states` into dir.
inline void GenerateSample(const corvellan::test::TempDir& dir, uint64_t seed, uint64_t records,
                           const std::vector<std::string>& states) {
  tools::SampleOptions sample;
  sample.out_dir = dir.path();
  sample.seed = seed;
  sample.records = records;
  sample.states = states;
  std::string error;
  ASSERT_TRUE(tools::GenerateSample(sample, &error)) << error;
}

// Builds dir/zip.cvd from the sample in dir with the real writer.
inline void BuildFromSample(const corvellan::test::TempDir& dir, builder::BuildReport* report = nullptr) {
  builder::BuildOptions options;
  options.zip4.push_back({"zip4.txt", dir.file(tools::kZip4FileName), nullptr});
  options.city_state.push_back({"ctystate.txt", dir.file(tools::kCityStateFileName), nullptr});
  options.suffixes = {"suffixes", corvellan::test::SourceDir() + "/data/street_suffixes.csv", nullptr};
  options.output = dir.file("zip.cvd");
  builder::BuildReport ignored;
  std::string error;
  ASSERT_TRUE(builder::BuildDatabase(options, report != nullptr ? report : &ignored, &error)) << error;
}

// Both: a generated sample and its zip.cvd.
inline void BuildSample(const corvellan::test::TempDir& dir, uint64_t seed, uint64_t records,
                        const std::vector<std::string>& states) {
  ASSERT_NO_FATAL_FAILURE(GenerateSample(dir, seed, records, states));
  ASSERT_NO_FATAL_FAILURE(BuildFromSample(dir));
}

}  // namespace corvdb::engine_test
