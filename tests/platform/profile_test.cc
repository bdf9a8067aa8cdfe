#include "platform/profile.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/profile_document.h"
#include "test_support.h"

namespace corvellan {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

// Every test gets its own profile directory: $XDG_CONFIG_HOME/corvellan in a
// fresh temporary directory.
class ProfileTest : public ::testing::Test {
 protected:
  std::string ConfigDir() const { return tmp_.path() + "/corvellan"; }
  std::string ConfigFile(const std::string& name) const { return ConfigDir() + "/" + name; }
  // Writes `bytes` as the bare-named profile file `name`.
  void Put(const std::string& name, const std::string& bytes) const {
    fs::create_directories(ConfigDir());
    test::WriteFile(ConfigFile(name), bytes);
  }
  std::string Contents(const std::string& name) const { return test::ReadFile(ConfigFile(name)); }
  // Names in the profile directory other than `name` and its lock file.
  std::vector<std::string> Leftovers(const std::string& name) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(ConfigDir())) {
      const std::string n = entry.path().filename();
      if (n != name && n != name + ".lock") names.push_back(n);
    }
    return names;
  }

  test::TempDir tmp_;
  test::ScopedEnv xdg_{"XDG_CONFIG_HOME", tmp_.path()};
};

// Runs `body` in a child process and returns its exit code (-1 if it did not exit).
template <typename Body>
int RunInChild(Body body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// ---- where profile files live ----

TEST_F(ProfileTest, BareNamesLiveUnderXdgConfigHome) {
  EXPECT_EQ(ProfileDirectory(), ConfigDir());
  EXPECT_EQ(ProfilePath("Corvel.ini"), ConfigDir() + "/Corvel.ini");
}

TEST_F(ProfileTest, NamesWithASlashArePathsUsedAsGiven) {
  EXPECT_EQ(ProfilePath("/etc/x.ini"), "/etc/x.ini");
  EXPECT_EQ(ProfilePath("./x.ini"), "./x.ini");
  EXPECT_EQ(ProfilePath("sub/x.cfg"), "sub/x.cfg");
}

TEST_F(ProfileTest, WithoutXdgConfigHomeTheHomeDirectoryIsUsed) {
  const test::ScopedEnv no_xdg("XDG_CONFIG_HOME", "");
  const test::ScopedEnv home("HOME", tmp_.path());
  EXPECT_EQ(ProfileDirectory(), tmp_.path() + "/.config/corvellan");
}

TEST_F(ProfileTest, RelativeXdgConfigHomeIsIgnored) {
  const test::ScopedEnv relative("XDG_CONFIG_HOME", "relative/dir");
  const test::ScopedEnv home("HOME", tmp_.path());
  EXPECT_EQ(ProfileDirectory(), tmp_.path() + "/.config/corvellan");
}

TEST_F(ProfileTest, WithoutHomeThePasswdEntryIsUsed) {
  const test::ScopedEnv no_xdg("XDG_CONFIG_HOME", "");
  const test::ScopedEnv no_home("HOME", "");
  unsetenv("HOME");
  const passwd* entry = getpwuid(getuid());
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(ProfileDirectory(), std::string(entry->pw_dir) + "/.config/corvellan");
}

// ---- reading ----

TEST_F(ProfileTest, MissingFileSectionOrKeyGivesTheFallback) {
  EXPECT_EQ(GetProfileString("Corvel.ini", "Directories", "Data", "./"), "./");
  Put("Corvel.ini", "[Directories]\nProgram=/opt/\n");
  EXPECT_EQ(GetProfileString("Corvel.ini", "Other", "Data", "./"), "./");
  EXPECT_EQ(GetProfileString("Corvel.ini", "Directories", "Data", "./"), "./");
  EXPECT_EQ(GetProfileString("Corvel.ini", "Directories", "Data"), "");
  EXPECT_EQ(GetProfileString("Corvel.ini", "Directories", "Program", "./"), "/opt/");
}

TEST_F(ProfileTest, SectionsAndKeysMatchWithoutRegardToCase) {
  Put("Corvel.ini", "[General Settings]\nMain Form On Top=Yes\n");
  EXPECT_EQ(GetProfileString("Corvel.ini", "GENERAL SETTINGS", "main form on top"), "Yes");
  EXPECT_EQ(GetProfileString("corvel.ini", "General Settings", "Main Form On Top", "none"), "none")
      << "file names are case-sensitive";
}

TEST_F(ProfileTest, NamesAndValuesAreTrimmedOfBlanksAndTabs) {
  Put("Corvel.ini", "  [ \tLabel Settings\t ]  \n \t Default Label \t=\t  Avery 5160 \t \n");
  EXPECT_EQ(GetProfileString("Corvel.ini", "Label Settings", "Default Label"), "Avery 5160");
  EXPECT_EQ(GetProfileString("Corvel.ini", " Label Settings ", "\tDefault Label "), "Avery 5160");
}

TEST_F(ProfileTest, EnclosingMatchingQuotesAreRemoved) {
  Put("Corvel.ini",
      "[Q]\ndouble=\"  spaced  \"\nsingle= 'x' \nmixed=\"x'\nlone=\"\nempty=\"\"\ninner=a \"b\"\n");
  EXPECT_EQ(GetProfileString("Corvel.ini", "Q", "double"), "  spaced  ");
  EXPECT_EQ(GetProfileString("Corvel.ini", "Q", "single"), "x");
  EXPECT_EQ(GetProfileString("Corvel.ini", "Q", "mixed"), "\"x'");
  EXPECT_EQ(GetProfileString("Corvel.ini", "Q", "lone"), "\"");
  EXPECT_EQ(GetProfileString("Corvel.ini", "Q", "empty", "fallback"), "");
  EXPECT_EQ(GetProfileString("Corvel.ini", "Q", "inner"), "a \"b\"");
}

TEST_F(ProfileTest, CommentLinesAreSkipped) {
  Put("Corvel.ini", ";[S]\n[S]\n;key=commented\n  ; key=indented comment\nkey=real\n; [T]\nlater=1\n");
  EXPECT_EQ(GetProfileString("Corvel.ini", "S", "key"), "real");
  EXPECT_EQ(GetProfileString("Corvel.ini", "S", "later"), "1");
  EXPECT_EQ(GetProfileString("Corvel.ini", "S", ";key", "none"), "none");
}

TEST_F(ProfileTest, FirstOccurrenceOfSectionAndKeyWins) {
  Put("Corvel.ini", "[S]\nkey=first\nKEY=second\n[T]\nkey=t\n[s]\nkey=third\nextra=ignored\n");
  EXPECT_EQ(GetProfileString("Corvel.ini", "S", "key"), "first");
  EXPECT_EQ(GetProfileString("Corvel.ini", "S", "extra", "none"), "none");
}

TEST_F(ProfileTest, ValueIsCutToTheBufferSizeLessOne) {
  const std::string long_value(200, 'x');
  Put("Corvel.ini", "[S]\nlong=" + long_value + "\n");
  EXPECT_EQ(GetProfileString("Corvel.ini", "S", "long", "", 128), std::string(127, 'x'));
  EXPECT_EQ(GetProfileString("Corvel.ini", "S", "long"), long_value);
  EXPECT_EQ(GetProfileString("Corvel.ini", "S", "long", "", 1), "");
  EXPECT_EQ(GetProfileString("Corvel.ini", "S", "long", "", 0), "");
  EXPECT_EQ(GetProfileString("Corvel.ini", "S", "missing", "fallback", 4), "fal");
}

TEST_F(ProfileTest, CrLfFilesAreRead) {
  Put("Corvel.ini", "[Directories]\r\nData=/srv/zip/\r\n\r\n[General Settings]\r\nBarCodeFont=Postnet\r\n");
  EXPECT_EQ(GetProfileString("Corvel.ini", "Directories", "Data"), "/srv/zip/");
  EXPECT_EQ(GetProfileString("Corvel.ini", "General Settings", "BarCodeFont"), "Postnet");
}

TEST_F(ProfileTest, LastLineWithoutLineEndingIsRead) {
  Put("Corvel.ini", "[S]\nkey=value");
  EXPECT_EQ(GetProfileString("Corvel.ini", "S", "key"), "value");
  Put("Corvel.ini", "[S]\r\nkey=value\r");
  EXPECT_EQ(GetProfileString("Corvel.ini", "S", "key"), "value");
}

TEST_F(ProfileTest, LinesWithoutEqualsSignAndEntriesBeforeAnySectionAreIgnored) {
  Put("Corvel.ini", "top=level\n[S]\njust text\nkey\nkey=value=with equals\n");
  EXPECT_EQ(GetProfileString("Corvel.ini", "S", "key"), "value=with equals");
  EXPECT_EQ(GetProfileString("Corvel.ini", "S", "just text", "none"), "none");
  EXPECT_EQ(GetProfileString("Corvel.ini", "S", "top", "none"), "none");
}

TEST_F(ProfileTest, BytesArePassedThroughWithoutConversion) {
  Put("Corvel.ini", "[S\xe9]\nn\xe9=caf\xe9 \x01\xff\nnul=a\0b\n"s);
  EXPECT_EQ(GetProfileString("Corvel.ini", "S\xe9", "n\xe9"), "caf\xe9 \x01\xff");
  EXPECT_EQ(GetProfileString("Corvel.ini", "S\xe9", "nul"), "a\0b"s);
}

TEST_F(ProfileTest, OddFilesNeverCrash) {
  Put("empty.ini", "");
  EXPECT_EQ(GetProfileString("empty.ini", "S", "k", "d"), "d");

  std::string garbage;
  for (int i = 0; i < 70000; ++i) garbage.push_back(static_cast<char>((i * 7919) % 256));
  Put("garbage.ini", garbage);
  (void)GetProfileString("garbage.ini", "S", "k", "d", 128);

  // A line as long as a file may be; beyond the size limit the file is not read.
  const std::string long_line = "[S]\nk=" + std::string(kMaxProfileBytes - 6, 'v');
  Put("long.ini", long_line);
  EXPECT_EQ(GetProfileString("long.ini", "S", "k", "", 128), std::string(127, 'v'));
  Put("long.ini", long_line + std::string(3 << 20, 'v'));
  EXPECT_EQ(GetProfileString("long.ini", "S", "k", "d", 128), "d");

  fs::create_directories(ConfigFile("dir.ini"));
  EXPECT_EQ(GetProfileString("dir.ini", "S", "k", "d"), "d");
}

// ---- writing ----

TEST_F(ProfileTest, WritingCreatesDirectoryFileSectionAndKey) {
  ASSERT_FALSE(fs::exists(ConfigDir()));
  EXPECT_TRUE(WriteProfileString("Corvel.ini", "General Settings", "Whats New", "07 Dec 2026"));
  EXPECT_EQ(Contents("Corvel.ini"), "[General Settings]\nWhats New=07 Dec 2026\n");
  EXPECT_EQ(GetProfileString("Corvel.ini", "general settings", "WHATS NEW"), "07 Dec 2026");
}

TEST_F(ProfileTest, WritingChangesTheFirstKeyInPlaceAndKeepsEverythingElse) {
  const std::string before =
      "; Corvellan settings\n"
      "\n"
      "[General Settings]\n"
      "  MAIN FORM LEFT \t= 100   \n"
      "Main Form Top=200\n"
      "main form left=shadowed\n"
      "\n"
      "  ; label settings follow\n"
      "[Label Settings]\n"
      "Default Label=Avery\n";
  Put("Corvel.ini", before);
  EXPECT_TRUE(WriteProfileString("Corvel.ini", "general settings", "Main Form Left", "1440"));
  std::string expected = before;
  expected.replace(expected.find("100   "), 6, "1440");
  EXPECT_EQ(Contents("Corvel.ini"), expected);
}

TEST_F(ProfileTest, NewKeyGoesAtTheEndOfItsSectionBeforeTrailingBlankLines) {
  Put("Corvel.ini", "[A]\na=1\n\n; about B\n[B]\nb=1\n");
  EXPECT_TRUE(WriteProfileString("Corvel.ini", "A", "Insert Target", "Editor"));
  EXPECT_EQ(Contents("Corvel.ini"), "[A]\na=1\nInsert Target=Editor\n\n; about B\n[B]\nb=1\n");
}

TEST_F(ProfileTest, NewSectionGoesAtTheEndOfTheFile) {
  Put("Corvel.ini", "[A]\na=1\n");
  EXPECT_TRUE(WriteProfileString("Corvel.ini", "DDE Settings", "DDE Topic", "/address"));
  EXPECT_EQ(Contents("Corvel.ini"), "[A]\na=1\n\n[DDE Settings]\nDDE Topic=/address\n");
}

TEST_F(ProfileTest, CrLfStyleIsKept) {
  Put("Corvel.ini", "[A]\r\na=1\r\n\r\n[B]\r\nb=1\r\n");
  EXPECT_TRUE(WriteProfileString("Corvel.ini", "A", "a", "2"));
  EXPECT_TRUE(WriteProfileString("Corvel.ini", "A", "n", "3"));
  EXPECT_TRUE(WriteProfileString("Corvel.ini", "C", "c", "4"));
  EXPECT_EQ(Contents("Corvel.ini"), "[A]\r\na=2\r\nn=3\r\n\r\n[B]\r\nb=1\r\n\r\n[C]\r\nc=4\r\n");
}

TEST_F(ProfileTest, MissingFinalLineEndingIsAddedBeforeAppending) {
  Put("Corvel.ini", "[A]\na=1");
  EXPECT_TRUE(WriteProfileString("Corvel.ini", "A", "b", "2"));
  EXPECT_EQ(Contents("Corvel.ini"), "[A]\na=1\nb=2\n");
}

TEST_F(ProfileTest, ValueIsCutAtALineBreak) {
  EXPECT_TRUE(WriteProfileString("Corvel.ini", "S", "lf", "first\nsecond"));
  EXPECT_TRUE(WriteProfileString("Corvel.ini", "S", "cr", "one\rtwo"));
  EXPECT_EQ(Contents("Corvel.ini"), "[S]\nlf=first\ncr=one\n");
}

TEST_F(ProfileTest, WrittenValuesReadBack) {
  for (const std::string& value : {"Yes"s, "1440"s, ""s, "C:/some path/"s, "a=b;c"s, "caf\xe9"s}) {
    ASSERT_TRUE(WriteProfileString("Corvel.ini", "General Settings", "Key", value));
    EXPECT_EQ(GetProfileString("Corvel.ini", "General Settings", "Key", "fallback"), value);
  }
}

TEST_F(ProfileTest, UnwritableNamesAreRefused) {
  Put("Corvel.ini", "[S]\n");
  EXPECT_FALSE(WriteProfileString("Corvel.ini", "S", "", "v"));
  EXPECT_FALSE(WriteProfileString("Corvel.ini", "S", "a=b", "v"));
  EXPECT_FALSE(WriteProfileString("Corvel.ini", "S", ";k", "v"));
  EXPECT_FALSE(WriteProfileString("Corvel.ini", "", "k", "v"));
  EXPECT_FALSE(WriteProfileString("Corvel.ini", "S\nT", "k", "v"));
  EXPECT_EQ(Contents("Corvel.ini"), "[S]\n");
}

TEST_F(ProfileTest, WritingReplacesTheFileAndLeavesNoTemporaryFiles) {
  Put("Corvel.ini", "[S]\nk=1\n");
  struct stat before {};
  ASSERT_EQ(stat(ConfigFile("Corvel.ini").c_str(), &before), 0);
  EXPECT_TRUE(WriteProfileString("Corvel.ini", "S", "k", "2"));
  struct stat after {};
  ASSERT_EQ(stat(ConfigFile("Corvel.ini").c_str(), &after), 0);
  EXPECT_NE(before.st_ino, after.st_ino) << "a new file is renamed into place";
  EXPECT_TRUE(Leftovers("Corvel.ini").empty());
}

TEST_F(ProfileTest, WritingTheSameValueAgainLeavesTheFileAlone) {
  Put("Corvel.ini", "[S]\nk=1\n");
  struct stat before {};
  ASSERT_EQ(stat(ConfigFile("Corvel.ini").c_str(), &before), 0);
  EXPECT_TRUE(WriteProfileString("Corvel.ini", "s", "K", "1"));
  struct stat after {};
  ASSERT_EQ(stat(ConfigFile("Corvel.ini").c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);
}

TEST_F(ProfileTest, WritingKeepsThePermissionBits) {
  Put("Corvel.ini", "[S]\nk=1\n");
  ASSERT_EQ(chmod(ConfigFile("Corvel.ini").c_str(), 0640), 0);
  EXPECT_TRUE(WriteProfileString("Corvel.ini", "S", "k", "2"));
  struct stat st {};
  ASSERT_EQ(stat(ConfigFile("Corvel.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(ProfileTest, WritingThroughASymbolicLinkUpdatesItsTarget) {
  fs::create_directories(ConfigDir());
  test::WriteFile(tmp_.file("real.ini"), "[S]\nk=1\n");
  fs::create_symlink(tmp_.file("real.ini"), ConfigFile("Corvel.ini"));
  EXPECT_TRUE(WriteProfileString("Corvel.ini", "S", "k", "2"));
  EXPECT_TRUE(fs::is_symlink(ConfigFile("Corvel.ini")));
  EXPECT_EQ(test::ReadFile(tmp_.file("real.ini")), "[S]\nk=2\n");
}

TEST_F(ProfileTest, NamesWithASlashAreWrittenWhereTheyPoint) {
  const std::string path = tmp_.file("program/Corvellan.Cfg");
  EXPECT_TRUE(WriteProfileString(path, "Fields", "Order", "1,2,3"));
  EXPECT_EQ(test::ReadFile(path), "[Fields]\nOrder=1,2,3\n");
  EXPECT_EQ(GetProfileString(path, "fields", "order"), "1,2,3");
  EXPECT_FALSE(fs::exists(ConfigDir()));
}

// ---- concurrent writers ----

TEST_F(ProfileTest, ConcurrentWritersInTwoProcessesKeepAllTheirKeys) {
  constexpr int kKeys = 200;
  Put("Corvel.ini", "; shared\n[Shared]\nbefore=1\n");
  std::vector<pid_t> children;
  for (int writer = 0; writer < 2; ++writer) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int failures = 0;
      for (int i = 0; i < kKeys; ++i) {
        const std::string n = std::to_string(writer) + "-" + std::to_string(i);
        if (!WriteProfileString("Corvel.ini", i % 2 ? "Shared" : "Writer " + std::to_string(writer),
                                "key " + n, "value " + n)) {
          ++failures;
        }
      }
      _exit(failures == 0 ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (const pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  const ProfileDocument doc(Contents("Corvel.ini"));
  for (int writer = 0; writer < 2; ++writer) {
    for (int i = 0; i < kKeys; ++i) {
      const std::string n = std::to_string(writer) + "-" + std::to_string(i);
      const std::string section = i % 2 ? "Shared" : "Writer " + std::to_string(writer);
      EXPECT_EQ(doc.Find(section, "key " + n).value_or("missing"), "value " + n);
    }
  }
  EXPECT_EQ(doc.Find("Shared", "before").value_or("missing"), "1");
  EXPECT_EQ(doc.lines().size(), 3u + 2 * kKeys + 2 * 2);  // plus a blank line and a header per writer
  EXPECT_TRUE(Leftovers("Corvel.ini").empty());
  EXPECT_FALSE(fs::exists(ConfigFile("Corvel.ini.lock"))) << "each writer removes the lock file it made";
}

TEST_F(ProfileTest, ConcurrentWritersInTwoThreadsKeepAllTheirKeys) {
  constexpr int kKeys = 100;
  std::vector<std::thread> threads;
  for (int writer = 0; writer < 2; ++writer) {
    threads.emplace_back([writer] {
      for (int i = 0; i < kKeys; ++i) {
        const std::string n = std::to_string(writer) + "-" + std::to_string(i);
        EXPECT_TRUE(WriteProfileString("Corvel.ini", "S", "k" + n, n));
      }
    });
  }
  for (std::thread& t : threads) t.join();
  const ProfileDocument doc(Contents("Corvel.ini"));
  for (int writer = 0; writer < 2; ++writer) {
    for (int i = 0; i < kKeys; ++i) {
      const std::string n = std::to_string(writer) + "-" + std::to_string(i);
      EXPECT_EQ(doc.Find("S", "k" + n).value_or("missing"), n);
    }
  }
  EXPECT_FALSE(fs::exists(ConfigFile("Corvel.ini.lock")));
}

// Four processes of two threads each write their own keys of one file; every
// write takes the lock file, and its last holder removes it while others wait
// on it: none may then work under a lock file that is no longer in place.
TEST_F(ProfileTest, WritersRacingForARemovedLockFileLoseNoKey) {
  constexpr int kProcesses = 4, kThreads = 2, kKeys = 60;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      std::atomic<int> failures{0};
      std::vector<std::thread> threads;
      for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
          for (int i = 0; i < kKeys; ++i) {
            const std::string n = std::to_string(p) + "-" + std::to_string(t) + "-" + std::to_string(i);
            if (!WriteProfileString("Corvel.ini", "S", "k" + n, n)) ++failures;
          }
        });
      }
      for (std::thread& thread : threads) thread.join();
      _exit(failures == 0 ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (const pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const ProfileDocument doc(Contents("Corvel.ini"));
  int missing = 0;
  for (int p = 0; p < kProcesses; ++p) {
    for (int t = 0; t < kThreads; ++t) {
      for (int i = 0; i < kKeys; ++i) {
        const std::string n = std::to_string(p) + "-" + std::to_string(t) + "-" + std::to_string(i);
        missing += doc.Find("S", "k" + n).value_or("missing") != n;
      }
    }
  }
  EXPECT_EQ(missing, 0);
  EXPECT_EQ(doc.lines().size(), 1u + kProcesses * kThreads * kKeys);
  EXPECT_FALSE(fs::exists(ConfigFile("Corvel.ini.lock")));
  EXPECT_TRUE(Leftovers("Corvel.ini").empty());
}

// ---- lock files ----

TEST_F(ProfileTest, NoLockFileStaysAfterAWrite) {
  const std::string cfg = tmp_.file("program/Corvellan.Cfg");
  struct Case {
    std::string file;  // as passed
    std::string path;  // where it lands
  } cases[] = {{"Corvel.ini", ConfigFile("Corvel.ini")}, {cfg, cfg}};
  for (const Case& c : cases) {
    EXPECT_TRUE(WriteProfileString(c.file, "S", "k", "1")) << c.file;     // a new file
    EXPECT_TRUE(WriteProfileString(c.file, "S", "k", "2")) << c.file;     // a changed value
    EXPECT_TRUE(WriteProfileString(c.file, "S", "k", "2")) << c.file;     // nothing to change
    EXPECT_FALSE(WriteProfileString(c.file, "", "k", "2")) << c.file;     // refused before locking
    EXPECT_FALSE(fs::exists(c.path + ".lock")) << c.path;
    EXPECT_EQ(test::ReadFile(c.path), "[S]\nk=2\n");
  }
  // A lock file left by an earlier version is taken over and removed.
  test::WriteFile(ConfigFile("Corvel.ini.lock"), "");
  EXPECT_TRUE(WriteProfileString("Corvel.ini", "S", "k", "3"));
  EXPECT_FALSE(fs::exists(ConfigFile("Corvel.ini.lock")));
}

// ---- files too large or unreadable ----

// Collects the notices of the profile functions for the test's lifetime.
class ProfileNotices {
 public:
  ProfileNotices() {
    ForgetProfileNoticesForTesting();
    Received().clear();
    previous_ = SetProfileNoticeHandler([](const std::string& message) { Received().push_back(message); });
  }
  ~ProfileNotices() {
    SetProfileNoticeHandler(previous_);
    ForgetProfileNoticesForTesting();
  }
  static std::vector<std::string>& Received() {
    static std::vector<std::string> received;
    return received;
  }

 private:
  ProfileNoticeHandler previous_;
};

TEST_F(ProfileTest, FilesBeyondTheSizeLimitAreNeitherUsedNorRewritten) {
  const ProfileNotices notices;
  const std::string head = "[Directories]\nData=/srv/zip/\n;";
  // At the limit the file is used; one byte more and it is not.
  Put("Corvel.ini", head + std::string(kMaxProfileBytes - head.size() - 1, 'x') + "\n");
  EXPECT_EQ(GetProfileString("Corvel.ini", "Directories", "Data"), "/srv/zip/");
  EXPECT_EQ(ProfileFileProblem("Corvel.ini"), "");
  EXPECT_TRUE(WriteProfileString("Corvel.ini", "Directories", "Data", "/srv/new/"));
  EXPECT_TRUE(notices.Received().empty());

  struct Case {
    const char* name;
    std::size_t size;
  } cases[] = {{"one byte over", kMaxProfileBytes + 1}, {"100 MB, sparse", 100u << 20}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ForgetProfileNoticesForTesting();
    notices.Received().clear();
    Put("Corvel.ini", head);
    ASSERT_EQ(truncate(ConfigFile("Corvel.ini").c_str(), static_cast<off_t>(c.size)), 0);
    struct stat before {};
    ASSERT_EQ(stat(ConfigFile("Corvel.ini").c_str(), &before), 0);
    EXPECT_EQ(GetProfileString("Corvel.ini", "Directories", "Data", "fallback"), "fallback");
    EXPECT_EQ(GetProfileString("Corvel.ini", "Directories", "Data", "fallback"), "fallback");
    EXPECT_FALSE(WriteProfileString("Corvel.ini", "Directories", "Data", "/srv/new/"));
    struct stat after {};
    ASSERT_EQ(stat(ConfigFile("Corvel.ini").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "the file was replaced";
    EXPECT_EQ(after.st_size, static_cast<off_t>(c.size));
    EXPECT_TRUE(Leftovers("Corvel.ini").empty());
    EXPECT_FALSE(fs::exists(ConfigFile("Corvel.ini.lock")));
    const std::string size = std::to_string(c.size);
    EXPECT_EQ(ProfileFileProblem("Corvel.ini"),
              "it holds " + size + " bytes, more than the 1 MiB (1048576 bytes) a settings file may hold");
    // Told once for all the reads and writes of the file.
    ASSERT_EQ(notices.Received().size(), 1u);
    EXPECT_EQ(notices.Received()[0], "the settings file " + ConfigFile("Corvel.ini") + " cannot be read (it holds " +
                                         size + " bytes, more than the 1 MiB (1048576 bytes) a settings file may "
                                         "hold): its settings are not used and it is left as it is, nothing is "
                                         "saved to it");
  }
}

TEST_F(ProfileTest, UnreadableFilesAreNeitherUsedNorRewritten) {
  const ProfileNotices notices;
  Put("Corvel.ini", "[S]\nk=1\n");
  // Writable but not readable for its user: a write would lose its contents.
  ASSERT_EQ(chmod(tmp_.path().c_str(), 0755), 0);
  ASSERT_EQ(chmod(ConfigDir().c_str(), 0777), 0);
  ASSERT_EQ(chmod(ConfigFile("Corvel.ini").c_str(), 0222), 0);
  const auto use = [&] {  // 0 when neither used nor rewritten, and told once
    if (GetProfileString("Corvel.ini", "S", "k", "none") != "none") return 3;
    if (WriteProfileString("Corvel.ini", "S", "k", "2")) return 4;
    if (ProfileFileProblem("Corvel.ini") != "Permission denied") return 5;
    return notices.Received().size() == 1 ? 0 : 6;
  };
  // Root reads every file: as root, try it as user "nobody".
  EXPECT_EQ(geteuid() != 0 ? use() : RunInChild([&] {
    if (setgid(65534) != 0 || setuid(65534) != 0) return 2;
    return use();
  }),
            0);
  ASSERT_EQ(chmod(ConfigFile("Corvel.ini").c_str(), 0600), 0);
  EXPECT_EQ(Contents("Corvel.ini"), "[S]\nk=1\n");
  EXPECT_TRUE(Leftovers("Corvel.ini").empty());
}

// ---- write failures ----

// Runs the write `body` so that the profile directory is not writable for it:
// as root in a child process that has dropped to user "nobody" (root may write
// anywhere), otherwise here, with the directory made read-only for the call.
// Gives 0 when the write failed, 1 when it succeeded, else a setup failure.
template <typename Body>
int WriteInUnwritableDirectory(const std::string& dir, Body body) {
  if (geteuid() != 0) {
    if (chmod(dir.c_str(), 0555) != 0) return 2;
    const bool written = body();
    chmod(dir.c_str(), 0755);
    return written ? 1 : 0;
  }
  return RunInChild([&] {
    if (setgid(65534) != 0 || setuid(65534) != 0) return 2;
    return body() ? 1 : 0;
  });
}

TEST_F(ProfileTest, WriteFailsInAnUnwritableDirectoryAndLeavesTheFileUnchanged) {
  const std::string before = "[S]\r\nk=1\r\n";
  Put("Corvel.ini", before);
  const auto write = [] { return WriteProfileString("Corvel.ini", "S", "k", "2"); };
  // Everything readable for the user that tries to write, nothing writable.
  ASSERT_EQ(chmod(tmp_.path().c_str(), 0755), 0);
  ASSERT_EQ(chmod(ConfigDir().c_str(), 0755), 0);
  ASSERT_EQ(chmod(ConfigFile("Corvel.ini").c_str(), 0644), 0);
  EXPECT_EQ(WriteInUnwritableDirectory(ConfigDir(), write), 0);
  EXPECT_EQ(Contents("Corvel.ini"), before);

  // With the lock file already there the write gets as far as the temporary file.
  test::WriteFile(ConfigFile("Corvel.ini.lock"), "");
  ASSERT_EQ(chmod(ConfigFile("Corvel.ini.lock").c_str(), 0644), 0);
  EXPECT_EQ(WriteInUnwritableDirectory(ConfigDir(), write), 0);
  EXPECT_EQ(Contents("Corvel.ini"), before);
  EXPECT_TRUE(Leftovers("Corvel.ini").empty());
}

TEST_F(ProfileTest, WriteFailsWhenTheDiskRefusesTheDataAndLeavesTheFileUnchanged) {
  // A file size limit makes write() fail part-way through the temporary file.
  const std::string before = "[S]\nk=1\n" + std::string(4000, ';') + "\n";
  Put("Corvel.ini", before);
  const int code = RunInChild([] {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{1024, 1024};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
    return WriteProfileString("Corvel.ini", "S", "k", "2") ? 1 : 0;
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(Contents("Corvel.ini"), before);
  EXPECT_TRUE(Leftovers("Corvel.ini").empty());
}

TEST_F(ProfileTest, WriteFailsWhenTheDirectoryCannotBeCreated) {
  test::WriteFile(tmp_.file("plain"), "not a directory");
  EXPECT_FALSE(WriteProfileString(tmp_.file("plain/Corvel.ini"), "S", "k", "v"));
  EXPECT_EQ(test::ReadFile(tmp_.file("plain")), "not a directory");
}

TEST_F(ProfileTest, WriteFailsWhenTheFileIsNotARegularFile) {
  fs::create_directories(ConfigFile("Corvel.ini"));
  EXPECT_FALSE(WriteProfileString("Corvel.ini", "S", "k", "v"));
  EXPECT_TRUE(fs::is_directory(ConfigFile("Corvel.ini")));
}

// ---- value helpers ----

TEST(ProfileValues, YesIsAFirstLetterYInEitherCase) {
  EXPECT_TRUE(ProfileYes("Yes"));
  EXPECT_TRUE(ProfileYes("yes"));
  EXPECT_TRUE(ProfileYes("Y"));
  EXPECT_TRUE(ProfileYes("ypsilon"));
  EXPECT_FALSE(ProfileYes("No"));
  EXPECT_FALSE(ProfileYes("N"));
  EXPECT_FALSE(ProfileYes(""));
  EXPECT_FALSE(ProfileYes(" Yes"));
}

TEST(ProfileValues, NumbersAreTheLongestNumericPrefix) {
  EXPECT_EQ(ProfileNumber("12pt"), 12);
  EXPECT_EQ(ProfileNumber(""), 0);
  EXPECT_EQ(ProfileNumber("abc"), 0);
  EXPECT_EQ(ProfileNumber("1440"), 1440);
  EXPECT_EQ(ProfileNumber(" \t-42 \t"), -42);
  EXPECT_EQ(ProfileNumber("+7x"), 7);
  EXPECT_EQ(ProfileNumber("-"), 0);
  EXPECT_EQ(ProfileNumber("- 5"), 0);
  EXPECT_EQ(ProfileNumber("1 2"), 1);
  EXPECT_EQ(ProfileNumber("007"), 7);
  EXPECT_EQ(ProfileNumber("3.9"), 3);
}

TEST(ProfileValues, NumbersSaturateInsteadOfOverflowing) {
  EXPECT_EQ(ProfileNumber("99999999999999999999999999"), LONG_MAX);
  EXPECT_EQ(ProfileNumber("-99999999999999999999999999"), LONG_MIN);
  EXPECT_EQ(ProfileNumber(std::to_string(LONG_MAX)), LONG_MAX);
  EXPECT_EQ(ProfileNumber(std::to_string(LONG_MIN)), LONG_MIN);
  EXPECT_EQ(ProfileNumber("9223372036854775808"), LONG_MAX);
}

}  // namespace
}  // namespace corvellan
