#include "core/address_record.h"

#include <algorithm>

#include "corvdb.h"

namespace corvellan {

static_assert(kAddressRecordSize == CORVDB_ADDRESS_RECORD_SIZE);
static_assert(kSearchRequestSize == CORVDB_SEARCH_REQUEST_SIZE);
static_assert(kZip4RecordSize == CORVDB_ZIP4_RECORD_SIZE);
static_assert(kCityStateRecordSize == CORVDB_CITYSTATE_RECORD_SIZE);

namespace {

// The part of `field` that lies inside a record of `size` bytes.
bool Clip(int size, FieldSpec field, int* begin, int* end) {
  *begin = std::clamp(field.offset, 0, size);
  *end = std::clamp(field.offset + std::max(field.length, 0), *begin, size);
  return *end > *begin;
}

}  // namespace

QString DecodeField(const char* bytes, int size, FieldSpec field) {
  int begin = 0;
  int end = 0;
  if (!Clip(size, field, &begin, &end)) return {};
  QString text(end - begin, QLatin1Char(' '));
  for (int i = begin; i < end; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte != 0) text[i - begin] = QChar(static_cast<char16_t>(byte));
  }
  return text;
}

void EncodeField(char* bytes, int size, FieldSpec field, const QString& text) {
  int begin = 0;
  int end = 0;
  if (!Clip(size, field, &begin, &end)) return;
  for (int i = begin; i < end; ++i) {
    const qsizetype at = i - begin;
    char byte = ' ';
    if (at < text.size()) {
      const char16_t unit = text.at(at).unicode();
      if (unit != 0) byte = unit < 256 ? static_cast<char>(unit) : '?';
    }
    bytes[i] = byte;
  }
}

}  // namespace corvellan
