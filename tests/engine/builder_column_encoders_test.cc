// Column encoders of the writer: the bytes they choose, and that the reader's
// decoding rules give back exactly what went in.
#include "builder/column_encoders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "builder_decoder.h"

namespace corvdb::builder {
namespace {

using builder_test::CvdDecoder;

std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s.push_back(static_cast<char>(b));
  return s;
}

std::string EncodeText(const std::vector<std::string>& entries) {
  TextColumnEncoder encoder;
  for (const auto& e : entries) encoder.Add(e);
  std::string out;
  encoder.Finish(&out);
  return out;
}

// Decodes text column data back into one value per entry.
std::vector<std::string> DecodeText(const std::string& data, size_t count) {
  CvdDecoder::Column col;
  EXPECT_TRUE(CvdDecoder::DecodeTextData(data, static_cast<uint32_t>(count), &col));
  std::vector<std::string> entries;
  for (size_t i = 0; i < col.values.size(); ++i) {
    for (uint32_t r = 0; r < col.runs[i]; ++r) entries.push_back(col.values[i]);
  }
  return entries;
}

TEST(TextColumnEncoder, EmptyAndOneCharacterValuesTakeOneByte) {
  EXPECT_EQ(EncodeText({"", "", "A", ""}), Bytes({0x00, 0x81, 'A', 0x80, 0x00, 0x80, 0x00}));
}

TEST(TextColumnEncoder, RunCountIsMode2LengthMinusOne) {
  const std::vector<std::string> entries(200, "ELM");
  // 199 = 1 * 128 + 71: two bytes with bit 7 set, then the closing 0x00.
  EXPECT_EQ(EncodeText(entries), std::string("ELM") + Bytes({0x81, 0xC7, 0x00}));
}

TEST(TextColumnEncoder, RepeatsOfRecentValuesAreBackReferences) {
  const std::string data = EncodeText({"OAK", "PINE", "OAK", "CEDAR", "PINE"});
  // OAK, PINE, back 2, CEDAR, back 3 (PINE is the third most recent: CEDAR, OAK, PINE).
  EXPECT_EQ(data, std::string("OAK") + Bytes({0x80}) + "PINE" + Bytes({0x80, 2, 0x80}) + "CEDAR" +
                      Bytes({0x80, 3, 0x80, 0x00}));
  EXPECT_EQ(DecodeText(data, 5), (std::vector<std::string>{"OAK", "PINE", "OAK", "CEDAR", "PINE"}));
}

TEST(TextColumnEncoder, BackReferencesReachThirtyOneValues) {
  std::vector<std::string> entries;
  for (int i = 0; i < 40; ++i) entries.push_back("STREET " + std::to_string(i));
  entries.push_back("STREET 9");   // 31st most recent: one byte
  entries.push_back("STREET 8");   // now 33rd most recent: written out
  const std::string data = EncodeText(entries);
  EXPECT_NE(data.find(Bytes({0x80, 31, 0x80})), std::string::npos);
  EXPECT_EQ(DecodeText(data, entries.size()), entries);
}

TEST(TextColumnEncoder, SharesFrontAndBackWithThePreviousValue) {
  std::string out;
  TextColumnEncoder::EncodeValue("MAISTVE", {"MAIN AVE"}, &out);
  EXPECT_EQ(out, Bytes({3, 'S', 'T', 2}));
  // Decoding the same bytes after MAIN AVE gives MAISTVE back.
  const std::string data = std::string("MAIN AVE") + Bytes({0x80, 3, 'S', 'T', 2, 0x80, 0x00});
  EXPECT_EQ(DecodeText(data, 2), (std::vector<std::string>{"MAIN AVE", "MAISTVE"}));
}

TEST(TextColumnEncoder, NeverWritesAOneByteSharedValue) {
  // A prefix of the previous value needs two bytes: one byte would be a repeat.
  std::string out;
  TextColumnEncoder::EncodeValue("MAIN", {"MAINE"}, &out);
  EXPECT_EQ(out.size(), 2u);
  out.clear();
  TextColumnEncoder::EncodeValue("AAAA", {"AAAAAA"}, &out);
  EXPECT_EQ(out.size(), 2u);
  EXPECT_EQ(DecodeText(EncodeText({"AAAAAA", "AAAA", "AAAAAAAA", "AA", "A", "AA"}), 6),
            (std::vector<std::string>{"AAAAAA", "AAAA", "AAAAAAAA", "AA", "A", "AA"}));
}

TEST(TextColumnEncoder, RandomColumnsDecodeToTheirEntries) {
  std::mt19937 rng(7);
  const std::string alphabet = "AAB  C1#";
  for (int round = 0; round < 300; ++round) {
    std::vector<std::string> entries;
    const int n = 1 + static_cast<int>(rng() % 300);
    for (int i = 0; i < n; ++i) {
      if (!entries.empty() && rng() % 3 == 0) {
        entries.push_back(entries[rng() % entries.size()]);  // repeats, near and far
        continue;
      }
      std::string v(rng() % 45, ' ');
      for (char& c : v) c = alphabet[rng() % alphabet.size()];
      entries.push_back(v);
    }
    ASSERT_EQ(DecodeText(EncodeText(entries), entries.size()), entries) << "round " << round;
  }
}

// --- numeric columns

std::vector<int32_t> DecodeCodes(const std::string& codes) {
  // Every code to the end of the bytes (the walk runs out of codes before an
  // unreachable count), so that codes that emit too much show up.
  CvdDecoder::Column col;
  EXPECT_FALSE(CvdDecoder::DecodeNumberData(std::string(4, '\0') + codes, UINT32_MAX, &col));
  return col.numbers;
}

std::vector<int32_t> RoundTrip(const std::vector<uint32_t>& values) {
  std::string codes;
  NumberColumnEncoder::EncodeCodes(values, &codes);
  return DecodeCodes(codes);
}

std::vector<int32_t> Signed(const std::vector<uint32_t>& v) { return std::vector<int32_t>(v.begin(), v.end()); }

TEST(NumberColumnEncoder, DecoderFollowsTheCodeTable) {
  // 0x94: tag 0, g 5; 0x8E: tag 2, g 3 (two values, step 1); 0x87: tag 3, g 1.
  CvdDecoder::Column col;
  ASSERT_TRUE(CvdDecoder::DecodeNumberData(std::string(4, '\0') + Bytes({0x94, 0x8E, 0x87}), 4, &col));
  EXPECT_EQ(col.numbers, (std::vector<int32_t>{5, 6, 7, 8}));
}

size_t CodeCount(const std::string& codes) {
  return static_cast<size_t>(std::count_if(codes.begin(), codes.end(), [](char c) { return c & 0x80; }));
}

TEST(NumberColumnEncoder, RunsOfEqualAndConsecutiveNumbersAreOneCode) {
  std::string codes;
  NumberColumnEncoder::EncodeCodes({5, 6, 7, 8}, &codes);
  EXPECT_EQ(codes.size(), 2u);  // +5, then a run of three counting up
  codes.clear();
  NumberColumnEncoder::EncodeCodes(std::vector<uint32_t>(1000, 42), &codes);
  EXPECT_EQ(CodeCount(codes), 2u);  // +42, then 999 repeats
  codes.clear();
  std::vector<uint32_t> steps;
  for (uint32_t i = 1; i <= 50; ++i) steps.push_back(i * 100);
  NumberColumnEncoder::EncodeCodes(steps, &codes);
  EXPECT_EQ(CodeCount(codes), 2u);  // +100, then one run of the same step
  EXPECT_EQ(DecodeCodes(codes), Signed(steps));
}

TEST(NumberColumnEncoder, LargestNumbersAndJumpsRoundTrip) {
  const std::vector<uint32_t> values = {kMaxStoredNumber, 0, kMaxStoredNumber, kMaxStoredNumber, 1, 999999999, 0};
  EXPECT_EQ(RoundTrip(values), Signed(values));
}

TEST(NumberColumnEncoder, RandomColumnsDecodeToExactlyTheirValues) {
  std::mt19937 rng(11);
  for (int round = 0; round < 300; ++round) {
    std::vector<uint32_t> values;
    const int n = 1 + static_cast<int>(rng() % 400);
    while (static_cast<int>(values.size()) < n) {
      const uint32_t last = values.empty() ? 0 : values.back();
      switch (rng() % 5) {
        case 0: values.push_back(last); break;
        case 1: values.push_back(last + 1); break;
        case 2: values.push_back(last >= 2 ? last - 2 : 0); break;
        case 3: values.push_back(rng() % 10000); break;
        default: values.push_back(rng() % (kMaxStoredNumber + 1u)); break;
      }
    }
    ASSERT_EQ(RoundTrip(values), Signed(values)) << "round " << round;
  }
}

TEST(NumberColumnEncoder, ColumnDataStartsWithItsLengthAndEndsWithZero) {
  NumberColumnEncoder encoder;
  for (uint32_t v : {7u, 7u, 300u}) encoder.Add(v);
  std::string out = "xx";
  encoder.Finish(&out);
  const std::string data = out.substr(2);
  EXPECT_EQ(DecodeFixed32(reinterpret_cast<const uint8_t*>(data.data())), data.size());
  EXPECT_EQ(data.back(), '\0');
  CvdDecoder::Column col;
  ASSERT_TRUE(CvdDecoder::DecodeNumberData(data, 3, &col));
  EXPECT_EQ(col.numbers, (std::vector<int32_t>{7, 7, 300}));
}

// --- number fields

NumberFieldParts Split(const std::string& field, NumberFormat format, int width = 0) {
  NumberFieldParts parts;
  EXPECT_TRUE(SplitNumberField(field, format, width, &parts)) << '"' << field << '"';
  return parts;
}

void ExpectParts(const NumberFieldParts& p, const std::string& prefix, uint32_t number,
                 const std::string& postfix) {
  EXPECT_EQ(p.prefix, prefix);
  EXPECT_EQ(p.number, number);
  EXPECT_EQ(p.postfix, postfix);
}

TEST(SplitNumberField, PrimaryNumbers) {
  const auto plain = NumberFormat::kPlain;
  ExpectParts(Split("N123A     ", plain), "N", 123, "A");
  ExpectParts(Split("12A       ", plain), "", 12, "A");
  ExpectParts(Split("1/2       ", plain), "", 1, "/2");
  ExpectParts(Split("A         ", plain), "A", 0, "");
  ExpectParts(Split("          ", plain), "", 0, "");
  ExpectParts(Split("1073741823", plain), "", 1073741823, "");
  // Zeros that a formatted number would lose go to the prefix.
  ExpectParts(Split("007       ", plain), "00", 7, "");
  ExpectParts(Split("0         ", plain), "0", 0, "");
  ExpectParts(Split("N0123     ", plain), "N0", 123, "");
  // Inner blanks, a blank before the number, too large a number: the whole text.
  ExpectParts(Split("12 1/2    ", plain), "12 1/2", 0, "");
  ExpectParts(Split("N 12      ", plain), "N 12", 0, "");
  ExpectParts(Split("1073741824", plain), "1073741824", 0, "");
  // Leading blanks survive only in a postfix whose first character is cut off.
  ExpectParts(Split("     12345", plain), "", 0, "#     12345");
}

TEST(SplitNumberField, AddOns) {
  const auto padded = NumberFormat::kZeroPadded;
  ExpectParts(Split("0012", padded, 4), "", 12, "");
  ExpectParts(Split("0000", padded, 4), "", 0, "");
  ExpectParts(Split("9999", padded, 4), "", 9999, "");
  ExpectParts(Split("A012", padded, 4), "A012", 0, "");
  ExpectParts(Split("  12", padded, 4), "", 0, "#  12");
  NumberFieldParts parts;
  EXPECT_FALSE(SplitNumberField("12  ", padded, 4, &parts));
  EXPECT_FALSE(SplitNumberField("    ", padded, 4, &parts));
}

TEST(SplitNumberField, BlanksOnBothSidesCannotBeStored) {
  NumberFieldParts parts;
  EXPECT_FALSE(SplitNumberField(" 12     ", NumberFormat::kPlain, 0, &parts));
  EXPECT_FALSE(SplitNumberField("   A    ", NumberFormat::kPlain, 0, &parts));
}

TEST(AssembleNumberField, FollowsTheReadersFieldRules) {
  EXPECT_EQ(AssembleNumberField({"A", 0, ""}, NumberFormat::kPlain, 0, 10), "A         ");
  EXPECT_EQ(AssembleNumberField({"", 0, ""}, NumberFormat::kZeroPadded, 4, 4), "0000");
  EXPECT_EQ(AssembleNumberField({"", 12, "A"}, NumberFormat::kPlain, 0, 10), "12A       ");
  // The number is cut at the field; a postfix beyond it keeps the rightmost characters.
  EXPECT_EQ(AssembleNumberField({"ABCDEFGH", 123, "XY"}, NumberFormat::kPlain, 0, 10), "CDEFGH12XY");
  EXPECT_EQ(AssembleNumberField({"  A B  ", 5, "  C "}, NumberFormat::kPlain, 0, 8), "A B5C   ");
}

// Every field either splits into parts that assemble to it exactly, or is
// one of the documented impossible shapes.
TEST(SplitNumberField, RandomFieldsRoundTripOrAreImpossible) {
  std::mt19937 rng(3);
  const std::string alphabet = "0123456789  A/#-";
  struct Kind {
    NumberFormat format;
    int width;
    int length;
  };
  for (const Kind kind : {Kind{NumberFormat::kPlain, 0, 10}, Kind{NumberFormat::kPlain, 0, 8},
                          Kind{NumberFormat::kZeroPadded, 4, 4}}) {
    for (int round = 0; round < 20000; ++round) {
      std::string field(static_cast<size_t>(kind.length), ' ');
      const size_t used = rng() % (field.size() + 1);
      for (size_t i = 0; i < used; ++i) field[i] = alphabet[rng() % alphabet.size()];
      if (rng() % 4 == 0) std::rotate(field.begin(), field.begin() + static_cast<long>(rng() % field.size()), field.end());
      NumberFieldParts parts;
      const bool ok = SplitNumberField(field, kind.format, kind.width, &parts);
      const bool has_text = field.find_first_not_of(' ') != std::string::npos;
      const bool impossible = kind.format == NumberFormat::kZeroPadded
                                  ? field.back() == ' '
                                  : has_text && field.front() == ' ' && field.back() == ' ';
      ASSERT_EQ(ok, !impossible) << '"' << field << '"';
      if (!ok) continue;
      ASSERT_EQ(AssembleNumberField(parts, kind.format, kind.width, kind.length), field) << '"' << field << '"';
      ASSERT_LE(parts.number, kMaxStoredNumber);
      ASSERT_TRUE(parts.prefix.empty() || (parts.prefix.front() != ' ' && parts.prefix.back() != ' '));
      ASSERT_TRUE(parts.postfix.empty() || (parts.postfix.front() != ' ' && parts.postfix.back() != ' '));
    }
  }
}

}  // namespace
}  // namespace corvdb::builder
