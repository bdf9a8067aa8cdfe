// Process-wide values of the program, set during start-up and read everywhere.
#pragma once

#include <QString>

#include <cstdint>

#include "core/address_record.h"

namespace corvellan {

struct AppGlobals {
  // The settings file, always addressed by bare name (it lives in the
  // profile directory, see platform/profile.h).
  QString IniFile = QStringLiteral("Corvel.ini");
  // Directory that holds zip.cvd; letter case kept, always ends with '/'.
  QString DataDir;
  // Directory that holds Corvellan.Cfg, the other .cfg files and docs/;
  // letter case kept, always ends with '/'.
  QString ProgramDir;
  // Full path of the active insert-settings file.
  QString CfgFile;
  // Which record of the current ZIP+4 code is shown (1-based).
  std::int32_t CurrentRecord = 1;
  // Set when the main window is asked to close (by the user or by File, Exit).
  bool Closing = false;
  // Set by Cancel (and by a click in the results) to stop the running search.
  bool CancelFlag = false;
  // Pointer shape the frames restore while a search runs: 11 hourglass, 0 default.
  int BusyPointer = 0;
  // Set by Cancel to stop a running export.
  bool ExportCancelled = false;
  // Result filters kept current by the search fields; empty imposes nothing.
  QString RecipientFilter;  // recipient text, trimmed
  QString UnitFilter;       // secondary (unit) text, trimmed
  QString NumberFilter;     // house number, trimmed, leading zeros removed
  // Characters delivered by the last GetIni.
  int LastIniLength = 0;

  // The address the engine delivered last, in display form once shown.
  AddressRecord Address;
  // The request of the last address search.
  SearchRequest Request;
  // The raw USPS records behind the shown address (ZIP+4, City-State and
  // urbanization City-State record).
  Zip4Record Zip4Raw;
  CityStateRecord CityStateRaw;
  CityStateRecord UrbanizationRaw;
  // The last result of ZipcodeToAddress.
  std::int32_t LastCount = 0;

  // Lookups that fill the results list from the engine (the address search,
  // the ZIP+4 examination) yield to the event loop between engine calls.
  // Each one that starts takes the next generation; one that finds a newer
  // generation after a yield has been superseded and stops at once.
  std::uint64_t LookupGeneration = 0;
  // How many such lookups are under way (nested through the yields).
  int LookupsRunning = 0;
};

// The one instance of the process.
AppGlobals& App();

// Back to the values of a fresh process (tests).
void ResetAppGlobals();

}  // namespace corvellan
