#pragma once
// Shared test helpers. Every test process runs sealed off from the user's files: HOME, the XDG
// folders and the working folder point into a fresh temporary folder, kit::TempFolder(), made
// by main() and removed when the process ends, however it ends (see test_main.cpp).
#include <functional>
#include <string>

namespace qv::test {

// Pumps the Qt event loop until `done` holds or `timeoutMs` passes; returns whether it held.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs);
// Pumps the Qt event loop for a while.
void Pump(int ms);
[[nodiscard]] std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
// The folder that holds the built test binaries and tools (the build tree's bin folders).
[[nodiscard]] std::string BuildFolder();

}  // namespace qv::test
