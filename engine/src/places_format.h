// The place names file beside a zip.cvd ("zip.cvd.places"): every City-State
// name of every ZIP code of the database with its state, written by the
// build, checked by corvdb check and read by the address matcher. zip.cvd
// itself keeps only the last-line name each ZIP+4 record points to.
//
//   file   := header LF (zip TAB state TAB kind TAB name LF)*
//   header := "corvellan-places 1 size=S zips=Z records=R names=N sha256=HEX"
//
// S, Z, R are the database's size in bytes, ZIP codes and detail records,
// HEX its SHA-256 (64 lower-case hex digits), N the number of name lines that
// follow. zip is 5 digits (a ZIP code of the database), state 2 capital
// letters, name 1..28 characters of 0x20..0x7F (the bytes a City-State record may
// hold) without a blank at either end. kind: P a last-line name (the City-State record is its own
// preferred last line), A another name the Postal Service accepts for mail
// (mailing name indicator other than N), N a name it does not accept
// (indicator N), U a Puerto Rico urbanization name (facility code U).
// Every line, the last included, ends with LF. Lines go by ZIP code, then kind in the order P A N U, then name; a name
// is listed once per ZIP code and state, under its first kind in that order.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvdb {

inline constexpr const char* kPlacesFileSuffix = ".places";
inline constexpr const char* kPlacesFormatName = "corvellan-places";
inline constexpr int kPlacesFormatVersion = 1;
// Bounds a reader holds the file to: the longest line (the header included)
// and the most name lines.
inline constexpr std::size_t kPlacesMaxLine = 256;
inline constexpr uint64_t kPlacesMaxNames = 2000000;
inline constexpr std::size_t kPlacesMaxName = 28;

}  // namespace corvdb
