#pragma once
// Whole-file replacement for files that hold the user's data: after a crash, a kill or a full
// disk the file holds its old bytes or its new ones, never a part. Paths are the file system's own
// bytes, used as they stand.
#include <string>
#include <string_view>

namespace qv {

// Creates the file or replaces its whole content: a locked temporary sibling (".name.XXXXXX") is
// written, synced and renamed over it, then the folder is synced. An existing regular file keeps
// its permission bits; a new one gets 0666 less the umask. A symbolic link at the path is
// replaced, not written through. Temporaries that killed writes left beside the file are removed
// first. No descriptor it opens is inherited by a program started meanwhile. Returns false when
// the file could not be written; the old file is then intact and no temporary is left.
bool ReplaceFileAtomically(const std::string& path, std::string_view bytes);

// Removes the temporaries that killed replacements of `path` left beside it. One that a running
// writer holds (locked) stays.
void RemoveLeftTemporaries(const std::string& path);

}  // namespace qv
