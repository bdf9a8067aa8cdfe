// The fields of an address as the program's File, Export writes them: the
// same 18 column names in the same order, filled from one 250-byte output
// address record of the engine. The program builds its columns from its
// address panel; this is the same composition without Qt, for corvdb serve.
// The names must stay those of the export's header line (a test compares
// them with the program's own list).
#pragma once

#include <array>
#include <string>

namespace corvdb::tools {

inline constexpr std::array<const char*, 18> kExportColumns{
    "Recipient", "Secondary", "SecLow",   "SecHigh",  "Sec-OE",  "Primary", "PriLow",  "PriHigh", "Pri-OE",
    "Urbanization", "City",   "State",    "ZipCode",  "Plus4",   "ZipLow",  "ZipHigh", "RecType", "RecDesc"};

// What was typed along with the record's lookup or search, which fills the
// parts of a range record the record alone leaves open.
struct TypedContext {
  std::string number;  // the house or box number searched for
  std::string unit;    // the unit searched for ("APT 5")
  std::string addOn;   // the add-on of a looked-up ZIP+4 code
};

// Description of a record type code: G "General Delivery", H "Highrise",
// F "Firm", S "Street", P "PO Box", R "Rural Route/Highway Contract",
// M "Multi-Carrier Route"; any other code gives "".
std::string RecordTypeDescription(const std::string& code);

// The 18 values, in the order of kExportColumns, trimmed, in UTF-8 (the
// record's text is Latin-1):
// Names (firm, street line, unit designator, urbanization, city) are in the
// program's display case (DisplayCase).
//   Recipient      the firm
//   Secondary      unit designator and number when the record covers one
//                  unit, else the designator and the unit searched for
//   SecLow/SecHigh/Sec-OE, PriLow/PriHigh/Pri-OE, ZipLow/ZipHigh  as stored
//   Primary        "100 Main St" for one house number (the number searched
//                  for with a range), "PO Box 123" for a box, the street alone
//   Urbanization, City, State, RecType  as stored
//   ZipCode        the five digits
//   Plus4          the add-on when the record covers one; for a PO Box range
//                  the box searched for, zero-filled, when it lies in the
//                  range; else the looked-up add-on when it lies in the range
//   RecDesc        the description of RecType
std::array<std::string, 18> ExportValues(const char* record, const TypedContext& typed);

// A name as the program shows it: each word capitalised ("Main St"), the
// small words lower case ("Avenue of the Stars"), "PO Box", and directions
// and rural routes at either end in capitals ("NE Main St NW", "RR 2").
std::string DisplayCase(const std::string& text);

// Latin-1 bytes as UTF-8.
std::string Latin1ToUtf8(const std::string& text);

}  // namespace corvdb::tools
