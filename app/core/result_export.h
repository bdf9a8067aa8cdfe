// File, Export: the selected lines of the results list, or of the
// organization list when its tab is in front, written to a comma-delimited
// text file with one address per line, as the address panel shows it.
//
// File format (one header line, then one line per exported address):
//
//   "Recipient","Secondary","SecLow",...,"RecType","RecDesc"<CR><LF>
//   "Acme Tool Co","","","","","150 Main St",...,"F","Firm"<CR><LF>
//
// Every line holds 18 values in the order of ExportHeader(). Each value is
// enclosed in double quotes, and a double quote inside a value is written
// twice (RFC 4180), so that JOE'S "BEST" DELI reads back whole in any CSV
// reader; nothing else is escaped. Values are separated by a comma without
// blanks, and every line ends with CR LF. The text is single-byte Latin-1,
// the engine's character set, without a byte order mark; a character outside
// it is written as "?".
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdio>

namespace corvellan {

class ZipMain;

// The column names of the header line.
QStringList ExportHeader();

// One line of the file, CR LF included.
QByteArray ExportLine(const QStringList& values);

// "Unable to complete export - Error " followed by the error number with its
// leading blank ("... - Error  13").
QString ExportErrorText(int error);

// The export file: created anew (or truncated), written line by line through
// a buffer. Each call returns false on failure, and error() then holds the
// system's error number (errno).
class ExportFile {
 public:
  ExportFile() = default;
  ~ExportFile();
  ExportFile(const ExportFile&) = delete;
  ExportFile& operator=(const ExportFile&) = delete;

  bool open(const QString& path);
  bool write(const QStringList& values);
  // Writes out what is buffered and closes the file.
  bool close();
  int error() const { return error_; }

 private:
  bool fail();

  std::FILE* file_ = nullptr;
  int error_ = 0;
};

namespace exporting {

// File, Export: asks for the file, then makes each selected line of the list
// the current one in turn (which shows its record as a click does) and writes
// the address panel's values. Cancel stops it; the lines written so far stay.
void MnuFileExport_Click(ZipMain& window);

}  // namespace exporting

// How often the export lets the window repaint and take clicks (Cancel), in
// milliseconds of work between two turns of the event loop. 0 turns it once
// per line (tests and the benchmark's comparison). Returns the previous value.
int SetExportYieldMilliseconds(int milliseconds);

}  // namespace corvellan
