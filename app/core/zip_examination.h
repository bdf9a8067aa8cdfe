// ZIP+4 examination: a complete ZIP+4 code typed into the ZIP search field
// lists every delivery record of that code that passes the result filters,
// each line numbered by the record's place among all records of the code
// (so a filtered record leaves a gap, and a click still finds its record).
#pragma once

#include <QString>

namespace corvellan {

class ZipMain;

// The lookup key of a typed ZIP+4 text (trimmed, 10 characters): its first 5
// characters, trimmed, followed by its last 4, trimmed. The character between
// them is not looked at.
QString ExaminationKey(const QString& typed);

namespace examination {

// The ZIP search field changed: runs the examination when the trimmed text
// is exactly 10 characters long, else does nothing. The listing yields to
// the event loop at every refresh of the screen (PacedListing), so Cancel or
// a click on a listed line stops it between two records; a ZIP+4 typed
// meanwhile replaces it.
void SearchZip_Change(ZipMain& window);

}  // namespace examination

}  // namespace corvellan
