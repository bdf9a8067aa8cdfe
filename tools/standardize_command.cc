// corvdb standardize: free-form matching of a whole address list.
//
//   corvdb standardize --in LIST.csv --out RESULT.csv [--column NAME]
//                      [--street NAME --city NAME --state NAME --zip NAME]
//                      [--data DIR] [--threads N] [--explain]
//
// LIST.csv is CSV (RFC 4180) in UTF-8 with a header row; "-" (or /dev/stdin,
// or a FIFO) reads standard input. The address is read from one column
// (--column; by default the column named "address") or put together from the
// columns named by --street, --city, --state and --zip (any of them). Column
// names match without regard to letter case. Blank lines are skipped.
// RESULT.csv holds every input record once, in input order, with seven
// fields appended:
//
//   std_delivery_line, std_city, std_state, std_zip4, std_record_type,
//   match_code (exact, corrected, ambiguous, not found, error), match_reason
//
// A record that cannot be read (broken quoting, too few fields, more fields
// or a longer field than the limits, text that is not UTF-8 or has
// characters without a plain-letter equivalent) gets the match code "error"
// and the reason; the run goes on. Records are worked on in batches of at
// most kChunkRecords records and kChunkBytes bytes, so memory follows the
// batch, not the list. How the result is written (a temporary file renamed
// into place, or straight to standard output, a FIFO or a device) is told
// in standardize_files.h.
//
// The addresses are matched on --threads threads (default 2), each with a
// reader object of its own over the same data file. Progress goes to
// standard error. Exit status: 0 done (also when some records were bad),
// 2 error (usage, a missing column, an unreadable input, an unwritable
// output, a data file that cannot be opened); interrupted by a signal, the
// temporary file is removed and the status is 128 + the signal number.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "address_matcher.h"
#include "commands.h"
#include "csv.h"
#include "place_names.h"
#include "read_zip_file.h"
#include "standardize_files.h"
#include "standardized_fields.h"

namespace corvdb::tools {

namespace {

using corvellan::matcher::AddressMatcher;
using corvellan::matcher::CsvField;
using corvellan::matcher::CsvLine;
using corvellan::matcher::CsvReader;
using corvellan::matcher::CsvRecord;
using corvellan::matcher::PlaceNames;

struct StandardizeArgs {
  std::string in, out, column, street, city, state, zip, data;
  int threads = 2;
  bool explain = false;
};

constexpr const auto& kAppended = corvellan::matcher::kStandardizedFieldNames;
constexpr std::size_t kChunkRecords = 4096;
constexpr std::size_t kChunkBytes = std::size_t{16} << 20;  // fields and their strings
constexpr std::size_t kKeptFields = 256;   // a row keeps room for this many fields between batches
constexpr std::size_t kHeadBytes = 4;  // at least this much is looked at for the encoding (a byte order mark)

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
  std::string explanation;  // --explain
};

std::vector<std::string> Failed(const std::string& why) { return corvellan::matcher::StandardizedError(why); }

int Standardize(const StandardizeArgs& args) {
  auto fail = [](const std::string& line) {
    std::fprintf(stderr, "corvdb standardize: %s\n", line.c_str());
    return 2;
  };
  if (args.threads < 1 || args.threads > 64) return fail("--threads must be 1 to 64");
  InputList list;
  std::string error;
  if (!list.Open(args.in, &error)) return fail(error);
  // The first bytes tell an encoding this reader cannot read (before a
  // header row of UTF-16 is reported as a missing column): whatever the
  // first read gave, and never less than a byte order mark unless the list
  // is shorter (a pipe is not made to wait for more).
  if (const std::string why = corvellan::matcher::CsvEncodingProblem(list.Peek(kHeadBytes)); !why.empty())
    return fail(list.name() + " " + why + "; only UTF-8 is read: save the list as UTF-8");
  if (list.readError() != 0) return fail("cannot read " + list.name() + ": " + std::strerror(list.readError()));

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

  std::vector<std::pair<FileId, std::string>> inputs = {{list.id(), "the input list " + list.name()}};
  if (struct stat st {}; stat(readers[0]->path().c_str(), &st) == 0)
    inputs.push_back({FileId{st.st_dev, st.st_ino}, "the database " + readers[0]->path()});
  ResultFile out;
  if (!out.Prepare(args.out, inputs, &error)) return fail(error);

  for (int i = 1; i < args.threads; ++i) {
    readers.push_back(std::make_unique<ReadZipFile>());
    if (readers.back()->openPath(readers[0]->path()) != 0) return fail("Error opening Data Files: " + readers[0]->path());
  }

  std::istream in(list.buffer());
  CsvReader csv(in);
  CsvRecord header;
  if (!csv.next(header)) {
    if (list.readError() != 0) return fail("cannot read " + list.name() + ": " + std::strerror(list.readError()));
    return fail(list.name() + " is empty: it needs a header row");
  }
  for (const std::string& name : header.fields) {
    const auto cr = name.find('\r');
    if (cr != std::string::npos && (cr + 1 == name.size() || name[cr + 1] != '\n'))
      return fail(list.name() + ": its lines end in CR alone (as old Mac files do), so the whole list reads as one "
                  "header row; save it with LF or CRLF line ends");
  }
  if (!header.error.empty()) return fail(list.name() + ": header row: " + header.error);
  for (const std::string& name : header.fields) {
    if (!corvellan::matcher::IsUtf8(name))
      return fail(list.name() + ": the header row is not UTF-8 text (Latin-1 or Windows-1252 perhaps); save the "
                  "list as UTF-8");
  }
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
    if (!find(*name, index)) return fail(list.name() + " has no column named \"" + *name + "\"");
  }
  if (!parts) {
    const std::string name = args.column.empty() ? "address" : args.column;
    if (!find(name, &columns.single) || columns.single < 0)
      return fail(list.name() + " has no column named \"" + name + "\"" +
                  (args.column.empty() ? " (name the address column with --column, or its parts with --street, "
                                         "--city, --state and --zip)"
                                       : ""));
  }

  std::fprintf(stderr, "corvdb standardize: reading the place names of %s\n", readers[0]->path().c_str());
  const PlaceNames places = PlaceNames::FromReader(*readers[0]);
  std::fprintf(stderr, "corvdb standardize: %s\n", places.otherNames().describe().c_str());
  std::vector<std::unique_ptr<AddressMatcher>> matchers;
  for (auto& r : readers) matchers.push_back(std::make_unique<AddressMatcher>(*r, places));

  if (!out.Open(&error)) return fail(error);
  std::vector<std::string> headerOut = header.fields;
  headerOut.insert(headerOut.end(), std::begin(kAppended), std::end(kAppended));
  if (!out.Write(CsvLine(headerOut), &error)) return fail(error);

  uint64_t total = 0;
  uint64_t counts[5] = {};  // exact, corrected, ambiguous, not found, error
  std::vector<Row> rows(kChunkRecords);
  const std::size_t needed = static_cast<std::size_t>(columns.needed());
  std::string text;
  bool more = true;
  while (more) {
    std::size_t n = 0;
    std::size_t bytes = 0;
    while (n < rows.size() && bytes < kChunkBytes && (more = csv.next(rows[n].record))) {
      for (const std::string& f : rows[n].record.fields) bytes += f.size() + sizeof(std::string);
      ++n;
    }
    auto work = [&](std::size_t first, std::size_t step, AddressMatcher& matcher) {
      for (std::size_t i = first; i < n; i += step) {
        Row& row = rows[i];
        if (!row.record.error.empty()) {
          row.appended = Failed(row.record.error);
        } else if (row.record.fields.size() < needed) {
          row.appended = Failed("record has " + std::to_string(row.record.fields.size()) + " fields, the address needs " +
                                std::to_string(needed));
        } else {
          row.appended = corvellan::matcher::StandardizedFields(matcher, columns.text(row.record.fields),
                                                                args.explain ? &row.explanation : nullptr);
        }
      }
    };
    std::vector<std::thread> threads;
    const std::size_t step = matchers.size();
    for (std::size_t t = 1; t < step; ++t) threads.emplace_back(work, t, step, std::ref(*matchers[t]));
    work(0, step, *matchers[0]);
    for (auto& t : threads) t.join();
    for (std::size_t i = 0; i < n; ++i) {
      Row& row = rows[i];
      text.clear();
      for (const std::string& f : row.record.fields) text += CsvField(f) + ',';
      text += CsvLine(row.appended);
      if (!out.Write(text, &error)) return fail(error);
      if (args.explain) {
        // One line per record, numbered as the records of the list (the
        // header row not counted), in the list's order.
        std::fprintf(stderr, "record %llu: %s\n", static_cast<unsigned long long>(total + i + 1),
                     row.explanation.empty() ? ("error: " + row.appended[6]).c_str() : row.explanation.c_str());
        row.explanation.clear();
      }
      const std::string& code = row.appended[5];
      const int k = code == "exact" ? 0 : code == "corrected" ? 1 : code == "ambiguous" ? 2 : code == "not found" ? 3 : 4;
      ++counts[k];
      // A wide record's room goes with it, so that what stays from batch to
      // batch is bounded too.
      if (row.record.fields.capacity() > kKeptFields) std::vector<std::string>().swap(row.record.fields);
    }
    total += n;
    if (list.size() > 0) {
      // With --explain the progress has lines of its own among the records'.
      std::fprintf(stderr, args.explain ? "corvdb standardize: %s records (%llu%%)\n" : "\rcorvdb standardize: %s records (%llu%%)", Thousands(total).c_str(),
                   static_cast<unsigned long long>(std::min<uint64_t>(csv.bytesRead() * 100 / list.size(), 100)));
    } else {
      std::fprintf(stderr, args.explain ? "corvdb standardize: %s records\n" : "\rcorvdb standardize: %s records", Thousands(total).c_str());
    }
  }
  if (!args.explain) std::fprintf(stderr, "\n");
  if (list.readError() != 0) return fail("cannot read " + list.name() + ": " + std::strerror(list.readError()));
  if (!out.Commit(&error)) return fail(error);
  std::fprintf(stderr,
               "corvdb standardize: %llu records: %llu exact, %llu corrected, %llu ambiguous, %llu not found, %llu "
               "errors\n",
               static_cast<unsigned long long>(total), static_cast<unsigned long long>(counts[0]),
               static_cast<unsigned long long>(counts[1]), static_cast<unsigned long long>(counts[2]),
               static_cast<unsigned long long>(counts[3]), static_cast<unsigned long long>(counts[4]));
  if (csv.blankLines() > 0)
    std::fprintf(stderr, "corvdb standardize: %s blank lines skipped\n", Thousands(csv.blankLines()).c_str());
  return 0;
}

}  // namespace

void RegisterStandardizeCommand(CLI::App& app, int& exit_code) {
  auto args = std::make_shared<StandardizeArgs>();
  CLI::App* cmd = app.add_subcommand("standardize", "Match every address of a CSV list and append the standard form");
  cmd->add_option("--in", args->in,
                  "Input list: CSV (RFC 4180), UTF-8, with a header row; - reads standard input (a pipe or FIFO "
                  "is read as it comes)")
      ->required();
  cmd->add_option("--out", args->out,
                  "Result: the input records with the standardized fields appended; - writes standard output")
      ->required();
  cmd->add_option("--column", args->column, "Column holding the whole address (default: address)");
  cmd->add_option("--street", args->street, "Column of the street line (with --city, --state, --zip)");
  cmd->add_option("--city", args->city, "Column of the city");
  cmd->add_option("--state", args->state, "Column of the state");
  cmd->add_option("--zip", args->zip, "Column of the ZIP code");
  cmd->add_option("--data", args->data, "Directory of zip.cvd (default: the program's settings)");
  cmd->add_option("--threads", args->threads, "Matching threads, 1 to 64 (default 2)");
  cmd->add_flag("--explain", args->explain,
                "Tell on standard error, one line per record, how its address was read (number, street, unit, "
                "city, state, ZIP code, what was read differently from how it was written) and how it was matched "
                "(which ZIP codes were searched, the record chosen, or why none was)");
  const corvellan::matcher::CsvLimits limits;
  cmd->footer("Blank lines are skipped. A record that cannot be read (broken quoting, too few fields, more than " +
              Thousands(limits.maxFields) + " fields, a field longer than " + Thousands(limits.maxFieldBytes) +
              " bytes, text that is not UTF-8) gets the match code \"error\" and the reason; the run goes on. "
              "A list in UTF-16, with CR-only line ends or a header row that is not UTF-8 is refused.\n"
              "The result is written beside --out under a name of its own and renamed over it when complete; it "
              "keeps the replaced file's permissions and owner, and a symbolic link keeps pointing at it. Standard "
              "output, a FIFO and a character device are written as they are. --out must not be the input list "
              "or the database under any name, a folder, a socket or a block device.\n"
              "Exit status: 0 done (also when some records were bad), 2 error (usage, a missing column, an "
              "unreadable list, an unwritable result, a data file that cannot be opened; nothing is replaced); "
              "interrupted by a signal, the temporary file is removed and the status is 128 + the signal number.");
  cmd->callback([args, &exit_code] { exit_code = Standardize(*args); });
}

}  // namespace corvdb::tools
