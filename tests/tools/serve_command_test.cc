// corvdb serve, the real program on a free loopback port, called over HTTP:
// every endpoint and every error status, the bearer token, a database
// replaced under load, SIGTERM with a request in flight, and a slow client
// that must not hold up the others. Every wait is bounded.
#include <arpa/inet.h>
#include <fcntl.h>
#include <httplib.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "builder/cvd_writer.h"
#include "builder_records.h"
#include "csv.h"
#include "export_columns.h"
#include "test_support.h"

namespace {

using corvdb::builder_test::MakeCityState;
using corvdb::builder_test::MakeZip4;
using corvdb::builder_test::Zip4Fields;
using corvellan::test::BinDir;
using corvellan::test::TempDir;
using corvellan::test::WriteFile;
using Json = nlohmann::ordered_json;
using namespace std::chrono_literals;

constexpr const char* kSuffixCsv = "name,abbreviation\nSTREET,ST\nST,ST\nAVENUE,AVE\nAVE,AVE\nROAD,RD\n";

// Springfield IL: MAIN ST 100-198 even (62704-1001), a firm on it
// (62704-1002), OAK ST 1-99 (62701-3002); `extra` adds ELM ST (62799-5555).
void BuildDatabase(const std::string& path, bool extra = false) {
  Zip4Fields main;
  main.zip = "62704";
  main.state = "IL";
  main.addon_low = main.addon_high = "1001";
  Zip4Fields firm = main;
  firm.record_type = "F";
  firm.firm = "ACME TOOL CO";
  firm.primary_low = firm.primary_high = "150";
  firm.addon_low = firm.addon_high = "1002";
  Zip4Fields oak = main;
  oak.zip = "62701";
  oak.street = "OAK";
  oak.primary_low = "1";
  oak.primary_high = "99";
  oak.primary_parity = "B";
  oak.addon_low = oak.addon_high = "3002";
  std::vector<Zip4Fields> rows{main, firm, oak};
  if (extra) {
    Zip4Fields elm = oak;
    elm.zip = "62799";
    elm.street = "ELM";
    elm.addon_low = elm.addon_high = "5555";
    rows.push_back(elm);
  }
  std::vector<std::string> records, cityStates;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    char number[32];
    std::snprintf(number, sizeof number, "%09d", static_cast<int>(i + 1));
    rows[i].update_number = number;
    records.push_back(MakeZip4(rows[i]));
    cityStates.push_back(MakeCityState(rows[i].last_line_key, rows[i].zip, "SPRINGFIELD", "IL"));
  }
  std::string error;
  ASSERT_TRUE(corvdb::builder::BuildDatabaseFromRecords(records, cityStates, kSuffixCsv, path, &error)) << error;
}

// One `corvdb serve` process: started with its standard error on a pipe,
// read on a thread until the process ends.
class ServeProcess {
 public:
  ~ServeProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (reader_.joinable()) reader_.join();
  }

  // Starts it and waits (at most 20 s) for the line naming its port.
  bool start(const std::vector<std::string>& args) {
    int fds[2];
    if (::pipe(fds) != 0) return false;
    std::vector<std::string> argv{BinDir() + "/corvdb", "serve", "--listen", "127.0.0.1:0"};
    argv.insert(argv.end(), args.begin(), args.end());
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(fds[1], 2);
      const int null = ::open("/dev/null", O_WRONLY);
      ::dup2(null, 1);
      ::close(fds[0]);
      std::vector<char*> cargv;
      for (std::string& a : argv) cargv.push_back(a.data());
      cargv.push_back(nullptr);
      ::execv(cargv[0], cargv.data());
      ::_exit(127);
    }
    ::close(fds[1]);
    reader_ = std::thread([this, fd = fds[0]] {
      char buf[4096];
      for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) break;
        const std::lock_guard<std::mutex> lock(mutex_);
        log_.append(buf, static_cast<std::size_t>(n));
        changed_.notify_all();
      }
      ::close(fd);
      const std::lock_guard<std::mutex> lock(mutex_);
      closed_ = true;
      changed_.notify_all();
    });
    std::unique_lock<std::mutex> lock(mutex_);
    const std::regex listening("listening on http://127\\.0\\.0\\.1:([0-9]+)");
    std::smatch m;
    changed_.wait_for(lock, 20s, [&] { return closed_ || std::regex_search(log_, m, listening); });
    if (!std::regex_search(log_, m, listening)) return false;
    port_ = std::stoi(m[1]);
    return true;
  }

  // Sends `sig` and waits (at most `limit`) for the exit; the exit status,
  // or -1 when it did not exit normally in time.
  int stop(int sig = SIGTERM, std::chrono::seconds limit = 20s) {
    if (pid_ <= 0) return -1;
    ::kill(pid_, sig);
    return wait(limit);
  }

  int wait(std::chrono::seconds limit = 20s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) return -1;
      std::this_thread::sleep_for(10ms);
    }
    pid_ = -1;
    if (reader_.joinable()) reader_.join();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  bool waitForLog(const std::string& text, std::chrono::seconds limit = 20s) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return log_.find(text) != std::string::npos; });
  }

  std::string log() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return log_;
  }
  int port() const { return port_; }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  std::thread reader_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::string log_;
  bool closed_ = false;
};

// A plain TCP connection to the server, for clients that misbehave.
int Connect(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return -1;
  }
  timeval tv{20, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  return fd;
}

std::string ReadAll(int fd) {
  std::string out;
  char buf[4096];
  ssize_t n;
  while ((n = ::read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
  return out;
}

class ServeTest : public testing::Test {
 protected:
  void SetUp() override { BuildDatabase(dir_.file("zip.cvd")); }

  void Start(std::vector<std::string> extra = {}) {
    std::vector<std::string> args{"--data", dir_.path()};
    if (std::find(extra.begin(), extra.end(), "--threads") == extra.end()) extra.insert(extra.end(), {"--threads", "4"});
    args.insert(args.end(), extra.begin(), extra.end());
    ASSERT_TRUE(server_.start(args)) << server_.log();
  }

  httplib::Client Client() {
    httplib::Client c("127.0.0.1", server_.port());
    c.set_connection_timeout(5);
    c.set_read_timeout(20);
    return c;
  }

  // Status and parsed JSON body (null when it is not JSON).
  struct Answer {
    int status = -1;
    Json body;
    std::string text;
  };
  Answer Get(const std::string& path, const httplib::Headers& headers = {}) {
    auto c = Client();
    return From(c.Get(path.c_str(), headers));
  }
  Answer Post(const std::string& path, const std::string& body) {
    auto c = Client();
    return From(c.Post(path.c_str(), body, "application/json"));
  }
  static Answer From(const httplib::Result& r) {
    Answer a;
    if (!r) return a;
    a.status = r->status;
    a.text = r->body;
    a.body = Json::parse(r->body, nullptr, false);
    return a;
  }

  TempDir dir_;
  ServeProcess server_;
};

TEST_F(ServeTest, Zip4LookupGivesEveryCoveringRecordWithTheExportsColumns) {
  Start();
  for (const char* code : {"62704-1002", "627041002"}) {
    const Answer a = Get(std::string("/v1/zip4/") + code);
    ASSERT_EQ(a.status, 200) << a.text;
    ASSERT_EQ(a.body["records"].size(), 1u) << a.text;
    const Json& r = a.body["records"][0];
    // The columns in the export's order, and nothing else.
    std::vector<std::string> keys;
    for (auto it = r.begin(); it != r.end(); ++it) keys.push_back(it.key());
    EXPECT_EQ(keys, std::vector<std::string>(corvdb::tools::kExportColumns.begin(), corvdb::tools::kExportColumns.end()));
    EXPECT_EQ(r["Recipient"], "Acme Tool Co");
    EXPECT_EQ(r["Primary"], "150 Main St");
    EXPECT_EQ(r["City"], "Springfield");
    EXPECT_EQ(r["State"], "IL");
    EXPECT_EQ(r["ZipCode"], "62704");
    EXPECT_EQ(r["Plus4"], "1002");
    EXPECT_EQ(r["RecType"], "F");
    EXPECT_EQ(r["RecDesc"], "Firm");
  }
  const Answer missing = Get("/v1/zip4/62704-9999");
  EXPECT_EQ(missing.status, 404);
  EXPECT_TRUE(missing.body.contains("error")) << missing.text;
}

TEST_F(ServeTest, SearchFindsTruncatesAndRefusesBadValues) {
  Start();
  Answer a = Get("/v1/search?street=main&city=springfield&number=120");
  ASSERT_EQ(a.status, 200) << a.text;
  ASSERT_EQ(a.body["records"].size(), 1u) << a.text;
  EXPECT_EQ(a.body["records"][0]["Primary"], "120 Main St");
  EXPECT_EQ(a.body["records"][0]["Plus4"], "1001");
  EXPECT_EQ(a.body["truncated"], false);

  a = Get("/v1/search?state=IL&max=2");
  ASSERT_EQ(a.status, 200) << a.text;
  EXPECT_EQ(a.body["records"].size(), 2u);
  EXPECT_EQ(a.body["truncated"], true);
  a = Get("/v1/search?state=IL&max=3");
  EXPECT_EQ(a.body["records"].size(), 3u);
  EXPECT_EQ(a.body["truncated"], false);
  a = Get("/v1/search?street=nowhere");
  EXPECT_EQ(a.status, 200);
  EXPECT_TRUE(a.body["records"].empty());

  // Every refused request is a 400 with the reason.
  for (const char* query : {"", "?max=5", "?zip=6270x", "?state=ILL", "?number=abc", "?zip=62704&max=0",
                            "?zip=62704&max=x", "?zip=62704&exact=maybe", "?stret=main", "?zip=62704&zip=62701",
                            "?city=aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"}) {
    const Answer bad = Get(std::string("/v1/search") + query);
    EXPECT_EQ(bad.status, 400) << query << ": " << bad.text;
    EXPECT_TRUE(bad.body.contains("error")) << query << ": " << bad.text;
  }
}

TEST_F(ServeTest, StandardizeGivesTheAnswersOfTheCommand) {
  const std::vector<std::string> addresses{"102 main street, springfield il", "5 oak st, springfield, il 62704",
                                           "9 nowhere rd, springfield il", "onlyone",
                                           "102 main st \xE4\xB8\xAD springfield il", ""};
  std::string csv = "address\n";
  // CsvLine writes an empty address as "" (a blank line would be skipped).
  for (const std::string& a : addresses) csv += corvellan::matcher::CsvLine({a});
  WriteFile(dir_.file("in.csv"), csv);
  const auto r = corvellan::test::RunCommand({BinDir() + "/corvdb", "standardize", "--in", dir_.file("in.csv"), "--out",
                                              dir_.file("out.csv"), "--data", dir_.path()});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  std::istringstream out(corvellan::test::ReadFile(dir_.file("out.csv")));
  corvellan::matcher::CsvReader reader(out);
  corvellan::matcher::CsvRecord header, row;
  ASSERT_TRUE(reader.next(header));

  Start();
  const Answer a = Post("/v1/standardize", Json(addresses).dump());
  ASSERT_EQ(a.status, 200) << a.text;
  ASSERT_EQ(a.body.size(), addresses.size());
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    ASSERT_TRUE(reader.next(row));
    for (std::size_t f = 1; f < header.fields.size(); ++f) {
      EXPECT_EQ(a.body[i][header.fields[f]], row.fields[f]) << addresses[i] << ": " << header.fields[f];
    }
  }
  EXPECT_EQ(a.body[0]["std_zip4"], "62704-1001");
  EXPECT_EQ(a.body[0]["match_code"], "exact");

  struct Bad {
    std::string body;
    int status;
  };
  const Bad bad[] = {
      {"[\"1 main st\"", 400},                         // not JSON
      {"{\"address\":\"1 main st\"}", 400},             // not an array
      {"[\"1 main st\", 5]", 400},                      // not a string
      {Json(std::vector<std::string>(1001, "x")).dump(), 413},
      {"[\"" + std::string(1024 * 1024 + 10, 'a') + "\"]", 413},
  };
  for (const Bad& b : bad) {
    const Answer answer = Post("/v1/standardize", b.body);
    EXPECT_EQ(answer.status, b.status) << b.body.substr(0, 60);
    EXPECT_TRUE(answer.body.contains("error")) << answer.text.substr(0, 200);
  }
  EXPECT_EQ(Post("/v1/standardize", Json(std::vector<std::string>(1000, "1 main st")).dump()).status, 200);
}

TEST_F(ServeTest, UnknownPathsAndWrongMethodsAreJsonErrors) {
  Start();
  auto c = Client();
  struct Case {
    std::string method, path;
    int status;
  };
  const Case cases[] = {
      {"GET", "/", 404},          {"GET", "/v1/zip5/62704-1001", 404}, {"GET", "/v1/search/x", 404},
      {"POST", "/v1/zip4/62704-1001", 405}, {"DELETE", "/v1/search?zip=1", 405}, {"GET", "/v1/standardize", 405},
      {"PUT", "/healthz", 405},   {"POST", "/metrics", 405},           {"GET", "/v1/zip4/6270", 400},
      {"GET", "/v1/zip4/62704-10", 400},
  };
  for (const Case& k : cases) {
    httplib::Request req;
    req.method = k.method;
    req.path = k.path;
    if (k.method == "POST" || k.method == "PUT") req.body = "[]";
    const httplib::Result r = c.send(req);
    ASSERT_TRUE(r) << k.method << " " << k.path;
    EXPECT_EQ(r->status, k.status) << k.method << " " << k.path;
    EXPECT_EQ(r->get_header_value("Content-Type"), "application/json") << k.path;
    EXPECT_TRUE(Json::parse(r->body, nullptr, false).contains("error")) << r->body;
    if (k.status == 405) {
      EXPECT_FALSE(r->get_header_value("Allow").empty()) << k.path;
    }
  }
  // A request line that is not HTTP.
  const int fd = Connect(server_.port());
  ASSERT_GE(fd, 0);
  const std::string junk = "BLAH\r\n\r\n";
  ASSERT_EQ(::write(fd, junk.data(), junk.size()), static_cast<ssize_t>(junk.size()));
  const std::string answer = ReadAll(fd);
  ::close(fd);
  EXPECT_EQ(answer.rfind("HTTP/1.1 400", 0), 0u) << answer;
  EXPECT_NE(answer.find("{\"error\""), std::string::npos) << answer;
}

TEST_F(ServeTest, HealthAndMetricsCountRequestsByEndpoint) {
  Start();
  EXPECT_EQ(Get("/healthz").status, 200);
  EXPECT_EQ(Get("/v1/zip4/62704-1001").status, 200);
  EXPECT_EQ(Get("/v1/zip4/62704-9999").status, 404);
  EXPECT_EQ(Get("/nowhere").status, 404);
  const std::vector<std::string> lines{"corvdb_serve_requests_total{endpoint=\"zip4\",code=\"200\"} 1\n",
                                       "corvdb_serve_requests_total{endpoint=\"zip4\",code=\"404\"} 1\n",
                                       "corvdb_serve_requests_total{endpoint=\"other\",code=\"404\"} 1\n",
                                       "corvdb_serve_errors_total{endpoint=\"zip4\"} 1\n",
                                       "corvdb_serve_request_duration_seconds_count{endpoint=\"zip4\"} 2\n",
                                       "corvdb_serve_request_duration_seconds_bucket{endpoint=\"zip4\",le=\"+Inf\"} 2\n",
                                       "corvdb_serve_database_generation 1\n"};
  // A request is counted once its answer is out: the client may see the
  // answer a moment before the count.
  Answer m;
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  const auto all = [&] {
    return std::all_of(lines.begin(), lines.end(), [&](const std::string& l) { return m.text.find(l) != std::string::npos; });
  };
  do {
    m = Get("/metrics");
  } while (!all() && std::chrono::steady_clock::now() < deadline);
  ASSERT_EQ(m.status, 200);
  for (const std::string& line : lines) EXPECT_NE(m.text.find(line), std::string::npos) << line << m.text;
}

TEST_F(ServeTest, TokenIsRequiredWhenGiven) {
  WriteFile(dir_.file("token"), "s3cret-token\n");
  ::chmod(dir_.file("token").c_str(), 0600);
  Start({"--token-file", dir_.file("token")});
  EXPECT_EQ(server_.log().find("warning"), std::string::npos) << server_.log();
  struct Case {
    const char* authorization;
    int status;
  };
  const Case cases[] = {{nullptr, 401},
                        {"Bearer wrong", 401},
                        {"Bearer s3cret-toke", 401},
                        {"Bearer s3cret-token2", 401},
                        {"Basic s3cret-token", 401},
                        {"Bearer s3cret-token", 200}};
  for (const Case& k : cases) {
    httplib::Headers headers;
    if (k.authorization) headers.emplace("Authorization", k.authorization);
    for (const char* path : {"/v1/zip4/62704-1001", "/metrics", "/nowhere"}) {
      const Answer a = Get(path, headers);
      const int want = k.status == 200 && std::string(path) == "/nowhere" ? 404 : k.status;
      EXPECT_EQ(a.status, want) << path << " " << (k.authorization ? k.authorization : "(none)");
      if (want == 401) {
        EXPECT_TRUE(a.body.contains("error"));
      }
    }
  }
  // Load balancers check health without the token.
  EXPECT_EQ(Get("/healthz").status, 200);
}

TEST_F(ServeTest, StartupProblemsExitWithStatusTwo) {
  WriteFile(dir_.file("open-token"), "t\n");
  ::chmod(dir_.file("open-token").c_str(), 0644);
  {
    ServeProcess warned;
    ASSERT_TRUE(warned.start({"--data", dir_.path(), "--token-file", dir_.file("open-token")}));
    EXPECT_NE(warned.log().find("can be read by every user"), std::string::npos) << warned.log();
    EXPECT_EQ(warned.stop(), 0);
  }
  const std::string corvdb = BinDir() + "/corvdb";
  const std::vector<std::vector<std::string>> bad{
      {corvdb, "serve", "--data", dir_.file("none")},
      {corvdb, "serve", "--data", dir_.path(), "--listen", "127.0.0.1"},
      {corvdb, "serve", "--data", dir_.path(), "--listen", "127.0.0.1:99999"},
      {corvdb, "serve", "--data", dir_.path(), "--threads", "0"},
      {corvdb, "serve", "--data", dir_.path(), "--token-file", dir_.file("none")},
  };
  for (const auto& argv : bad) {
    const auto r = corvellan::test::RunCommand(argv);
    EXPECT_EQ(r.exit_code, 2) << argv.back() << ": " << r.err;
    EXPECT_FALSE(r.err.empty());
  }
}

TEST_F(ServeTest, ReplacedDatabaseIsTakenUpWithoutAFailedRequest) {
  Start({"--check-interval", "0.1"});
  std::atomic<bool> done{false};
  std::atomic<int> calls{0}, failures{0};
  std::vector<std::thread> clients;
  for (int t = 0; t < 2; ++t) {
    clients.emplace_back([&] {
      auto c = Client();
      while (!done) {
        const auto r = c.Get("/v1/zip4/62704-1001");
        if (!r || r->status != 200) ++failures;
        ++calls;
      }
    });
  }
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(Get("/v1/zip4/62799-5555").status, 404);
  BuildDatabase(dir_.file("next.cvd"), true);
  ASSERT_EQ(std::rename(dir_.file("next.cvd").c_str(), dir_.file("zip.cvd").c_str()), 0);
  EXPECT_TRUE(server_.waitForLog("generation 2")) << server_.log();
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  int status = 0;
  while ((status = Get("/v1/zip4/62799-5555").status) != 200 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(50ms);
  EXPECT_EQ(status, 200);
  std::this_thread::sleep_for(200ms);
  done = true;
  for (auto& t : clients) t.join();
  EXPECT_GT(calls.load(), 10);
  EXPECT_EQ(failures.load(), 0);
  EXPECT_NE(Get("/metrics").text.find("corvdb_serve_database_reloads_total 1\n"), std::string::npos);

  // A damaged replacement is refused; the open database keeps answering.
  WriteFile(dir_.file("bad.cvd"), std::string(100, 'x'));
  ASSERT_EQ(std::rename(dir_.file("bad.cvd").c_str(), dir_.file("zip.cvd").c_str()), 0);
  EXPECT_TRUE(server_.waitForLog("still serving the previous database")) << server_.log();
  EXPECT_EQ(Get("/v1/zip4/62799-5555").status, 200);
  EXPECT_EQ(Get("/healthz").status, 200);
}

TEST_F(ServeTest, SigtermFinishesTheRequestInFlightAndExitsZero) {
  Start();
  // A request whose body is still on its way when the signal comes.
  const int fd = Connect(server_.port());
  ASSERT_GE(fd, 0);
  const std::string body = "[\"102 main st, springfield il\"]";
  const std::string head = "POST /v1/standardize HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
                           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  const std::string first = head + body.substr(0, 10);
  ASSERT_EQ(::write(fd, first.data(), first.size()), static_cast<ssize_t>(first.size()));
  std::this_thread::sleep_for(200ms);
  ASSERT_EQ(::kill(server_.pid(), SIGTERM), 0);
  EXPECT_TRUE(server_.waitForLog("stopping on SIGTERM")) << server_.log();
  // No new connection is taken any more.
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  int refused = -1;
  while (std::chrono::steady_clock::now() < deadline) {
    const int other = Connect(server_.port());
    if (other < 0) {
      refused = 1;
      break;
    }
    ::close(other);
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_EQ(refused, 1);
  const std::string rest = body.substr(10);
  ASSERT_EQ(::write(fd, rest.data(), rest.size()), static_cast<ssize_t>(rest.size()));
  const std::string answer = ReadAll(fd);
  ::close(fd);
  EXPECT_EQ(answer.rfind("HTTP/1.1 200", 0), 0u) << answer;
  EXPECT_NE(answer.find("62704-1001"), std::string::npos) << answer;
  EXPECT_EQ(server_.wait(), 0) << server_.log();
}

TEST_F(ServeTest, SlowClientNeitherBlocksOthersNorStaysForever) {
  Start({"--timeout", "1", "--threads", "2"});
  // Half a request line, then nothing.
  const int slow = Connect(server_.port());
  ASSERT_GE(slow, 0);
  ASSERT_EQ(::write(slow, "GET /v1/zip4/627", 16), 16);
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 20; ++i) EXPECT_EQ(Get("/v1/zip4/62704-1001").status, 200);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 900ms);
  // The server gives up on it after the timeout: the connection is closed.
  ReadAll(slow);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  ::close(slow);
  EXPECT_EQ(Get("/healthz").status, 200);
}

}  // namespace
