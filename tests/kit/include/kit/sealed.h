#pragma once
// Sealed folders: HOME and the XDG folders pointing into a fresh temporary folder, so nothing a
// test or a benchmark runs reads or writes the user's files. And this process's own temporary
// folder, where the kit's helpers keep their files.
#include <string>
#include <vector>

namespace qv::kit {

// Makes home/, cache/, config/, data/ and runtime/ (the owner's alone) inside the folder.
bool SealFolder(const std::string& folder);
// A fresh folder "quorvin-<name>-XXXXXX" under $TMPDIR (or /tmp), sealed as SealFolder() does;
// empty when it cannot be made.
[[nodiscard]] std::string MakeSealedFolder(const std::string& name);
// HOME and XDG_* pointing into a sealed folder, as "NAME=value" entries.
[[nodiscard]] std::vector<std::string> SealedEnvironment(const std::string& folder);
// Sets the same variables in this process, and makes the folder its TempFolder().
void SealThisProcess(const std::string& folder);

// This process's temporary folder (absolute, no trailing slash): the one SealThisProcess()
// was given, or else one made on first use and removed when the process exits normally.
[[nodiscard]] const std::string& TempFolder();
// A new empty folder inside TempFolder().
[[nodiscard]] std::string NewFolder(const std::string& name);

}  // namespace qv::kit
