// SHA-256 (FIPS 180-4), for the checksum file written beside a database
// ("zip.cvd.sha256", the line format of sha256sum: 64 lower-case hex digits,
// two blanks, the file name).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace corvdb::builder {

class Sha256 {
 public:
  Sha256();
  void Update(const void* data, size_t n);
  void Update(std::string_view data) { Update(data.data(), data.size()); }
  // The digest as 64 lower-case hex digits; the object is spent afterwards.
  std::string HexDigest();

 private:
  void Block(const uint8_t* p);

  std::array<uint32_t, 8> h_;
  std::array<uint8_t, 64> buffer_{};
  size_t buffered_ = 0;
  uint64_t length_ = 0;  // bytes
};

// The hex digest of a whole file; false with *error ("PATH: cannot read: why")
// when it cannot be read. `progress`, when set, is called with the bytes read
// so far every 64 MB.
bool Sha256OfFile(const std::string& path, std::string* hex, std::string* error,
                  void (*progress)(uint64_t done, uint64_t total, void* context) = nullptr,
                  void* context = nullptr);

// The text of a checksum file for `file_name`: "HEX  NAME\n".
std::string ChecksumLine(const std::string& hex, const std::string& file_name);

// Reads a checksum line: 64 hex digits, a blank, an optional '*' or blank,
// the file name, an optional line end. False when the text is not one such line.
bool ParseChecksumLine(std::string_view text, std::string* hex, std::string* file_name);

}  // namespace corvdb::builder
