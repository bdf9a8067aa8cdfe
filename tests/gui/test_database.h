// One small ZIP+4 database for every GUI test of a process, built with the
// project's writer from handmade USPS records. The engine opens its database
// once per process, so all tests that reach the engine share this one.
//
// ZIP 12345 SPRINGFIELD IL (block rows in this order):
//   1 S MAIN ST 100-198 E          add-on 1001
//   2 F ACME TOOL CO, MAIN ST 150  add-on 1002
//   3 S MAIN ST 101-199 O          add-ons 0001-0099
//   4 H MAIN ST 200, APT 1-9 O     add-on 1003
//   5 F BAKER BROTHERS, MAIN ST 120  add-on 1001
//   6 S OAK AVE 1-99 O             add-ons 1000-1099
//   7 P PO BOX 100-199             add-ons 0100-0199
//   8 P PO BOX 200                 add-on 0200
//   9 S AVENUE J 1-99 O            add-on 2001
//  10 G GENERAL DELIVERY           add-on 9999
// ZIP 12350 SHELBYVILLE IL: S MAIN ST 1-99 O, add-on 0001.
// ZIP 20000 to 22999 RIVERTON OH: one S BROADWAY 1-99 O record each, add-on 0001.
// ZIP 40000 to 40199 BELLWOOD KY: 100 records each (20,000 in all), add-ons
// 0001 to 0100, every record type (record i of a ZIP code: type by i % 8 of
// S H F P R M G S; LARCH ST, firms LARCH WORKS i, PO BOX, RR 1).
// ZIP 30301 LAKEVIEW GA, add-on ranges that overlap (search rank / lookup
// number of each record for the key of its line, ZIP and low add-on):
//   1 S ELM ST 100-198 E                      add-ons 8750-8759  rank 1 / 1
//   2 S ELM ST 101-199 O                      add-ons 8752-8760  rank 1 / 2
//   3 F LAKEVIEW CLINIC, ELM ST 150           add-ons 8752-8753  rank 2 / 3
// ZIP 12360 EASTON IL (block rows in this order):
//   1 S ELM ST 1-99 O                      add-ons 0001-0099
//   2 F ZEPHYR LABS, ELM ST 10             add-on 0010
//   3 F ACORN BAKERY, ELM ST 12, STE 1     add-on 0012
//   4 F ACORN BAKERY, ELM ST 12, STE 2     add-on 0012
//   5 F MAPLE APTS, ELM ST 20              add-on 0020
//   6 F APT RENTALS, ELM ST 21             add-on 0021
//   7 F APTITUDE INC, ELM ST 22            add-on 0022
//   8 H ELM TOWER, ELM ST 30, APT 1-20     add-on 0030
//   9 F JOE'S "BEST" DELI, ELM ST 40, STE 5  add-on 0040
//  10 S CEDAR ST 50                        add-on 0050
//  11 F BRIGHT IDEAS CO, CEDAR ST 50       add-on 0050
// ZIP 12340 WESTFIELD IL: F OMEGA SUPPLY, CEDAR ST 5 (0005); F ALPHA WIDGETS,
// CEDAR ST 6 (0006).
#pragma once

#include <QString>

#include "test_environment.h"

namespace corvellan::test {

inline constexpr int kBroadwayZipCodes = 3000;
inline constexpr int kLargeStateFirstZip = 40000;
inline constexpr int kLargeStateZipCodes = 200;
inline constexpr int kLargeStateRecordsPerZip = 100;

// The directory that holds the database (built at the first call).
QString TestDatabaseDir();

// The usual installation, with the settings pointing at the test database.
void InstallWithTestDatabase(TestEnvironment& env);

}  // namespace corvellan::test
