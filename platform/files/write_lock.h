#pragma once
// One writer at a time for a file that is read, edited and replaced whole, so that no instance
// edits a content another is about to replace (its edit would be lost). The lock is an flock on
// the file's folder: the file itself is replaced, and a lock on the old one would not stop a
// writer that opened the new one, nor one that creates the file.
#include <chrono>
#include <string>

#include "fd.h"

namespace qv {

// How long a writer waits for another one. One that holds the lock longer is stopped or hung:
// the write goes ahead without it rather than keep the program from closing.
inline constexpr std::chrono::milliseconds kWriteLockWait{3000};

// Holds the lock from construction to destruction. Where the folder cannot be opened or takes
// no locks, or after kWriteLockWait, it holds nothing and the write goes ahead unlocked.
class WriteLock final {
  public:
    explicit WriteLock(const std::string& path);

  private:
    Fd folder_;
};

}  // namespace qv
