// Where a build may write, decided before anything is written.
//
// The output named by the caller is followed through symbolic links to the
// file that is really replaced (the link itself stays), so that the new
// database lands where the link points. An existing output must be a regular
// file: a device, a FIFO, a socket or a folder is never renamed over. It must
// not be one of the inputs under any name (same device and inode, so hard
// links and symbolic links count). Missing folders on the way to it are
// created; a failed build removes those it created. The replaced file's mode
// and owner are handed to the new file.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace corvdb::builder {

struct OutputTarget {
  std::string path;        // the file that is replaced (the end of the link chain)
  std::string checksum;    // path + ".sha256"
  std::string places;      // path + ".places" (places_format.h)
  bool exists = false;     // path exists (a regular file)
  mode_t mode = 0;         // its permission bits, when it exists
  uid_t uid = 0;
  gid_t gid = 0;
  std::vector<std::string> created;  // folders created for it, innermost last

  // Removes the folders in `created` that are empty (after a failed build).
  void RemoveCreatedFolders() const;
};

// Resolves `output` and checks it against `inputs` (paths of input files on
// disk). False with one line in *error when the output may not be written.
// Creates missing folders only when everything else is fine.
bool PrepareOutput(const std::string& output, const std::vector<std::string>& inputs, OutputTarget* target,
                   std::string* error);

}  // namespace corvdb::builder
