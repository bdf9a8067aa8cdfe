// corvdb serve: the database as a JSON HTTP service for other programs.
//
//   corvdb serve --data DIR [--listen 127.0.0.1:8080] [--threads N]
//                [--token-file FILE] [--check-interval SECONDS]
//
//   GET  /v1/zip4/62781-9703    (or 627819703) every record covering the
//                               ZIP+4: 200 {"records":[...]}, 404 {"error":...}
//   GET  /v1/search?street=&city=&state=&zip=&firm=&number=&unit=&exact=&max=
//                               200 {"records":[...],"truncated":bool}
//   POST /v1/standardize        a JSON array of at most 1,000 address strings:
//                               200 an array of objects with the fields
//                               corvdb standardize appends, in input order
//   GET  /healthz               200 while the database is open
//   GET  /metrics               Prometheus text
//
// A record is an object with the columns of the program's export
// (export_columns.h). Every error is {"error": "..."}: 400 a malformed request
// or value, 401 no or a wrong bearer token (with --token-file; /healthz needs
// none, for load balancers), 404 an unknown path, 405 a method the path does
// not take, 413 a body over 1 MB or over 1,000 addresses, 503 a reader that
// cannot be opened.
//
// Each connection is served by one thread of a pool of --threads; slow or
// silent clients are dropped after the read and write timeouts. Every
// --check-interval seconds the data file is compared with the one open, and
// a replaced zip.cvd is opened while requests go on (serve_database.h).
// SIGTERM or SIGINT: no new connection is taken, the requests being answered
// are finished, exit status 0.
#include <httplib.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "address_matcher.h"
#include "commands.h"
#include "corvdb.h"
#include "export_columns.h"
#include "read_zip_file.h"
#include "search_request.h"
#include "serve_database.h"
#include "serve_metrics.h"
#include "signal_cleanup.h"

namespace corvdb::tools {

namespace {

using Json = nlohmann::ordered_json;
using corvellan::matcher::MatchCode;
using corvellan::matcher::MatchResult;

constexpr std::size_t kMaxBodyBytes = 1024 * 1024;
constexpr std::size_t kMaxAddresses = 1000;
constexpr long kDefaultMax = 100;
constexpr long kMaxMax = 10000;

struct ServeArgs {
  std::string data;
  std::string listen = "127.0.0.1:8080";
  int threads = 8;
  std::string tokenFile;
  double checkInterval = 1.0;
  int timeout = 5;
};

constexpr const char* kStandardized[] = {"std_delivery_line", "std_city",    "std_state",   "std_zip4",
                                         "std_record_type",   "match_code", "match_reason"};

void Log(const std::string& line) {
  std::fprintf(stderr, "corvdb serve: %s\n", line.c_str());
  std::fflush(stderr);
}

std::string Dump(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

void SendJson(httplib::Response& res, int status, const Json& body) {
  res.status = status;
  res.set_content(Dump(body) + "\n", "application/json");
}

void SendError(httplib::Response& res, int status, const std::string& message) {
  SendJson(res, status, Json{{"error", message}});
}

// Compares without stopping at the first difference, so that the time taken
// tells nothing about how much of a guessed token was right.
bool SameSecret(const std::string& given, const std::string& secret) {
  unsigned char diff = given.size() == secret.size() ? 0 : 1;
  const std::size_t n = std::max(given.size(), secret.size());
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char a = i < given.size() ? static_cast<unsigned char>(given[i]) : 0;
    const unsigned char b = i < secret.size() ? static_cast<unsigned char>(secret[i]) : 0;
    diff = static_cast<unsigned char>(diff | (a ^ b));
  }
  return diff == 0;
}

bool ReadToken(const std::string& file, std::string* token) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) {
    Log("--token-file: cannot read " + file + ": " + std::strerror(errno));
    return false;
  }
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  if (!in) {
    Log("--token-file: cannot read " + file);
    return false;
  }
  std::string t = text.str();
  while (!t.empty() && (t.back() == '\n' || t.back() == '\r' || t.back() == ' ' || t.back() == '\t')) t.pop_back();
  if (t.empty() || t.find_first_of(" \t\r\n") != std::string::npos) {
    Log("--token-file: " + file + " must hold one token (a line without blanks)");
    return false;
  }
  if (st.st_mode & (S_IRWXO)) {
    Log("warning: --token-file " + file + " can be read by every user of this machine (chmod o-rwx)");
  }
  *token = t;
  return true;
}

// "host:port" or "[v6 address]:port".
bool ParseListen(const std::string& text, std::string* host, int* port) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon + 1 == text.size()) return false;
  std::string h = text.substr(0, colon);
  if (h.size() >= 2 && h.front() == '[' && h.back() == ']') h = h.substr(1, h.size() - 2);
  if (h.empty()) return false;
  const std::string p = text.substr(colon + 1);
  if (p.size() > 5 || !std::all_of(p.begin(), p.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
  *port = std::stoi(p);
  if (*port > 65535) return false;
  *host = h;
  return true;
}

bool IsLoopback(const std::string& host) {
  return host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0;
}

// The routes and the methods each takes.
struct Route {
  Endpoint endpoint;
  const char* allow;
};

Endpoint EndpointOf(const std::string& path) {
  if (path.rfind("/v1/zip4/", 0) == 0) return Endpoint::kZip4;
  if (path == "/v1/search") return Endpoint::kSearch;
  if (path == "/v1/standardize") return Endpoint::kStandardize;
  if (path == "/healthz") return Endpoint::kHealth;
  if (path == "/metrics") return Endpoint::kMetrics;
  return Endpoint::kOther;
}

Json RecordJson(const char* record, const TypedContext& typed) {
  const std::array<std::string, 18> values = ExportValues(record, typed);
  Json j = Json::object();
  for (std::size_t i = 0; i < values.size(); ++i) j[kExportColumns[i]] = values[i];
  return j;
}

Json Standardized(corvellan::matcher::AddressMatcher& matcher, const std::string& address) {
  std::vector<std::string> v;
  const auto parsed = matcher.parser().parse(address);
  if (!parsed.error.empty() && parsed.error != "no street address") {
    v = {"", "", "", "", "", "error", parsed.error};
  } else {
    const MatchResult m = matcher.match(parsed);
    if (m.code == MatchCode::kExact || m.code == MatchCode::kCorrected) {
      v = {m.deliveryLine, m.city,   m.state, m.zip + (m.plus4.empty() ? "" : "-" + m.plus4),
           m.recordType,   corvellan::matcher::MatchCodeName(m.code), m.reason};
    } else {
      v = {"", "", "", "", "", corvellan::matcher::MatchCodeName(m.code), m.reason};
    }
  }
  Json j = Json::object();
  for (std::size_t i = 0; i < v.size(); ++i) j[kStandardized[i]] = v[i];
  return j;
}

class Service {
 public:
  Service(ServeDatabase& db, std::string token) : db_(db), token_(std::move(token)) {}

  void install(httplib::Server& server, int timeout) {
    server.new_task_queue = [this] { return new httplib::ThreadPool(static_cast<std::size_t>(threads_)); };
    server.set_read_timeout(timeout, 0);
    server.set_write_timeout(timeout, 0);
    server.set_keep_alive_timeout(std::min(timeout, 2));
    server.set_keep_alive_max_count(1000);
    server.set_payload_max_length(kMaxBodyBytes);
    // The header and the body go out in two writes: without this, the second
    // waits for the client's delayed acknowledgement (some 40 ms).
    server.set_tcp_nodelay(true);
    server.set_pre_routing_handler(
        [this](const httplib::Request& req, httplib::Response& res) { return preRoute(req, res); });
    server.Get(R"(/v1/zip4/([^/]*))", [this](const httplib::Request& req, httplib::Response& res) { zip4(req, res); });
    server.Get("/v1/search", [this](const httplib::Request& req, httplib::Response& res) { search(req, res); });
    server.Post("/v1/standardize",
                [this](const httplib::Request& req, httplib::Response& res) { standardize(req, res); });
    server.Get("/healthz", [this](const httplib::Request&, httplib::Response& res) {
      SendJson(res, 200, Json{{"status", "ok"}, {"database", db_.path()}, {"generation", db_.generation()}});
    });
    server.Get("/metrics", [this](const httplib::Request&, httplib::Response& res) {
      res.status = 200;
      res.set_content(metrics_.text(db_.generation(), db_.reloads()), "text/plain; version=0.0.4");
    });
    server.set_error_handler(httplib::Server::HandlerWithResponse(
        [](const httplib::Request&, httplib::Response& res) -> httplib::Server::HandlerResponse {
      if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
      std::string message = "request failed with status " + std::to_string(res.status);
      if (res.status == 400) message = "malformed request";
      if (res.status == 404) message = "no such path";
      if (res.status == 413) message = "request body larger than 1 MB";
      if (res.status == 414) message = "request line too long";
      if (res.status == 500) message = "internal error";
      SendError(res, res.status, message);
      return httplib::Server::HandlerResponse::Handled;
    }));
    server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr ep) {
      std::string what = "internal error";
      try {
        if (ep) std::rethrow_exception(ep);
      } catch (const std::exception& e) {
        what = std::string("internal error: ") + e.what();
      } catch (...) {
      }
      Log(what);
      SendError(res, 500, what);
    });
    server.set_logger([this](const httplib::Request& req, const httplib::Response& res) {
      double seconds = 0;
      if (started_.time_since_epoch().count() != 0) {
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
        started_ = {};
      }
      metrics_.record(EndpointOf(req.path), res.status, seconds);
    });
  }

  void setThreads(int n) { threads_ = n; }

 private:
  httplib::Server::HandlerResponse preRoute(const httplib::Request& req, httplib::Response& res) {
    started_ = std::chrono::steady_clock::now();
    const Endpoint endpoint = EndpointOf(req.path);
    if (endpoint != Endpoint::kHealth && !token_.empty()) {
      const std::string header = req.get_header_value("Authorization");
      constexpr std::string_view kBearer = "Bearer ";
      const bool ok = header.size() > kBearer.size() && header.compare(0, kBearer.size(), kBearer) == 0 &&
                      SameSecret(header.substr(kBearer.size()), token_);
      if (!ok) {
        res.set_header("WWW-Authenticate", "Bearer");
        SendError(res, 401, header.empty() ? "this service needs an Authorization: Bearer token"
                                           : "the bearer token is not the right one");
        return httplib::Server::HandlerResponse::Handled;
      }
    }
    if (endpoint == Endpoint::kOther) {
      SendError(res, 404, "no such path: " + req.path);
      return httplib::Server::HandlerResponse::Handled;
    }
    const bool post = endpoint == Endpoint::kStandardize;
    const bool allowed = post ? req.method == "POST" : (req.method == "GET" || req.method == "HEAD");
    if (!allowed) {
      res.set_header("Allow", post ? "POST" : "GET, HEAD");
      SendError(res, 405, "method " + req.method + " not allowed on " + req.path + "; use " + (post ? "POST" : "GET"));
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  }

  void zip4(const httplib::Request& req, httplib::Response& res) {
    const std::string text = req.matches.size() > 1 ? std::string(req.matches[1]) : std::string();
    const std::optional<std::string> key = ParseZip4(text);
    if (!key) {
      SendError(res, 400, "not a ZIP+4 (12345-6789 or 123456789): " + text);
      return;
    }
    ServeDatabase::Lease lease = db_.acquire();
    ReadZipFile& reader = lease.reader();
    const TypedContext typed{"", "", key->substr(5)};
    Json records = Json::array();
    char record[CORVDB_ADDRESS_RECORD_SIZE];
    int32_t count = 1;
    for (int32_t n = 1; n <= count; ++n) {
      std::memset(record, 0, sizeof record);
      std::memcpy(record + 233, key->data(), key->size());
      const int32_t rc = reader.zipcodeToAddress(record, n);
      if (rc < 0) break;
      count = rc;
      records.push_back(RecordJson(record, typed));
    }
    if (records.empty()) {
      SendError(res, 404, "no record covers ZIP+4 " + key->substr(0, 5) + "-" + key->substr(5));
      return;
    }
    SendJson(res, 200, Json{{"records", std::move(records)}});
  }

  void search(const httplib::Request& req, httplib::Response& res) {
    static const char* const kParameters[] = {"street", "city", "state", "zip", "firm",
                                              "number", "unit", "exact", "max"};
    for (const auto& param : req.params) {
      const std::string& name = param.first;
      if (std::find_if(std::begin(kParameters), std::end(kParameters), [&](const char* p) { return name == p; }) ==
          std::end(kParameters)) {
        SendError(res, 400, "unknown parameter: " + name +
                                " (street, city, state, zip, firm, number, unit, exact, max)");
        return;
      }
      if (req.get_param_value_count(name) > 1) {
        SendError(res, 400, "parameter given more than once: " + name);
        return;
      }
    }
    const auto param = [&](const char* name) { return req.get_param_value(name); };
    const SearchValues values{param("zip"),    param("firm"), param("unit"), param("number"),
                              param("street"), param("city"), param("state")};
    const SearchRequest request = MakeSearchRequest(values, "");
    if (!request.problem.empty()) {
      SendError(res, 400, request.problem);
      return;
    }
    if (!request.any) {
      SendError(res, 400, "no condition: give at least one of street, city, state, zip, firm, number, unit");
      return;
    }
    bool exact = false;
    if (const std::string e = param("exact"); !e.empty()) {
      if (e == "true" || e == "1") {
        exact = true;
      } else if (e != "false" && e != "0") {
        SendError(res, 400, "exact: true or false, not " + e);
        return;
      }
    }
    long max = kDefaultMax;
    if (req.has_param("max")) {
      const std::string m = param("max");
      char* end = nullptr;
      errno = 0;
      max = std::strtol(m.c_str(), &end, 10);
      if (m.empty() || *end != '\0' || errno != 0 || max < 1 || max > kMaxMax) {
        SendError(res, 400, "max: a number of records from 1 to " + std::to_string(kMaxMax) + ", not " + m);
        return;
      }
    }
    ServeDatabase::Lease lease = db_.acquire();
    ReadZipFile& reader = lease.reader();
    const TypedContext typed{values.number, values.unit, ""};
    Json records = Json::array();
    bool truncated = false;
    if (reader.initiateZipSearch(request.bytes.data(), exact ? 1 : 0) > 0) {
      char record[CORVDB_ADDRESS_RECORD_SIZE] = {};
      for (;;) {
        const int32_t rc = reader.getNextZipMatch(record);
        if (rc < 0) break;
        if (rc == 0) continue;
        if (static_cast<long>(records.size()) >= max) {
          truncated = true;
          break;
        }
        records.push_back(RecordJson(record, typed));
      }
      reader.abandonSearch();
    }
    SendJson(res, 200, Json{{"records", std::move(records)}, {"truncated", truncated}});
  }

  void standardize(const httplib::Request& req, httplib::Response& res) {
    const Json body = Json::parse(req.body, nullptr, false);
    if (body.is_discarded()) {
      SendError(res, 400, "the body is not JSON: send an array of address strings");
      return;
    }
    if (!body.is_array()) {
      SendError(res, 400, "the body must be a JSON array of address strings");
      return;
    }
    if (body.size() > kMaxAddresses) {
      SendError(res, 413, std::to_string(body.size()) + " addresses: at most " + std::to_string(kMaxAddresses) +
                              " in one request");
      return;
    }
    for (std::size_t i = 0; i < body.size(); ++i) {
      if (!body[i].is_string()) {
        SendError(res, 400, "element " + std::to_string(i) + " is not a string");
        return;
      }
    }
    ServeDatabase::Lease lease = db_.acquire();
    Json out = Json::array();
    for (const Json& address : body) out.push_back(Standardized(lease.matcher(), address.get<std::string>()));
    SendJson(res, 200, out);
  }

  ServeDatabase& db_;
  const std::string token_;
  int threads_ = 8;
  ServeMetrics metrics_;
  // When the request being answered on this thread was read.
  static thread_local std::chrono::steady_clock::time_point started_;
};

thread_local std::chrono::steady_clock::time_point Service::started_{};

int Serve(const ServeArgs& args) {
  const auto fail = [](const std::string& line) {
    Log(line);
    return 2;
  };
  ::signal(SIGPIPE, SIG_IGN);
  // SIGTERM and SIGINT end the loop below, SIGHUP checks the data file at
  // once; the tool's signal thread hands them over, from the start (one that
  // comes while the database opens is acted on as soon as it is open).
  // Shared with the signal thread, which may still hold it after we return.
  struct Signals {
    std::mutex mutex;
    std::condition_variable signalled;
    int pending = 0;
    bool checkNow = false;
  };
  const auto signals = std::make_shared<Signals>();
  const bool intercepted = SignalCleanup::Install();
  SignalCleanup::Intercept([signals](int sig) {
    const std::lock_guard<std::mutex> lock(signals->mutex);
    if (sig == SIGHUP) {
      signals->checkNow = true;
    } else if (signals->pending == 0) {
      signals->pending = sig;
    }
    signals->signalled.notify_all();
    return true;
  });
  struct GiveBack {
    ~GiveBack() { SignalCleanup::Intercept({}); }
  } giveBack;
  if (!intercepted) Log("warning: signals cannot be taken over; SIGTERM ends the service at once");

  if (args.threads < 1 || args.threads > 256) return fail("--threads must be 1 to 256");
  if (!(args.checkInterval >= 0.05 && args.checkInterval <= 3600)) return fail("--check-interval must be 0.05 to 3600 seconds");
  if (args.timeout < 1 || args.timeout > 3600) return fail("--timeout must be 1 to 3600 seconds");
  std::string host;
  int port = 0;
  if (!ParseListen(args.listen, &host, &port)) return fail("--listen: HOST:PORT, e.g. 127.0.0.1:8080, not " + args.listen);
  std::string token;
  if (!args.tokenFile.empty() && !ReadToken(args.tokenFile, &token)) return 2;

  std::filesystem::path path(args.data);
  if (std::filesystem::is_directory(path)) path /= "zip.cvd";
  path = std::filesystem::absolute(path);
  ServeDatabase db;
  std::string error;
  if (!db.open(path.string(), &error)) return fail("Error opening Data Files: " + error);


  httplib::Server server;
  Service service(db, token);
  service.setThreads(args.threads);
  service.install(server, args.timeout);
  if (port == 0) {
    port = server.bind_to_any_port(host);
    if (port <= 0) return fail("cannot listen on " + args.listen);
  } else if (!server.bind_to_port(host, port)) {
    return fail("cannot listen on " + args.listen + ": " + std::strerror(errno));
  }
  if (!IsLoopback(host) && token.empty()) {
    Log("warning: listening on " + host + " without --token-file: anyone who reaches this machine can query it");
  }
  std::atomic<bool> listenEnded{false};
  std::thread listener([&server, &listenEnded] {
    server.listen_after_bind();
    listenEnded = true;
  });
  // stop() does nothing to a server whose loop has not started yet: the loop
  // must be running before it is announced, and before it can be stopped.
  const auto waitRunning = [&] {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!server.is_running() && !listenEnded && std::chrono::steady_clock::now() < limit)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };
  waitRunning();
  const std::string shown = host.find(':') != std::string::npos ? "[" + host + "]" : host;
  Log("listening on http://" + shown + ":" + std::to_string(port) + " (" + std::to_string(args.threads) +
      " threads, " + db.path() + ")");

  const auto interval = std::chrono::duration<double>(args.checkInterval);
  auto nextCheck = std::chrono::steady_clock::now() + interval;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(signals->mutex);
      signals->signalled.wait_until(lock, nextCheck, [&] { return signals->pending != 0 || signals->checkNow; });
      if (signals->pending != 0) {
        Log(std::string("stopping on ") + (signals->pending == SIGTERM ? "SIGTERM" : "SIGINT") +
            ": finishing the requests in flight");
        break;
      }
      if (signals->checkNow) nextCheck = std::chrono::steady_clock::now();
      signals->checkNow = false;
    }
    if (std::chrono::steady_clock::now() >= nextCheck) {
      try {
        if (const std::string line = db.reloadIfChanged(); !line.empty()) Log(line);
      } catch (const std::exception& e) {
        Log(std::string("cannot open the replaced data file: ") + e.what());
      }
      nextCheck = std::chrono::steady_clock::now() + interval;
    }
  }
  waitRunning();
  server.stop();
  listener.join();
  Log("stopped");
  return 0;
}

}  // namespace

void RegisterServeCommand(CLI::App& app, int& exit_code) {
  auto args = std::make_shared<ServeArgs>();
  CLI::App* cmd = app.add_subcommand("serve", "Answer lookups, searches and standardization over HTTP (JSON)");
  cmd->add_option("--data", args->data, "Directory of zip.cvd (or the file itself)")->required();
  cmd->add_option("--listen", args->listen, "HOST:PORT to listen on (default 127.0.0.1:8080; port 0: any free port)");
  cmd->add_option("--threads", args->threads, "Connections served at once, each by its own thread (default 8)");
  cmd->add_option("--token-file", args->tokenFile,
                  "File holding a token that requests must send as \"Authorization: Bearer TOKEN\"");
  cmd->add_option("--check-interval", args->checkInterval,
                  "Seconds between checks for a replaced zip.cvd (default 1)");
  cmd->add_option("--timeout", args->timeout, "Seconds a client may take to send a request or read an answer (default 5)");
  cmd->footer(
      "Endpoints: GET /v1/zip4/ZIP-PLUS4, GET /v1/search?..., POST /v1/standardize, GET /healthz, GET /metrics.\n"
      "SIGTERM or SIGINT finishes the requests in flight and exits with status 0; exit status 2: an error at the "
      "start (usage, a data file that cannot be opened, an address that cannot be listened on).");
  cmd->callback([args, &exit_code] { exit_code = Serve(*args); });
}

}  // namespace corvdb::tools
