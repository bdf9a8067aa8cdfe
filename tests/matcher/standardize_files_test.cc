// corvdb standardize against hostile files, run as a program: outputs that
// are inputs under another name, links, FIFOs, standard streams, two runs
// writing the same result, signals, oversized records and lists in the wrong
// encoding. Nothing may be lost, followed where it should not be, or mixed.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "search_fixture.h"
#include "test_support.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using corvdb::search_test::Zip4Fields;
using corvellan::test::BinDir;
using corvellan::test::FileExists;
using corvellan::test::ReadFile;
using corvellan::test::RunCommand;
using corvellan::test::TempDir;
using corvellan::test::WriteFile;

constexpr const char* kAppended =
    "std_delivery_line,std_city,std_state,std_zip4,std_record_type,match_code,match_reason\r\n";

// A list of `rows` records that all match exactly, and the result it gives.
std::string List(int rows, int first = 1) {
  std::string s;
  for (int i = first; i < first + rows; ++i) s += std::to_string(i) + ",\"102 main st, springfield il\"\n";
  return s;
}
std::string Result(int rows) {
  std::string s = std::string("id,address,") + kAppended;
  for (int i = 1; i <= rows; ++i)
    s += std::to_string(i) + ",\"102 main st, springfield il\",102 MAIN ST,SPRINGFIELD,IL,62704-1001,S,exact,\r\n";
  return s;
}
const std::string kHeader = "id,address\n";

int Wait(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

// Writes `bytes` to a descriptor (a FIFO's writing end).
void Put(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    ASSERT_GT(n, 0);
    done += static_cast<std::size_t>(n);
  }
}

class StandardizeFiles : public corvdb::search_test::SearchDatabase {
 protected:
  void SetUp() override {
    Zip4Fields main;
    main.zip = "62704";
    main.state = "IL";
    main.addon_low = main.addon_high = "1001";
    Build({main});
  }

  std::vector<std::string> Args(const std::string& in, const std::string& out) const {
    return {BinDir() + "/corvdb", "standardize", "--in", in, "--out", out, "--data", dir_.path()};
  }
  // A shell command line running the tool (paths hold no quotes).
  std::string Shell(const std::string& in, const std::string& out) const {
    std::string line = "exec";
    for (const std::string& a : Args(in, out)) line += " '" + a + "'";
    return line;
  }

  // Starts the tool without waiting; its standard error goes to `err`.
  pid_t Start(const std::string& in, const std::string& out, const std::string& err) {
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const auto argv = Args(in, out);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, args[0], &fa, nullptr, args.data(), environ), 0);
    posix_spawn_file_actions_destroy(&fa);
    return pid;
  }

  // Names in the work folder, sorted.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(work_.path())) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::size_t Temporaries() const {
    const auto names = Entries();
    return static_cast<std::size_t>(
        std::count_if(names.begin(), names.end(), [](const std::string& n) { return n.find(".tmp-") != n.npos; }));
  }
  // Waits (at most a minute) until `count` temporary results exist.
  bool AwaitTemporaries(std::size_t count) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
      if (Temporaries() >= count) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }

  TempDir work_;
};

TEST_F(StandardizeFiles, AnOutputThatIsAnInputUnderAnyNameIsRefused) {
  const std::string in = work_.file("list.csv");
  const std::string list = kHeader + List(3);
  WriteFile(in, list);
  ASSERT_EQ(link(in.c_str(), work_.file("hard.csv").c_str()), 0);
  ASSERT_EQ(symlink(in.c_str(), work_.file("soft.csv").c_str()), 0);
  ASSERT_EQ(symlink(dir_.file("zip.cvd").c_str(), work_.file("db-link").c_str()), 0);
  // As /dev/stdout is, but here: a tool that renamed over it would destroy
  // only this link, not the system's.
  ASSERT_EQ(symlink("/proc/self/fd/1", work_.file("stdout").c_str()), 0);
  const std::string database = ReadFile(dir_.file("zip.cvd"));
  struct Case {
    std::vector<std::string> argv;
    std::string says;
  };
  const Case cases[] = {
      {Args(in, in), "is the input list"},
      {Args(in, work_.file("hard.csv")), "is the input list"},
      {Args(in, work_.file("soft.csv")), "is the input list"},
      {Args(work_.file("soft.csv"), work_.file("hard.csv")), "is the input list"},
      {Args(in, dir_.file("zip.cvd")), "is the database"},
      {Args(in, work_.file("db-link")), "is the database"},
      // Standard input or output that is the list itself.
      {{"/bin/sh", "-c", Shell("-", in) + " < '" + in + "'"}, "is the input list"},
      {{"/bin/sh", "-c", Shell(in, "-") + " >> '" + in + "'"}, "is the input list"},
      {{"/bin/sh", "-c", Shell(in, work_.file("stdout")) + " >> '" + in + "'"}, "is the input list"},
  };
  for (const Case& c : cases) {
    const auto r = RunCommand(c.argv);
    EXPECT_EQ(r.exit_code, 2) << c.argv.back();
    EXPECT_NE(r.err.find(c.says + " "), std::string::npos) << c.argv.back() << ": " << r.err;
    EXPECT_NE(r.err.find("nothing was written"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(in), list) << c.argv.back();
    EXPECT_EQ(Entries(), (std::vector<std::string>{"db-link", "hard.csv", "list.csv", "soft.csv", "stdout"}));
  }
  EXPECT_EQ(ReadFile(dir_.file("zip.cvd")), database);

  // A list named like an old temporary result of the output is only read.
  WriteFile(work_.file("res.csv.part"), list);
  const auto r = RunCommand(Args(work_.file("res.csv.part"), work_.file("res.csv")));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(ReadFile(work_.file("res.csv.part")), list);
  EXPECT_EQ(ReadFile(work_.file("res.csv")), Result(3));
}

TEST_F(StandardizeFiles, AReplacedResultKeepsItsModeAndItsLinks) {
  const std::string in = work_.file("list.csv");
  WriteFile(in, kHeader + List(2));

  // A private list stays private; a new one follows the umask.
  const std::string priv = work_.file("private.csv");
  WriteFile(priv, "old");
  ASSERT_EQ(chmod(priv.c_str(), 0600), 0);
  ASSERT_EQ(RunCommand(Args(in, priv)).exit_code, 0);
  struct stat st {};
  ASSERT_EQ(stat(priv.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(ReadFile(priv), Result(2));
  const mode_t mask = umask(0);
  umask(mask);
  ASSERT_EQ(RunCommand(Args(in, work_.file("new.csv"))).exit_code, 0);
  ASSERT_EQ(stat(work_.file("new.csv").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);

  // A link keeps pointing where it did; the file it names gets the result,
  // also when it does not exist yet.
  fs::create_directory(work_.file("lists"));
  WriteFile(work_.file("lists/target.csv"), "old");
  ASSERT_EQ(symlink("lists/target.csv", work_.file("link.csv").c_str()), 0);
  ASSERT_EQ(symlink("lists/later.csv", work_.file("dangling.csv").c_str()), 0);
  for (const char* name : {"link.csv", "dangling.csv"}) {
    const auto r = RunCommand(Args(in, work_.file(name)));
    ASSERT_EQ(r.exit_code, 0) << r.err;
    ASSERT_TRUE(fs::is_symlink(work_.file(name))) << name;
    EXPECT_EQ(ReadFile(work_.file(name)), Result(2)) << name;
  }
  EXPECT_EQ(fs::read_symlink(work_.file("link.csv")), "lists/target.csv");

  // A link planted where a careless tool would put its temporary file is
  // left alone, and so is what it points at.
  WriteFile(work_.file("victim.txt"), "keep me");
  ASSERT_EQ(symlink("victim.txt", work_.file("r.csv.part").c_str()), 0);
  ASSERT_EQ(RunCommand(Args(in, work_.file("r.csv"))).exit_code, 0);
  EXPECT_FALSE(fs::is_symlink(work_.file("r.csv")));
  EXPECT_EQ(ReadFile(work_.file("r.csv")), Result(2));
  EXPECT_EQ(ReadFile(work_.file("victim.txt")), "keep me");

  // A folder is no result.
  const auto folder = RunCommand(Args(in, work_.file("lists")));
  EXPECT_EQ(folder.exit_code, 2);
  EXPECT_NE(folder.err.find("is a folder"), std::string::npos) << folder.err;
  const auto missing = RunCommand(Args(in, work_.file("nowhere/r.csv")));
  EXPECT_EQ(missing.exit_code, 2);
  EXPECT_NE(missing.err.find("the folder " + work_.file("nowhere") + " does not exist"), std::string::npos)
      << missing.err;
  EXPECT_EQ(Temporaries(), 0u);
}

TEST_F(StandardizeFiles, StreamsAndFifosAreWrittenAsTheyAre) {
  const std::string in = work_.file("list.csv");
  WriteFile(in, kHeader + List(3));
  // Standard output, by "-", by name and through a link as /dev/stdout is
  // one (here a regular file: it must be written, not renamed over).
  ASSERT_EQ(symlink("/proc/self/fd/1", work_.file("stdout").c_str()), 0);
  for (const std::string& out : {std::string("-"), std::string("/dev/fd/1"), work_.file("stdout")}) {
    const auto r = RunCommand(Args(in, out));
    ASSERT_EQ(r.exit_code, 0) << out << ": " << r.err;
    EXPECT_EQ(r.out, Result(3)) << out;
  }
  EXPECT_EQ(fs::read_symlink(work_.file("stdout")), "/proc/self/fd/1");

  const std::string fifo = work_.file("out.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string got;
  std::thread reader([&] { got = ReadFile(fifo); });
  const auto r = RunCommand(Args(in, fifo));
  reader.join();
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(got, Result(3));
  EXPECT_TRUE(fs::is_fifo(fifo));

  const auto null = RunCommand(Args(in, "/dev/null"));
  EXPECT_EQ(null.exit_code, 0) << null.err;
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_EQ(Entries(), (std::vector<std::string>{"list.csv", "out.fifo", "stdout"}));
}

TEST_F(StandardizeFiles, ListsAreReadFromPipesAndFifos) {
  const std::string in = work_.file("list.csv");
  const std::string out = work_.file("out.csv");
  WriteFile(in, kHeader + List(5000));
  for (const std::string& name : {std::string("-"), std::string("/dev/stdin")}) {
    const auto r = RunCommand({"/bin/sh", "-c", "cat '" + in + "' | " + Shell(name, out)});
    ASSERT_EQ(r.exit_code, 0) << name << ": " << r.err;
    EXPECT_EQ(ReadFile(out), Result(5000)) << name;
    // Progress without a total counts records.
    EXPECT_NE(r.err.find("\rcorvdb standardize: 5,000 records\n"), std::string::npos) << r.err;
    fs::remove(out);
  }
  const std::string fifo = work_.file("in.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&] { WriteFile(fifo, kHeader + List(5000)); });
  const auto r = RunCommand(Args(fifo, out));
  writer.join();
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(ReadFile(out), Result(5000));
  // A regular file shows a share.
  const auto file = RunCommand(Args(in, out));
  EXPECT_NE(file.err.find("5,000 records (100%)"), std::string::npos) << file.err;
}

TEST_F(StandardizeFiles, InputMistakesAreNamed) {
  const std::string out = work_.file("out.csv");
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("address\r\n102 main st, springfield il\r\n")) utf16 += std::string(1, c) + '\0';
  struct Case {
    std::string list;
    std::string says;
  };
  const Case cases[] = {
      {"id,address\r1,102 main st springfield il\r2,5 oak st\r", "lines end in CR alone"},
      {utf16, "is UTF-16 text"},
      {utf16.substr(2), "holds zero bytes"},
      {"id,adresse du client \xE9tranger,address\n1,x,102 main st springfield il\n", "header row is not UTF-8"},
      {"\n\r\n", "is empty: it needs a header row"},
  };
  for (const Case& c : cases) {
    WriteFile(work_.file("in.csv"), c.list);
    const auto r = RunCommand(Args(work_.file("in.csv"), out));
    EXPECT_EQ(r.exit_code, 2) << c.says;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_FALSE(FileExists(out));
  }
  fs::create_directory(work_.file("folder"));
  const auto folder = RunCommand(Args(work_.file("folder"), out));
  EXPECT_EQ(folder.exit_code, 2);
  EXPECT_NE(folder.err.find("folder is a folder, not a list"), std::string::npos) << folder.err;

  // Blank lines are no records.
  WriteFile(work_.file("in.csv"), "\n" + kHeader + "\n" + List(1) + "\r\n\n" + List(1, 2) + "\n");
  const auto blank = RunCommand(Args(work_.file("in.csv"), out));
  ASSERT_EQ(blank.exit_code, 0) << blank.err;
  EXPECT_EQ(ReadFile(out), Result(2));
  EXPECT_NE(blank.err.find("2 records: 2 exact, 0 corrected, 0 ambiguous, 0 not found, 0 errors"), std::string::npos)
      << blank.err;
  EXPECT_NE(blank.err.find("5 blank lines skipped"), std::string::npos) << blank.err;
}

TEST_F(StandardizeFiles, OversizedRecordsAreErrorRowsAndMemoryStaysBounded) {
  // 24 MB of commas on one line, a field of 100 KB, then a good record.
  std::string list = kHeader + "1,\"102 main st, springfield il\"" + std::string(24 << 20, ',') + "\n";
  list += "2,\"" + std::string(100000, 'x') + "\"\n" + List(1, 3);
  WriteFile(work_.file("in.csv"), list);
  list.clear();
  list.shrink_to_fit();
  const auto r = RunCommand(Args(work_.file("in.csv"), work_.file("out.csv")));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::string out = ReadFile(work_.file("out.csv"));
  EXPECT_NE(out.find(std::string(1022, ',') + ",,,,,,error,record has more than 1024 fields (the limit)\r\n"),
            std::string::npos);
  EXPECT_NE(out.find("\r\n2,,,,,,error,field 2 is longer than 65536 bytes (the limit of one field)\r\n"),
            std::string::npos);
  EXPECT_NE(out.find("\r\n3,\"102 main st, springfield il\",102 MAIN ST,"), std::string::npos);
  EXPECT_LT(out.size(), 10000u);
  struct rusage usage {};
  ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
  EXPECT_LT(usage.ru_maxrss, 400 * 1024) << "KiB at most of a child";  // it was gigabytes
}

TEST_F(StandardizeFiles, ASignalRemovesTheTemporaryResult) {
  const std::string out = work_.file("out.csv");
  for (int signal_number : {SIGTERM, SIGINT}) {
    WriteFile(out, "the old result");
    const std::string fifo = work_.file("in.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const pid_t pid = Start(fifo, out, work_.file("err"));
    const int fd = open(fifo.c_str(), O_WRONLY);  // waits for the tool to open it
    ASSERT_GE(fd, 0);
    Put(fd, kHeader + List(10));  // the run now waits for more
    ASSERT_TRUE(AwaitTemporaries(1));
    kill(pid, signal_number);
    const int status = Wait(pid);
    close(fd);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 128 + signal_number);
    EXPECT_EQ(ReadFile(out), "the old result");
    fs::remove(fifo);
    fs::remove(work_.file("err"));
    EXPECT_EQ(Entries(), (std::vector<std::string>{"out.csv"}));
  }
}

TEST_F(StandardizeFiles, TwoRunsWithOneResultNeverMix) {
  // Both runs write at the same time; each one's result is whole, the one
  // that ends last stays.
  const std::string out = work_.file("out.csv");
  const std::string fifoA = work_.file("a.fifo"), fifoB = work_.file("b.fifo");
  ASSERT_EQ(mkfifo(fifoA.c_str(), 0600), 0);
  ASSERT_EQ(mkfifo(fifoB.c_str(), 0600), 0);
  const pid_t a = Start(fifoA, out, "/dev/null");
  const int fdA = open(fifoA.c_str(), O_WRONLY);
  const pid_t b = Start(fifoB, out, "/dev/null");
  const int fdB = open(fifoB.c_str(), O_WRONLY);
  ASSERT_GE(fdA, 0);
  ASSERT_GE(fdB, 0);
  Put(fdA, kHeader + List(5000));  // more than one batch: A has written rows
  Put(fdB, kHeader + List(10));
  ASSERT_TRUE(AwaitTemporaries(2));
  Put(fdB, List(10, 11));
  close(fdB);
  int status = Wait(b);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(ReadFile(out), Result(20));
  Put(fdA, List(1000, 5001));
  close(fdA);
  status = Wait(a);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(ReadFile(out), Result(6000));
  EXPECT_EQ(Entries(), (std::vector<std::string>{"a.fifo", "b.fifo", "out.csv"}));
}

// Each command's help tells its own exit statuses and the files it really uses.
TEST(StandardizeHelp, TellsItsOwnStatusesAndLimits) {
  const auto r = RunCommand({BinDir() + "/corvdb", "standardize", "--help"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.out.find("Exit status: 0 done"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("not found (lookup, search)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("more than 1,024 fields, a field longer than 65,536 bytes"), std::string::npos) << r.out;
  // build names the suffix list it would read, by a path that exists.
  const auto build = RunCommand({BinDir() + "/corvdb", "build", "--help"});
  const auto at = build.out.find("(default: /");
  ASSERT_NE(at, std::string::npos) << build.out;
  const std::string path = build.out.substr(at + 10, build.out.find(')', at) - at - 10);
  EXPECT_TRUE(fs::is_regular_file(path)) << path;
}

}  // namespace
