#pragma once
// The screens and the web browser.
#include "texts/text.h"

namespace qv {

[[nodiscard]] int ScreenWidth();
[[nodiscard]] int ScreenHeight();
// Whether any pixel of the rectangle lies on a screen (any of them: the union of all screens,
// not the box around them). Safe for any int.
[[nodiscard]] bool OnAnyScreen(int left, int top, int width, int height);
// Opens the address in the default browser; a bare host name opens as http://host.
bool OpenWebAddress(const Text& address);
// Tests watch the addresses instead of starting a browser.
void SetWebOpener(bool (*opener)(const Text& address));

}  // namespace qv
