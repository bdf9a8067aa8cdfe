// SHA-256 of the checksum file written beside a database.
#include <gtest/gtest.h>

#include <string>

#include "builder/sha256.h"
#include "test_support.h"

namespace corvdb::builder {
namespace {

std::string Hex(const std::string& data, size_t piece = 0) {
  Sha256 sha;
  if (piece == 0) {
    sha.Update(data);
  } else {
    for (size_t i = 0; i < data.size(); i += piece) sha.Update(std::string_view(data).substr(i, piece));
  }
  return sha.HexDigest();
}

TEST(Sha256, KnownDigestsWhateverThePiecesFedIn) {
  EXPECT_EQ(Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  const std::string two_blocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";  // 56 bytes: padding spills
  EXPECT_EQ(Hex(two_blocks), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  const std::string million(1000000, 'a');
  for (size_t piece : {0, 1, 63, 64, 65, 4096}) {
    EXPECT_EQ(Hex(million, piece), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0") << piece;
  }
}

TEST(Sha256, FilesAndChecksumLines) {
  corvellan::test::TempDir dir;
  corvellan::test::WriteFile(dir.file("f"), "abc");
  std::string hex, error;
  ASSERT_TRUE(Sha256OfFile(dir.file("f"), &hex, &error)) << error;
  EXPECT_EQ(hex, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_FALSE(Sha256OfFile(dir.file("none"), &hex, &error));
  EXPECT_EQ(error, dir.file("none") + ": cannot read: No such file or directory");

  const std::string line = ChecksumLine(hex, "zip.cvd");
  EXPECT_EQ(line, hex + "  zip.cvd\n");
  std::string parsed, name;
  ASSERT_TRUE(ParseChecksumLine(line, &parsed, &name));
  EXPECT_EQ(parsed, hex);
  EXPECT_EQ(name, "zip.cvd");
  std::string upper = hex;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  ASSERT_TRUE(ParseChecksumLine(upper + " *zip.cvd\r\n", &parsed, &name));  // binary-mode marker, CR LF
  EXPECT_EQ(parsed, hex);
  for (const std::string& bad : {std::string(""), hex, hex + "  ", hex.substr(1) + "   zip.cvd", "x" + hex.substr(1) + "  zip.cvd",
                                 hex + "\tzip.cvd", line + line}) {
    EXPECT_FALSE(ParseChecksumLine(bad, &parsed, &name)) << bad;
  }
}

}  // namespace
}  // namespace corvdb::builder
