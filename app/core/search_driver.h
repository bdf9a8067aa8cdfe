// The address search: the search fields become the shared search request;
// the engine's matches that pass the result filters become lines of the
// results list; a street that finds nothing is retried with up to five
// rewritten forms. The loop yields to the event loop at every refresh of the
// screen (PacedListing), so the window repaints and Cancel (or a click on a
// listed line) stops it between two records.
#pragma once

#include <QString>

#include <cstdint>

#include "core/address_record.h"

namespace corvellan {

class ZipMain;

// The search fields as typed.
struct SearchInputs {
  QString zip;
  QString recipient;
  QString number;
  QString street;
  QString city;
  QString state;
};

// The request's ZIP field for the typed ZIP text: the text with "*" appended,
// cut to 5 characters and trimmed. Empty gives "*" (every ZIP code), four
// digits "1234*" (ten ZIP codes), a ZIP+4 code its five digits.
QString RequestZip(const QString& typedZip);

// Fills every field of the request: ZIP as above, firm, street, city and
// state as typed, the house number without leading zeros, the unit empty
// (units are filtered by the program, not by the engine).
void FillSearchRequest(SearchRequest& request, const SearchInputs& inputs);

// The street rewrite of attempt 2..6 (expand the first word, abbreviate it,
// drop a leading direction, abbreviate directions, drop a trailing one);
// empty when the attempt's rule does not apply.
QString RewriteStreet(int attempt, const QString& street);

// Status text while matches arrive: one dot more per match, back to
// "Searching" when it would pass 30 characters.
QString NextProgressText(const QString& text);

// The maximum number of lines for the text of the Search Qty box. Text that
// is not a whole number (only pasting can put it there) counts as empty,
// which means the default of 100; `boxText` is set to what the box should
// show then ("100"), else left alone.
std::int32_t MaxLines(const QString& text, QString* boxText);

// A lookup that fills the results list from the engine and yields between
// engine calls. It takes a new generation; superseded() tells, after a
// yield, that another lookup started meanwhile (which now owns the list and
// the engine) or that the window is closing.
class LookupScope {
 public:
  LookupScope();
  ~LookupScope();
  LookupScope(const LookupScope&) = delete;
  LookupScope& operator=(const LookupScope&) = delete;
  bool superseded() const;

 private:
  std::uint64_t generation_;
};

namespace search {

// The search button (and Enter in a search field). Does nothing while a
// search or a ZIP+4 examination is under way.
void SearchButton_Click(ZipMain& window);

}  // namespace search

}  // namespace corvellan
