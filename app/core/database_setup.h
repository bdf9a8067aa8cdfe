// Creating and replacing the database from the program, and where an
// installed program keeps its files.
//
// First start: when Corvel.ini configures no data directory at all, start-up
// offers to create a database (the sample database, or one built from USPS
// files) in DefaultDatabaseDir() and, once it exists, writes that directory
// as [Directories] Data. A data directory that is configured but lacks
// zip.cvd is still reported as missing data files.
//
// Update: File, Update Database builds a new zip.cvd beside the one in use
// and renames it over it. The engine keeps the old file mapped (the rename
// leaves that mapping valid), so the program goes on answering from the old
// file until SwitchToNewDatabase: when no lookup is under way it makes the
// engine reopen (ReopenZipDatabase), clears the result lists, whose lines
// name records of the old file, and shows the new data date.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace corvellan {

class ZipMain;

// $XDG_DATA_HOME/corvellan/ (default ~/.local/share/corvellan/), ending in '/'.
QString DefaultDatabaseDir();

// The installed program files (share/corvellan beside the program's bin/),
// ending in '/', when that directory holds Corvellan.Cfg; else empty.
QString InstalledProgramDir();
void setInstalledProgramDirForTesting(const QString& dir);  // empty: the real one

// First start without a configured data directory: offers to create a
// database and returns the data directory now written to Corvel.ini, or
// empty when the user declined or it could not be built. In test mode
// (MessageBox::testMode) no window opens: the handler decides (none: declined).
QString SetUpFirstDatabase(QWidget* parent);
void setFirstStartHandlerForTesting(std::function<QString()> handler);

// File, Update Database: opens the update window (the one already open, if any).
void OpenDatabaseUpdate(ZipMain& window);

// Makes the running program answer from the zip.cvd now in its data
// directory, waiting until no lookup is under way. `done` gets false when the
// engine library cannot reopen (the new file is used after a restart).
void SwitchToNewDatabase(ZipMain& window, std::function<void(bool)> done = {});

}  // namespace corvellan
