#include "batch.h"

namespace corvdb {

batch::batch(int index, DecodeBudget* budget) : ioRecord(index), budget_(budget) {}

batch::~batch() = default;

bool batch::findKey(std::string_view key, ZipBits& zipBits, bool exact) const {
  if (indexKind() != 3) return false;
  return keyIndex_.findKey(key, zipBits, exact);
}

const uint8_t* batch::attachIndex(const uint8_t* address, const uint8_t* fileEnd) {
  if (indexKind() != 3) return address;
  return keyIndex_.attach(address, fileEnd, firstLevelK());
}

const uint8_t* batch::attachIndexes(const uint8_t* address, const uint8_t* fileEnd) {
  for (batch* column = head_; column != nullptr && address != nullptr; column = column->next()) {
    address = column->attachIndex(address, fileEnd);
  }
  return address;
}

}  // namespace corvdb
