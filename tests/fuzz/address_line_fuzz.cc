// Fuzzes the readers of outside text in free-form matching: the CSV reader of
// address lists and the address-line parser (transliteration, splitting from
// the end, unit and street parsing). Input: one byte choosing the reader, then
// the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "address_parser.h"
#include "csv.h"
#include "test_support.h"

namespace {
void Check(bool ok) {
  if (!ok) std::abort();
}
}  // namespace

// Runs on its own empty settings folder, never the user's.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  corvellan::test::UsePrivateSettings();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const bool csv = (data[0] & 1) != 0;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  if (csv) {
    std::istringstream in(text);
    corvellan::matcher::CsvReader reader(in);
    corvellan::matcher::CsvRecord record;
    std::size_t records = 0;
    while (reader.next(record)) {
      ++records;
      Check(records <= text.size() + 1);  // every record consumes input
      // What was read writes back and reads again as the same fields.
      if (record.error.empty()) {
        // (After a first line, so that fields starting like a byte order
        // mark are not read as one.)
        std::istringstream again("h\r\n" + corvellan::matcher::CsvLine(record.fields));
        corvellan::matcher::CsvReader second(again);
        corvellan::matcher::CsvRecord back;
        Check(second.next(back) && second.next(back) && back.error.empty() && back.fields == record.fields);
      }
    }
    Check(reader.bytesRead() <= text.size());
    return 0;
  }
  static const corvdb::SuffixTable suffixes("!STREET$ST!ST$ST!AVENUE$AVE!AVE$AVE!VALLEYS$VLYS!");
  static const corvellan::matcher::PlaceNames places = [] {
    corvellan::matcher::PlaceNames p;
    p.add(62704, "SPRINGFIELD", "IL");
    p.add(10001, "NEW YORK", "NY");
    p.add(9012, "APO", "AE");
    return p;
  }();
  const auto parsed = corvellan::matcher::AddressParser(suffixes, places).parse(text);
  for (const std::string* part : {&parsed.primaryNumber, &parsed.streetName, &parsed.city, &parsed.unitNumber}) {
    for (char c : *part) Check(static_cast<unsigned char>(c) < 0x80);
  }
  Check(parsed.zip.empty() || parsed.zip.size() == 5);
  return 0;
}
