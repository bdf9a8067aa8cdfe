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
#include <optional>

namespace corvellan {

class ZipMain;

// The column names of the header line.
QStringList ExportHeader();

// One line of the file, CR LF included.
QByteArray ExportLine(const QStringList& values);

// "Unable to complete export - " followed by what went wrong, in words.
QString ExportErrorText(const QString& reason);

// The export file. The lines go to a new file beside the target (same
// directory, hidden name), which is renamed over the target when the export
// is complete: an existing file is replaced whole, with its permissions, or
// left as it was when the export fails. Never written to: the file given as
// protected at open() (the database the engine has mapped, recognised by
// device and inode whatever the name or link it is reached by) and anything
// that is not a regular file (a FIFO would block until a reader comes, a
// device takes the text). Each call returns false on failure; errorText()
// then says why in words, and error() holds the system's error number
// (errno), or 0 for a target refused by these rules.
class ExportFile {
 public:
  ExportFile() = default;
  ~ExportFile();
  ExportFile(const ExportFile&) = delete;
  ExportFile& operator=(const ExportFile&) = delete;

  bool open(const QString& path, const QString& protectedFile = QString());
  bool write(const QStringList& values);
  // Writes out what is buffered and puts the file in the target's place.
  bool close();
  // Closes and removes the new file; the target stays as it was.
  void discard();
  int error() const { return error_; }
  QString errorText() const { return errorText_; }

 private:
  bool fail();
  bool refuse(const QString& reason);
  // False (with the reason) when `target_` may not be written; notes the
  // permissions of the file there.
  bool targetAllowed();
  void RemoveTemporary();

  std::FILE* file_ = nullptr;
  QByteArray target_;     // the path renamed over, links resolved
  QByteArray temporary_;  // the file being written
  QByteArray protected_;
  QString name_;  // the target's file name, for messages
  std::optional<unsigned> existingMode_;
  int error_ = 0;
  QString errorText_;
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
