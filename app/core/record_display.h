// The record display: what picking a line of the results list does, how one
// ZIP+4 code becomes the shown address (FindAddress), and how the address
// panel, the "Zip + 4" tab and the "City State" tab are filled from the
// engine's records.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

#include "core/address_record.h"
#include "core/line_record.h"

namespace corvellan {

class ZipMain;

// Description of a record type code (trimmed, exact): G "General Delivery",
// H "Highrise", F "Firm", S "Street", P "PO Box", R "Rural Route/Highway
// Contract", M "Multi-Carrier Route"; any other code gives the empty text.
QString RecordTypeDescription(const QString& code);

// The text of the Primary box: "100 Main St" for one house number, the
// street alone for a range, "PO Box 123" for a box; a range takes the typed
// `numberFilter` as its number. Empty when the street is empty.
QString BuildPrimaryLine(const QString& street, const QString& low, const QString& high, const QString& recordType,
                         const QString& numberFilter);

// A value for an address box: trimmed, and upper-cased when the Upper Case
// option of insert field `index` is on.
QString CaseField(const QString& value, int index);

// The Plus4 box: the add-on when the record covers exactly one; for a PO Box
// range the typed box number zero-filled to four digits when it falls in the
// add-on range; else the add-on of a typed ZIP+4 code (`typedZip`, the ZIP
// search field) when it falls in the range; else empty.
QString DerivePlus4(const QString& addonLow, const QString& addonHigh, const QString& recordType,
                    const QString& numberFilter, const QString& typedZip);

// Whether the address is a non-delivery record: "ND" anywhere in its ZIP+4
// field. The label shows a marker instead of an address for those.
bool IsNonDeliveryRecord(const AddressRecord& record);

// The message for a failed FindAddress (-1 "Zip Code not found", -2 "Missing
// Profile entry", -3 "Error opening Data Files", others "Error No n").
QString FindAddressErrorText(std::int32_t code);

namespace display {

// Shows the record of the current line of the results list; also stops a
// search that is still running.
void FoundList_Click(ZipMain& window);
// Sends the shown address on: through the icon window when View, Icon for
// DDE is checked, else into the insert target.
void FoundList_DblClick(ZipMain& window);
// Looks up record `n` (0: the current record number) of the ZIP+4 code in
// the first 9 characters of `key` and shows it; failures are reported. With
// the `identity` of a listed line, the record shown is that line's record
// even where `n` names another one (see FetchLineRecord); `n` and the
// current record number are then set to its number.
void FindAddress(ZipMain& window, const QString& key, std::int32_t& n,
                 const std::optional<LineIdentity>& identity = std::nullopt);
// Fills the address panel from App().Address (which is left in display
// form), then the two record tabs and the label.
void ShowData(ZipMain& window);
void ShowZip4Rec(ZipMain& window);
void ShowCityStateRecord(ZipMain& window);

}  // namespace display

}  // namespace corvellan
