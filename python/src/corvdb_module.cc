// _corvdb: the engine's reader and the free-form matcher for Python. The
// package corvdb (corvdb/__init__.py) wraps it; see there for the API.
//
// A Database owns a pool of sessions, each a ReadZipFile of its own over the
// data file (and, once an address was standardized, a matcher over it): a
// reader is not safe to share between threads, so every call takes an idle
// session for as long as it works (a search for as long as it runs) and
// gives it back. Calls release the GIL while the engine works, so several
// Python threads run in parallel on one Database.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "address_matcher.h"
#include "place_names.h"
#include "read_zip_file.h"
#include "record_fields.h"
#include "standardized_fields.h"
#include "zip_search.h"

namespace py = pybind11;

namespace {

using corvdb::ReadZipFile;
using corvellan::matcher::AddressMatcher;
using corvellan::matcher::PlaceNames;

// Raised as corvdb.Error.
struct Error : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// ---------------------------------------------------------------------------
// Records. The 250-byte output address record (offset, length):
//
//   record type 0,1   firm 1,40        unit designator 41,4  unit low 45,8
//   unit high 53,8    unit odd/even 61,1  street line 62,60  primary low 122,10
//   primary high 132,10  primary odd/even 142,1  urbanization 143,60
//   city 203,28       state 231,2      ZIP code 233,5        add-on 238,4
//   add-on low 242,4  add-on high 246,4
//
// A record becomes a dict under the column names of the program's export
// file (File, Export), with the values its address panel shows: the fields
// trimmed of blanks, the names as the engine cases them.
constexpr std::size_t kAddressRecordSize = 250;

constexpr const char* kRecordColumns[] = {"Recipient", "Secondary", "SecLow",       "SecHigh", "Sec-OE", "Primary",
                                          "PriLow",    "PriHigh",   "Pri-OE",       "Urbanization", "City", "State",
                                          "ZipCode",   "Plus4",     "ZipLow",       "ZipHigh", "RecType", "RecDesc"};
constexpr std::size_t kRecordColumnCount = sizeof kRecordColumns / sizeof kRecordColumns[0];

std::string Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return std::string(s);
}

std::string Field(const char* r, std::size_t offset, std::size_t length) {
  return Trim(corvdb::FieldText(r + offset, length));
}

bool AllDigits(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The number a text begins with (0 when none), as the add-on range test reads it.
double LeadingNumber(std::string_view s) {
  double n = 0;
  for (char c : s) {
    if (c < '0' || c > '9') break;
    n = n * 10 + (c - '0');
  }
  return n;
}

const char* RecordTypeDescription(const std::string& type) {
  static constexpr std::pair<const char*, const char*> kDescriptions[] = {
      {"G", "General Delivery"}, {"H", "Highrise"}, {"F", "Firm"}, {"S", "Street"}, {"P", "PO Box"},
      {"R", "Rural Route/Highway Contract"}, {"M", "Multi-Carrier Route"}};
  for (const auto& [code, description] : kDescriptions)
    if (type == code) return description;
  return "";
}

// The record's values in column order. `number` is the house or box number
// searched for, `typedZip` the ZIP+4 looked up (either may be empty): they
// complete the primary line and the add-on of a record that covers a range.
std::vector<std::string> RecordValues(const char* r, const std::string& number, const std::string& typedZip) {
  const std::string type = Field(r, 0, 1);
  const std::string secAbbrev = Field(r, 41, 4), secLow = Field(r, 45, 8), secHigh = Field(r, 53, 8);
  const std::string street = Field(r, 62, 60), priLow = Field(r, 122, 10), priHigh = Field(r, 132, 10);
  const std::string addOnLow = Field(r, 242, 4), addOnHigh = Field(r, 246, 4);

  std::string secondary;
  if (!secAbbrev.empty()) secondary = secLow == secHigh ? Trim(secAbbrev + " " + secHigh) : secAbbrev;

  std::string primary;
  if (!street.empty()) {
    std::string n = priLow == priHigh ? priLow : std::string();
    if (n.empty()) n = Trim(number);
    primary = n.empty() ? street : type == "P" ? street + " " + n : n + " " + street;
  }

  // The add-on: the record's own when its range is one add-on, else a box
  // number or the typed add-on that lies in the range.
  std::string plus4;
  auto inRange = [&](std::string_view v) {
    return LeadingNumber(addOnLow) <= LeadingNumber(v) && LeadingNumber(v) <= LeadingNumber(addOnHigh);
  };
  if (addOnLow == addOnHigh && !addOnLow.empty()) {
    plus4 = addOnLow;
  } else if (const std::string box = Trim(number);
             type == "P" && !box.empty() && AllDigits(box) && inRange(box)) {
    plus4 = box.size() >= 4 ? box.substr(box.size() - 4) : std::string(4 - box.size(), '0') + box;
  } else if (typedZip.size() == 10 && AllDigits(typedZip.substr(6)) && inRange(typedZip.substr(6))) {
    plus4 = typedZip.substr(6);
  }

  return {Field(r, 1, 40),   secondary,        secLow,           secHigh,           Field(r, 61, 1),
          primary,           priLow,           priHigh,          Field(r, 142, 1),  Field(r, 143, 60),
          Field(r, 203, 28), Field(r, 231, 2), Field(r, 233, 5), plus4,             addOnLow,
          addOnHigh,         type,             RecordTypeDescription(type)};
}

// The engine's text is single-byte Latin-1.
py::str Latin1(const std::string& s) {
  PyObject* o = PyUnicode_DecodeLatin1(s.data(), static_cast<Py_ssize_t>(s.size()), nullptr);
  if (!o) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(o);
}

py::dict RecordDict(const std::vector<std::string>& values) {
  py::dict d;
  for (std::size_t i = 0; i < kRecordColumnCount; ++i) d[kRecordColumns[i]] = Latin1(values[i]);
  return d;
}

// ---------------------------------------------------------------------------
// Opening.

// Why `path` could not be opened as a data file.
std::string DescribeUnopenable(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return "no such file";
    if (errno == EACCES) return "permission denied";
    return std::strerror(errno);
  }
  if (!S_ISREG(st.st_mode)) return "not a regular file";
  if (st.st_size < 17) return "empty or too short to be a zip.cvd";
  if (static_cast<uint64_t>(st.st_size) > UINT32_MAX) return "4 GiB or larger, too large to be a zip.cvd";
  return "damaged (not a readable zip.cvd; corvdb check " + path + " tells more)";
}

struct Session {
  ReadZipFile reader;
  std::unique_ptr<AddressMatcher> matcher;  // made at the first standardize
};

class Database : public std::enable_shared_from_this<Database> {
 public:
  explicit Database(std::string path) : path_(std::move(path)) {}

  // Opens the first session: checks that the file opens.
  void open() {
    auto s = std::make_unique<Session>();
    if (s->reader.openPath(path_) != 0)
      throw Error("cannot open the data file " + path_ + ": " + DescribeUnopenable(path_));
    idle_.push_back(std::move(s));
  }

  const std::string& path() const { return path_; }

  // A session for the caller alone; given back by Lease's destructor.
  class Lease {
   public:
    Lease(std::shared_ptr<Database> db, std::unique_ptr<Session> s) : db_(std::move(db)), s_(std::move(s)) {}
    Lease(Lease&&) = default;
    Lease& operator=(Lease&&) = default;
    ~Lease() {
      if (s_) db_->giveBack(std::move(s_));
    }
    Session& operator*() { return *s_; }
    Session* operator->() { return s_.get(); }

   private:
    std::shared_ptr<Database> db_;
    std::unique_ptr<Session> s_;
  };

  Lease take() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (closed_) throw Error("the database " + path_ + " is closed");
      if (!idle_.empty()) {
        auto s = std::move(idle_.back());
        idle_.pop_back();
        return Lease(shared_from_this(), std::move(s));
      }
    }
    auto s = std::make_unique<Session>();
    if (s->reader.openPath(path_) != 0)
      throw Error("cannot open the data file " + path_ + ": " + DescribeUnopenable(path_));
    return Lease(shared_from_this(), std::move(s));
  }

  // The place names the matcher needs, read once (by the first caller).
  const PlaceNames& places(ReadZipFile& reader) {
    std::call_once(placesOnce_, [&] { places_ = std::make_unique<PlaceNames>(PlaceNames::FromReader(reader)); });
    return *places_;
  }

  // Drops the idle sessions; sessions in use (running searches) end with
  // their search. Later calls raise an error.
  void close() {
    std::vector<std::unique_ptr<Session>> drop;
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    drop.swap(idle_);
  }
  bool closed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
  }

 private:
  void giveBack(std::unique_ptr<Session> s) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!closed_) idle_.push_back(std::move(s));
  }

  std::string path_;
  std::mutex mutex_;
  bool closed_ = false;
  std::vector<std::unique_ptr<Session>> idle_;
  std::once_flag placesOnce_;
  std::unique_ptr<PlaceNames> places_;
};

std::shared_ptr<Database> Open(const std::string& path) {
  if (path.empty()) throw Error("no data file named: give the folder holding zip.cvd, or the file");
  std::filesystem::path p(path);
  std::error_code ec;
  if (std::filesystem::is_directory(p, ec)) p /= "zip.cvd";
  auto db = std::make_shared<Database>(p.string());
  {
    py::gil_scoped_release nogil;
    db->open();
  }
  return db;
}

// ---------------------------------------------------------------------------
// Lookup.

// "12345-6789" or "123456789" -> the nine characters (the add-on may hold
// letters), or nothing.
std::optional<std::string> ParseZip4(std::string_view text) {
  std::string_view addOn;
  if (text.size() == 10 && text[5] == '-')
    addOn = text.substr(6);
  else if (text.size() == 9)
    addOn = text.substr(5);
  else
    return std::nullopt;
  const std::string_view zip = text.substr(0, 5);
  const bool alnum = std::all_of(addOn.begin(), addOn.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  });
  if (!AllDigits(zip) || !alnum) return std::nullopt;
  return std::string(zip) + std::string(addOn);
}

py::list Lookup(const std::shared_ptr<Database>& db, const std::string& zip4) {
  const std::string typed = Trim(zip4);
  const std::optional<std::string> key = ParseZip4(typed);
  if (!key) throw Error("not a ZIP+4 (12345-6789 or 123456789): " + zip4);
  const std::string shown = key->substr(0, 5) + "-" + key->substr(5);
  std::vector<std::vector<std::string>> found;
  {
    py::gil_scoped_release nogil;
    auto s = db->take();
    for (int32_t n = 1;; ++n) {
      char record[kAddressRecordSize] = {};
      std::copy(key->begin(), key->end(), record + 233);
      const int32_t count = s->reader.zipcodeToAddress(record, n);
      if (count == corvdb::kOpenError) throw Error("cannot read the data file " + db->path());
      if (count < 0) break;
      found.push_back(RecordValues(record, "", shown));
      if (n >= count) break;
    }
  }
  py::list out;
  for (const auto& values : found) out.append(RecordDict(values));
  return out;
}

// ---------------------------------------------------------------------------
// Search.

struct SearchValues {
  std::string street, city, state, zip, firm, number, unit;
};

// Encodes a search value as the engine's Latin-1, trimmed and checked; the
// name is the keyword argument's.
std::string SearchValue(const char* name, const std::optional<py::str>& value, std::size_t length) {
  if (!value) return {};
  py::bytes bytes;
  PyObject* o = PyUnicode_AsLatin1String(value->ptr());
  if (!o) {
    PyErr_Clear();
    throw Error(std::string(name) + ": a character outside Latin-1: " + value->cast<std::string>());
  }
  bytes = py::reinterpret_steal<py::bytes>(o);
  const std::string text = Trim(bytes.cast<std::string>());
  const std::string option = name;
  if (text.empty()) return text;
  if (text.find('\0') != std::string::npos) throw Error(option + ": holds a byte 0");
  if (option == "zip") {
    const std::size_t digits = text.back() == '*' ? text.size() - 1 : text.size();
    if (digits < 1 || digits > 5 || !AllDigits(std::string_view(text).substr(0, digits)))
      throw Error("zip: a ZIP code is 1 to 5 digits, optionally followed by * (627, 62701, 627*): " + text);
  } else if (option == "state") {
    const bool letters = std::all_of(text.begin(), text.end(), [](char c) {
      return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    });
    if (text.size() > 2 || !letters) throw Error("state: a state is one or two letters (IL): " + text);
  } else if (option == "number") {
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (!std::any_of(text.begin(), text.end(), digit) || !(digit(text[0]) || letter(text[0])))
      throw Error("number: a house number starts with a letter or digit and holds a digit (12, 12A, N123): " + text);
  }
  if (text.size() > length)
    throw Error(option + ": at most " + std::to_string(length) + " characters, not " + std::to_string(text.size()) +
                ": " + text);
  return text;
}

// A running search: holds its session until it ends or is dropped.
class Search {
 public:
  Search(std::shared_ptr<Database> db, std::string request, bool exact, long max, std::string number)
      : db_(std::move(db)), request_(std::move(request)), exact_(exact), max_(max), number_(std::move(number)) {}

  Search& iter() { return *this; }

  py::dict next() {
    if (pending_.empty()) fill();
    if (pending_.empty()) throw py::stop_iteration();
    std::vector<std::string> values = std::move(pending_.front());
    pending_.erase(pending_.begin());
    return RecordDict(values);
  }

 private:
  // The records are fetched some at a time, without the GIL.
  static constexpr std::size_t kBatch = 64;

  void fill() {
    if (done_) return;
    py::gil_scoped_release nogil;
    if (!lease_) {
      lease_.emplace(db_->take());
      const int32_t rc = (*lease_)->reader.initiateZipSearch(request_.data(), exact_ ? 1 : 0);
      if (rc == corvdb::kOpenError) {
        finish();
        throw Error("cannot read the data file " + db_->path());
      }
      if (rc < 0) {
        finish();
        return;
      }
    }
    std::vector<std::vector<std::string>> batch;
    char record[kAddressRecordSize];
    while (batch.size() < kBatch) {
      if (max_ > 0 && delivered_ >= max_) {
        finish();
        break;
      }
      std::memset(record, 0, sizeof record);
      const int32_t rank = (*lease_)->reader.getNextZipMatch(record);
      if (rank == 0) continue;
      if (rank < 0) {
        finish();
        break;
      }
      batch.push_back(RecordValues(record, number_, ""));
      ++delivered_;
    }
    pending_ = std::move(batch);
  }

  void finish() {
    done_ = true;
    if (lease_) (*lease_)->reader.abandonSearch();
    lease_.reset();
  }

  std::shared_ptr<Database> db_;
  std::string request_;
  bool exact_;
  long max_;
  std::string number_;
  std::optional<Database::Lease> lease_;
  std::vector<std::vector<std::string>> pending_;
  long delivered_ = 0;
  bool done_ = false;
};

std::unique_ptr<Search> StartSearch(const std::shared_ptr<Database>& db, const std::optional<py::str>& street,
                                    const std::optional<py::str>& city, const std::optional<py::str>& state,
                                    const std::optional<py::str>& zip, const std::optional<py::str>& firm,
                                    const std::optional<py::str>& number, const std::optional<py::str>& unit,
                                    bool exact, std::optional<long> max) {
  if (max && *max < 0) throw Error("max: must be 0 (no limit) or more, not " + std::to_string(*max));
  if (db->closed()) throw Error("the database " + db->path() + " is closed");
  struct Condition {
    const char* name;
    const std::optional<py::str>& value;
    corvdb::RequestField field;
  };
  const Condition conditions[] = {
      {"zip", zip, corvdb::kRequestZip},          {"firm", firm, corvdb::kRequestFirm},
      {"unit", unit, corvdb::kRequestUnit},       {"number", number, corvdb::kRequestPrimary},
      {"street", street, corvdb::kRequestStreet}, {"city", city, corvdb::kRequestCity},
      {"state", state, corvdb::kRequestState},
  };
  std::string request(corvdb::kSearchRequestSize, ' ');
  bool any = false;
  std::string typedNumber;
  for (const Condition& c : conditions) {
    const std::string text = SearchValue(c.name, c.value, c.field.length);
    if (text.empty()) continue;
    any = true;
    request.replace(c.field.offset, text.size(), text);
    if (c.field.offset == corvdb::kRequestPrimary.offset) typedNumber = text;
  }
  if (!any) throw Error("a search needs at least one of street, city, state, zip, firm, number, unit");
  return std::make_unique<Search>(db, std::move(request), exact, max.value_or(0), typedNumber);
}

// ---------------------------------------------------------------------------
// Standardize.

py::list Standardize(const std::shared_ptr<Database>& db, const std::vector<std::string>& addresses) {
  std::vector<std::vector<std::string>> results(addresses.size());
  {
    py::gil_scoped_release nogil;
    auto s = db->take();
    if (!s->matcher) s->matcher = std::make_unique<AddressMatcher>(s->reader, db->places(s->reader));
    for (std::size_t i = 0; i < addresses.size(); ++i)
      results[i] = corvellan::matcher::StandardizedFields(*s->matcher, addresses[i]);
  }
  py::list out(results.size());
  const auto& names = corvellan::matcher::kStandardizedFieldNames;
  for (std::size_t i = 0; i < results.size(); ++i) {
    py::dict d;
    for (std::size_t k = 0; k < names.size(); ++k) {
      // The matcher's answers are ASCII; its reasons may quote typed UTF-8.
      const std::string& v = results[i][k];
      PyObject* o = PyUnicode_DecodeUTF8(v.data(), static_cast<Py_ssize_t>(v.size()), "replace");
      if (!o) throw py::error_already_set();
      d[names[k]] = py::reinterpret_steal<py::str>(o);
    }
    out[i] = std::move(d);
  }
  return out;
}

}  // namespace

PYBIND11_MODULE(_corvdb, m) {
  m.doc() = "The compiled part of the corvdb package (use corvdb, not _corvdb).";
  static py::exception<Error> error(m, "Error");
  error.doc() = "A data file that cannot be opened or read, or an argument that is not allowed.";
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const Error& e) {
      error(e.what());
    }
  });

  py::list columns;
  for (const char* c : kRecordColumns) columns.append(c);
  m.attr("RECORD_FIELDS") = py::tuple(columns);
  py::list appended;
  for (const char* c : corvellan::matcher::kStandardizedFieldNames) appended.append(c);
  m.attr("STANDARDIZED_FIELDS") = py::tuple(appended);

  py::class_<Search>(m, "Search", "The records of a search, one dict at a time (an iterator).")
      .def("__iter__", &Search::iter, py::return_value_policy::reference_internal)
      .def("__next__", &Search::next);

  py::class_<Database, std::shared_ptr<Database>>(m, "Database", "An open zip.cvd (see corvdb.open).")
      .def_property_readonly("path", &Database::path, "The path of the data file.")
      .def("lookup", &Lookup, py::arg("zip4"))
      .def("search", &StartSearch, py::kw_only(), py::arg("street") = py::none(), py::arg("city") = py::none(),
           py::arg("state") = py::none(), py::arg("zip") = py::none(), py::arg("firm") = py::none(),
           py::arg("number") = py::none(), py::arg("unit") = py::none(), py::arg("exact") = false,
           py::arg("max") = py::none())
      .def("standardize", &Standardize, py::arg("addresses"))
      .def("close", &Database::close)
      .def_property_readonly("closed", &Database::closed);

  m.def("open", &Open, py::arg("path"));
}
