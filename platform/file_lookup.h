// Finding files whose names are spelled in varying letter case (settings and
// documents name "Corvellan.Cfg", "docs/Zip_new.htm" ... while the file system
// is case-sensitive).
#pragma once

#include <optional>
#include <string>

namespace corvellan {

// The path of the entry `relative` below `dir`, each component of `relative`
// matched without regard to ASCII letter case ("docs/Zip_new.htm" finds
// "DOCS/zip_NEW.HTM"). The exact spelling is tried first; among other matches
// the byte-wise smallest name wins, and a component that is not the last must
// name a directory (symbolic links followed). The result is `dir`, a '/' (when
// `dir` does not end in one) and the matched components; an empty `dir` means
// the current directory and adds nothing in front. Empty and "." components of
// `relative` are skipped; a `relative` without any other component finds
// nothing. The last component may name any kind of entry.
std::optional<std::string> FindFileNoCase(const std::string& dir, const std::string& relative);

}  // namespace corvellan
