#include "builder/block_builder.h"

#include "coding.h"

namespace corvdb::builder {

namespace {

// Each number field is kept by three neighbouring columns: postfix, number,
// prefix (the reader writes the prefix first, appends the number, then the
// postfix).
constexpr bool GroupIsNeighbours(int number) {
  return kColumns[static_cast<size_t>(number) - 1].cls == ColumnClass::kPostfixPart &&
         kColumns[static_cast<size_t>(number)].cls == ColumnClass::kNumberPart &&
         kColumns[static_cast<size_t>(number) + 1].cls == ColumnClass::kPrefixPart;
}
static_assert(GroupIsNeighbours(kCorvdbOnNumber) && GroupIsNeighbours(kSecondaryNum) &&
              GroupIsNeighbours(kPrimaryNumber));
static_assert(kColumns[kUpdateKeyNoNumeric].cls == ColumnClass::kNumberTable &&
              kColumns[kUpdateKeyNoNumeric].width == 9);

std::string_view RightTrimmed(const char* p, int length) {
  size_t n = static_cast<size_t>(length);
  while (n > 0 && p[n - 1] == ' ') --n;
  return std::string_view(p, n);
}

}  // namespace

void BlockBuilder::Reset() {
  for (auto& t : text_) t.Reset();
  for (auto& n : numbers_) n.Reset();
  rows_ = 0;
}

bool BlockBuilder::AddNumberField(int number_column, const char* low, const char* high,
                                  std::string* error) {
  const ColumnSpec& spec = kColumns[static_cast<size_t>(number_column)];
  NumberFieldParts parts[2];
  const char* fields[2] = {low, high};
  const int lengths[2] = {spec.length, spec.highLength};
  for (int i = 0; i < 2; ++i) {
    if (!SplitNumberField(std::string_view(fields[i], static_cast<size_t>(lengths[i])), spec.format,
                          spec.width, &parts[i])) {
      *error = std::string("field ") + spec.name + " \"" +
               std::string(fields[i], static_cast<size_t>(lengths[i])) + "\" cannot be stored";
      return false;
    }
  }
  // Entry 2r is the low field of row r, entry 2r + 1 its high field.
  for (const NumberFieldParts& p : parts) {
    text_[static_cast<size_t>(number_column) + 1].Add(p.prefix);
    numbers_[static_cast<size_t>(number_column)].Add(p.number);
    text_[static_cast<size_t>(number_column) - 1].Add(p.postfix);
  }
  return true;
}

bool BlockBuilder::AddRow(const char* row, std::string* error) {
  for (int c = 0; c < kColumnCount; ++c) {
    const ColumnSpec& spec = kColumns[static_cast<size_t>(c)];
    switch (spec.cls) {
      case ColumnClass::kStringTable:
        text_[static_cast<size_t>(c)].Add(RightTrimmed(row + spec.offset, spec.length));
        break;
      case ColumnClass::kNumberPart:
        if (!AddNumberField(c, row + spec.offset, row + spec.highOffset, error)) return false;
        break;
      case ColumnClass::kNumberTable: {
        uint32_t v = 0;
        for (int i = 0; i < spec.width; ++i) {
          const char ch = row[spec.offset + i];
          if (ch < '0' || ch > '9') {
            *error = std::string("field ") + spec.name + " is not " + std::to_string(spec.width) + " digits";
            return false;
          }
          v = v * 10 + static_cast<uint32_t>(ch - '0');
        }
        numbers_[static_cast<size_t>(c)].Add(v);
        break;
      }
      case ColumnClass::kPrefixPart:
      case ColumnClass::kPostfixPart:
        break;  // filled with their number column
    }
  }
  ++rows_;
  return true;
}

void BlockBuilder::Finish(std::string* out) {
  const size_t start = out->size();
  out->resize(start + kBlockHeaderSize);
  std::array<uint32_t, kColumnCount> offsets{};
  const size_t data_start = out->size();
  for (int c = kColumnCount - 1; c >= 0; --c) {
    offsets[static_cast<size_t>(c)] = static_cast<uint32_t>(out->size() - data_start);
    if (IsNumeric(kColumns[static_cast<size_t>(c)].cls)) {
      numbers_[static_cast<size_t>(c)].Finish(out);
    } else {
      text_[static_cast<size_t>(c)].Finish(out);
    }
  }
  uint8_t* header = reinterpret_cast<uint8_t*>(&(*out)[start]);
  EncodeFixed32(header, static_cast<uint32_t>(out->size() - start));
  EncodeFixed32(header + 4, rows_);
  for (int c = 0; c < kColumnCount; ++c) {
    EncodeFixed32(header + 8 + 4 * c, offsets[static_cast<size_t>(c)]);
  }
  rows_ = 0;
}

}  // namespace corvdb::builder
