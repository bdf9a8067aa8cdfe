#include "platform/file_lookup.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "test_support.h"

namespace corvellan {
namespace {

namespace fs = std::filesystem;

class FileLookupTest : public ::testing::Test {
 protected:
  void Touch(const std::string& relative) {
    const fs::path path = fs::path(tmp_.path()) / relative;
    fs::create_directories(path.parent_path());
    test::WriteFile(path, relative);
  }
  std::string Dir() const { return tmp_.path(); }

  test::TempDir tmp_;
  test::ScopedEnv xdg_{"XDG_CONFIG_HOME", tmp_.path()};
};

TEST_F(FileLookupTest, ExactSpellingIsFound) {
  Touch("Corvellan.Cfg");
  EXPECT_EQ(FindFileNoCase(Dir(), "Corvellan.Cfg"), Dir() + "/Corvellan.Cfg");
  EXPECT_EQ(FindFileNoCase(Dir() + "/", "Corvellan.Cfg"), Dir() + "/Corvellan.Cfg");
}

TEST_F(FileLookupTest, EveryComponentMatchesWithoutRegardToCase) {
  Touch("DOCS/zip_NEW.HTM");
  EXPECT_EQ(FindFileNoCase(Dir(), "docs/Zip_new.htm"), Dir() + "/DOCS/zip_NEW.HTM");
  EXPECT_EQ(FindFileNoCase(Dir(), "Docs"), Dir() + "/DOCS");
}

TEST_F(FileLookupTest, ExactSpellingIsPreferredThenTheSmallestName) {
  Touch("a.cfg");
  Touch("A.CFG");
  Touch("A.cfg");
  EXPECT_EQ(FindFileNoCase(Dir(), "a.cfg"), Dir() + "/a.cfg");
  EXPECT_EQ(FindFileNoCase(Dir(), "A.cfg"), Dir() + "/A.cfg");
  EXPECT_EQ(FindFileNoCase(Dir(), "a.CFG"), Dir() + "/A.CFG");
}

TEST_F(FileLookupTest, InnerComponentsMustBeDirectories) {
  Touch("DOCS");  // a plain file that would match "docs"
  Touch("docS/license.htm");
  EXPECT_EQ(FindFileNoCase(Dir(), "docs/LICENSE.htm"), Dir() + "/docS/license.htm");
}

TEST_F(FileLookupTest, OtherCandidatesAreTriedWhenTheFirstLeadsNowhere) {
  Touch("Docs/other.htm");
  Touch("docs/zip_ins.htm");
  EXPECT_EQ(FindFileNoCase(Dir(), "DOCS/Zip_Ins.htm"), Dir() + "/docs/zip_ins.htm");
}

TEST_F(FileLookupTest, MissingFilesAreNotFound) {
  Touch("docs/zip_ins.htm");
  EXPECT_FALSE(FindFileNoCase(Dir(), "docs/zip_api.htm").has_value());
  EXPECT_FALSE(FindFileNoCase(Dir(), "nodir/zip_ins.htm").has_value());
  EXPECT_FALSE(FindFileNoCase(Dir() + "/missing", "x").has_value());
  EXPECT_FALSE(FindFileNoCase(Dir(), "").has_value());
  EXPECT_FALSE(FindFileNoCase(Dir(), "/./").has_value());
}

TEST_F(FileLookupTest, EmptyAndDotComponentsAreSkipped) {
  Touch("docs/a.htm");
  EXPECT_EQ(FindFileNoCase(Dir(), "./DOCS//A.HTM"), Dir() + "/docs/a.htm");
}

TEST_F(FileLookupTest, EmptyDirectoryMeansTheCurrentDirectory) {
  Touch("Sub/File.TXT");
  const fs::path old = fs::current_path();
  fs::current_path(Dir());
  const auto found = FindFileNoCase("", "sub/file.txt");
  fs::current_path(old);
  EXPECT_EQ(found, "Sub/File.TXT");
}

}  // namespace
}  // namespace corvellan
