// The text rules of the address link: how the partner's items become search
// values, and how the address panel becomes the items sent back.
//
// Pure functions on the program's strings; no window and no bus.
#pragma once

#include <QString>

#include <array>

namespace corvellan {

// The eight link fields, in element order. Each has a settings key of the
// same name ("City", "City Check") and a box of the address panel.
enum LinkElement : int {
  kLinkRecipient = 0,
  kLinkSecondary = 1,
  kLinkPrimary = 2,
  kLinkUrbanization = 3,
  kLinkCity = 4,
  kLinkState = 5,
  kLinkZipCode = 6,
  kLinkPlus4 = 7,
};
inline constexpr int kLinkFieldCount = 8;

// Settings key and check box caption of element `i` ("Recipient" ... "Plus4").
QString LinkFieldName(int i);

// An application name or topic as the settings window shows it: when the
// trimmed text is not empty, lower-cased with its first character upper-cased
// ("MYAPP" -> "Myapp"); an empty or blank text is returned as it is.
QString CapitalizeFirst(const QString& text);

// The text trimmed, keeping only the characters whose upper-case form is in
// the set of `mode` (letter case of kept characters unchanged):
//   1 letters, 2 letters and blank, 3 letters and digits,
//   4 letters, digits, blank and / - + ( ); any other mode keeps nothing.
QString FilterChars(const QString& text, int mode);

// Splits a unit off a street line: the first of the words STE, FLAT, APPT
// (tried in this order) found with one blank on each side of it in the
// upper-cased line ends the line; the trimmed text after it is returned and
// `line` keeps its trimmed text before it. Without a hit the result is empty
// and `line` is unchanged.
QString SearchSecData(QString& line);

// The search values read from the partner's items.
struct LinkSearchValues {
  QString number;     // house number
  QString street;
  QString secondary;  // unit number
};

// The unit of a secondary item: the upper-cased, filtered text from the
// first position at which the rest reads as a positive number ("APT 3B" ->
// "3B"), trimmed; empty when there is none.
QString SecondaryFromItem(const QString& item);

// Splits a primary item: when the upper-cased, filtered text starts with a
// positive number and holds a blank, the house number is the text before the
// first blank and the street the rest; a unit word in the street (see
// SearchSecData) gives the secondary unless `values.secondary` is already
// set. Otherwise number and street are left empty.
void SplitPrimary(const QString& item, LinkSearchValues& values);

// The ZIP code item as the search form takes it: nine digits are a ZIP+4
// code and get the hyphen that typing them inserts ("530012812" ->
// "53001-2812"); anything else is passed on as it is.
QString ZipFromItem(const QString& item);

// The address panel, as it is sent back.
struct PanelAddress {
  QString recipient, secondary, primary, urbanization, city, state, zip, plus4;
};

// The merge flags of elements 1, 5 and 7.
struct LinkMerges {
  bool secondaryIntoPrimary = false;  // "Add to Primary"
  bool stateIntoCity = false;         // "Add to City"
  bool plus4IntoZip = false;          // "Add to ZipCode"
};

// The text of each link field before it is sent: the panel's boxes, with a
// merged field appended to its partner field (a blank, or "-" for the add-on,
// in front of it, trailing blanks removed) and emptied itself. An empty add-on
// merged into the ZIP code leaves a trailing "-".
std::array<QString, kLinkFieldCount> SendBackTexts(const PanelAddress& panel, const LinkMerges& merges);

}  // namespace corvellan
