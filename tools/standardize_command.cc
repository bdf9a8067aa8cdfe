// corvdb standardize: free-form matching of a whole address list.
//
//   corvdb standardize --in LIST.csv --out RESULT.csv [--column NAME]
//                      [--street NAME --city NAME --state NAME --zip NAME]
//                      [--data DIR] [--threads N]
//
// LIST.csv is CSV (RFC 4180) in UTF-8 with a header row. The address is read
// from one column (--column; by default the column named "address") or put
// together from the columns named by --street, --city, --state and --zip
// (any of them). Column names match without regard to letter case.
// RESULT.csv holds every input record once, in input order, with seven
// fields appended:
//
//   std_delivery_line, std_city, std_state, std_zip4, std_record_type,
//   match_code (exact, corrected, ambiguous, not found, error), match_reason
//
// A record that cannot be read (broken quoting, too few fields, text that is
// not UTF-8 or has characters without a plain-letter equivalent) gets the
// match code "error" and the reason; the run goes on. RESULT.csv is written
// beside its final name and renamed over it at the end, so an interrupted
// run never leaves half a file under that name.
//
// The addresses are matched on --threads threads (default 2), each with a
// reader object of its own over the same data file. Progress goes to
// standard error. Exit status: 0 done (also when some records were bad),
// 2 error (usage, a missing column, an unreadable input, an unwritable
// output, a data file that cannot be opened).
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "address_matcher.h"
#include "commands.h"
#include "csv.h"
#include "place_names.h"
#include "read_zip_file.h"

namespace corvdb::tools {

namespace {

using corvellan::matcher::AddressMatcher;
using corvellan::matcher::CsvLine;
using corvellan::matcher::CsvReader;
using corvellan::matcher::CsvRecord;
using corvellan::matcher::MatchCode;
using corvellan::matcher::MatchResult;
using corvellan::matcher::PlaceNames;

struct StandardizeArgs {
  std::string in, out, column, street, city, state, zip, data;
  int threads = 2;
};

constexpr const char* kAppended[] = {"std_delivery_line", "std_city",    "std_state",   "std_zip4",
                                     "std_record_type",   "match_code", "match_reason"};
constexpr std::size_t kChunkRecords = 4096;

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

std::string Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return std::string(s);
}

// The address of a record: its one column, or the parts joined as a mailing
// line ("street, city, state zip").
struct AddressColumns {
  int single = -1;
  int street = -1, city = -1, state = -1, zip = -1;
  int needed() const { return std::max({single, street, city, state, zip}) + 1; }
  std::string text(const std::vector<std::string>& f) const {
    if (single >= 0) return f[static_cast<std::size_t>(single)];
    auto get = [&](int i) { return i >= 0 ? Trim(f[static_cast<std::size_t>(i)]) : std::string(); };
    std::string line = get(street);
    if (const std::string c = get(city); !c.empty()) line += ", " + c;
    if (const std::string s = get(state); !s.empty()) line += (city >= 0 ? " " : ", ") + s;
    if (const std::string z = get(zip); !z.empty()) line += " " + z;
    return line;
  }
};

struct Row {
  CsvRecord record;
  std::vector<std::string> appended;
};

std::vector<std::string> Appended(const MatchResult& m) {
  if (m.code == MatchCode::kExact || m.code == MatchCode::kCorrected) {
    return {m.deliveryLine, m.city,   m.state, m.zip + (m.plus4.empty() ? "" : "-" + m.plus4),
            m.recordType,   corvellan::matcher::MatchCodeName(m.code), m.reason};
  }
  return {"", "", "", "", "", corvellan::matcher::MatchCodeName(m.code), m.reason};
}

std::vector<std::string> Failed(const std::string& why) { return {"", "", "", "", "", "error", why}; }

int Standardize(const StandardizeArgs& args) {
  auto fail = [](const std::string& line) {
    std::fprintf(stderr, "corvdb standardize: %s\n", line.c_str());
    return 2;
  };
  if (args.threads < 1 || args.threads > 64) return fail("--threads must be 1 to 64");
  std::ifstream in(args.in, std::ios::binary);
  if (!in) return fail("cannot read " + args.in + ": " + std::strerror(errno));

  // The readers: the first one opens the data file (from --data or the
  // settings), the others open the same file.
  std::vector<std::unique_ptr<ReadZipFile>> readers;
  readers.push_back(std::make_unique<ReadZipFile>());
  int32_t rc = 0;
  if (!args.data.empty()) {
    std::filesystem::path p(args.data);
    if (std::filesystem::is_directory(p)) p /= "zip.cvd";
    rc = readers[0]->openPath(p.string());
  } else {
    rc = readers[0]->openDatabase();
  }
  if (rc != 0) return fail("Error opening Data Files: " + readers[0]->path());
  for (int i = 1; i < args.threads; ++i) {
    readers.push_back(std::make_unique<ReadZipFile>());
    if (readers.back()->openPath(readers[0]->path()) != 0) return fail("Error opening Data Files: " + readers[0]->path());
  }
  std::fprintf(stderr, "corvdb standardize: reading the place names of %s\n", readers[0]->path().c_str());
  const PlaceNames places = PlaceNames::FromReader(*readers[0]);
  std::fprintf(stderr, "corvdb standardize: %s\n", places.otherNames().describe().c_str());
  std::vector<std::unique_ptr<AddressMatcher>> matchers;
  for (auto& r : readers) matchers.push_back(std::make_unique<AddressMatcher>(*r, places));

  CsvReader csv(in);
  CsvRecord header;
  if (!csv.next(header)) return fail(args.in + " is empty: it needs a header row");
  if (!header.error.empty()) return fail(args.in + ": header row: " + header.error);
  auto find = [&](const std::string& name, int* index) -> bool {
    if (name.empty()) return true;
    for (std::size_t i = 0; i < header.fields.size(); ++i)
      if (Lower(Trim(header.fields[i])) == Lower(Trim(name))) {
        *index = static_cast<int>(i);
        return true;
      }
    return false;
  };
  AddressColumns columns;
  const bool parts = !args.street.empty() || !args.city.empty() || !args.state.empty() || !args.zip.empty();
  if (parts && !args.column.empty()) return fail("give either --column or the part columns, not both");
  for (const auto& [name, index] : {std::pair{&args.street, &columns.street}, {&args.city, &columns.city},
                                    {&args.state, &columns.state}, {&args.zip, &columns.zip}}) {
    if (!find(*name, index)) return fail(args.in + " has no column named \"" + *name + "\"");
  }
  if (!parts) {
    const std::string name = args.column.empty() ? "address" : args.column;
    if (!find(name, &columns.single) || columns.single < 0)
      return fail(args.in + " has no column named \"" + name + "\"" +
                  (args.column.empty() ? " (name the address column with --column, or its parts with --street, "
                                         "--city, --state and --zip)"
                                       : ""));
  }

  const std::filesystem::path outPath(args.out);
  const std::filesystem::path partPath = outPath.string() + ".part";
  std::ofstream out(partPath, std::ios::binary | std::ios::trunc);
  if (!out) return fail("cannot write " + partPath.string() + ": " + std::strerror(errno));
  std::vector<std::string> headerOut = header.fields;
  headerOut.insert(headerOut.end(), std::begin(kAppended), std::end(kAppended));
  out << CsvLine(headerOut);

  uint64_t total = 0;
  uint64_t counts[5] = {};  // exact, corrected, ambiguous, not found, error
  std::vector<Row> rows(kChunkRecords);
  const auto inputSize = std::filesystem::file_size(args.in);
  bool more = true;
  while (more) {
    std::size_t n = 0;
    while (n < rows.size() && (more = csv.next(rows[n].record))) ++n;
    const std::size_t needed = static_cast<std::size_t>(columns.needed());
    auto work = [&](std::size_t first, std::size_t step, AddressMatcher& matcher) {
      for (std::size_t i = first; i < n; i += step) {
        Row& row = rows[i];
        if (!row.record.error.empty()) {
          row.appended = Failed(row.record.error);
        } else if (row.record.fields.size() < needed) {
          row.appended = Failed("record has " + std::to_string(row.record.fields.size()) + " fields, the address needs " +
                                std::to_string(needed));
        } else {
          const auto parsed = matcher.parser().parse(columns.text(row.record.fields));
          if (!parsed.error.empty() && parsed.error != "no street address")
            row.appended = Failed(parsed.error);
          else
            row.appended = Appended(matcher.match(parsed));
        }
      }
    };
    std::vector<std::thread> threads;
    const std::size_t step = matchers.size();
    for (std::size_t t = 1; t < step; ++t) threads.emplace_back(work, t, step, std::ref(*matchers[t]));
    work(0, step, *matchers[0]);
    for (auto& t : threads) t.join();
    for (std::size_t i = 0; i < n; ++i) {
      std::vector<std::string> fields = rows[i].record.fields;
      fields.insert(fields.end(), rows[i].appended.begin(), rows[i].appended.end());
      out << CsvLine(fields);
      const std::string& code = rows[i].appended[5];
      const int k = code == "exact" ? 0 : code == "corrected" ? 1 : code == "ambiguous" ? 2 : code == "not found" ? 3 : 4;
      ++counts[k];
    }
    total += n;
    std::fprintf(stderr, "\rcorvdb standardize: %llu records (%llu%%)", static_cast<unsigned long long>(total),
                 static_cast<unsigned long long>(inputSize ? csv.bytesRead() * 100 / inputSize : 100));
  }
  std::fprintf(stderr, "\n");
  out.flush();
  out.close();
  if (!out) {
    std::filesystem::remove(partPath);
    return fail("cannot write " + partPath.string());
  }
  std::error_code ec;
  std::filesystem::rename(partPath, outPath, ec);
  if (ec) {
    std::filesystem::remove(partPath);
    return fail("cannot write " + outPath.string() + ": " + ec.message());
  }
  std::fprintf(stderr,
               "corvdb standardize: %llu records: %llu exact, %llu corrected, %llu ambiguous, %llu not found, %llu "
               "errors\n",
               static_cast<unsigned long long>(total), static_cast<unsigned long long>(counts[0]),
               static_cast<unsigned long long>(counts[1]), static_cast<unsigned long long>(counts[2]),
               static_cast<unsigned long long>(counts[3]), static_cast<unsigned long long>(counts[4]));
  return 0;
}

}  // namespace

void RegisterStandardizeCommand(CLI::App& app, int& exit_code) {
  auto args = std::make_shared<StandardizeArgs>();
  CLI::App* cmd = app.add_subcommand("standardize", "Match every address of a CSV list and append the standard form");
  cmd->add_option("--in", args->in, "Input list: CSV (RFC 4180), UTF-8, with a header row")->required();
  cmd->add_option("--out", args->out, "Result: the input records with the standardized fields appended")->required();
  cmd->add_option("--column", args->column, "Column holding the whole address (default: address)");
  cmd->add_option("--street", args->street, "Column of the street line (with --city, --state, --zip)");
  cmd->add_option("--city", args->city, "Column of the city");
  cmd->add_option("--state", args->state, "Column of the state");
  cmd->add_option("--zip", args->zip, "Column of the ZIP code");
  cmd->add_option("--data", args->data, "Directory of zip.cvd (default: the program's settings)");
  cmd->add_option("--threads", args->threads, "Matching threads (default 2)");
  cmd->callback([args, &exit_code] { exit_code = Standardize(*args); });
}

}  // namespace corvdb::tools
