// The "List Organizations" tab: the firm and building names of one ZIP code,
// listed from the same engine search as the address search with only the ZIP
// code set, and the address behind a listed name.
//
// Organization lines hold the ZIP code in characters 1-5, the add-on in
// characters 7-10 and, after two blanks, the name in display case:
//
//   12345-6789  Acme Tool Co
//
// The list keeps its lines sorted as text, so by ZIP+4 code and then by name,
// whichever search added them. Each line keeps the rank the engine gave its
// record as item data (Qt::UserRole) and the record's identity
// (line_record.h), so that a click finds the same record again among the
// records of its ZIP+4 code.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

#include "core/address_record.h"

namespace corvellan {

class ZipMain;

// The record-type selection: the letter each checked caption begins with, in
// the order given ("&G = General Delivery" gives G, "F = F&irm" gives F: the
// access key need not be the record type's letter).
QString RecordTypeSelection(const QStringList& captions, const QList<bool>& checked);

// Whether a name in display case is an apartment's: it ends with "Apts" or
// begins with "Apt" (binary comparisons, so "Maple Apts", "Apt Rentals" and
// "Aptitude Inc", but not "APT RENTALS" or "Rapt Studio").
bool IsApartmentName(const QString& firm);

// The organization line of a delivered record: ZIP code, "-", the trimmed low
// add-on, two blanks, the firm or building name in display case.
QString OrgLine(const AddressRecord& record);

// The number of lines an organization search may add for the text of the
// Search Qty box: its leading number, rounded, within the 32-bit range;
// empty or non-numeric text gives 0.
std::int32_t OrgMaximum(const QString& text);

namespace org {

// The List button: runs the organization search for the ZIP code in OrgZip.
// Does nothing while another lookup is under way.
void OrgSearch_Click(ZipMain& window);
// Shows the address of the current line of the organization list.
void OrgList_Click(ZipMain& window);
// Back to the "Address" tab, where the address of the clicked line shows.
void OrgList_DblClick(ZipMain& window);

}  // namespace org

}  // namespace corvellan
