#pragma once
// The three fixed web addresses (reserved example domain).
namespace qv {
inline constexpr const char* kContactPage = "https://im.quorvin.example/contact?account=quorvin";
inline constexpr const char* kSuggestionPage = "https://home.quorvin.example/~quorvin/suggest.html";
inline constexpr const char* kWebsite = "quorvin.example";
}  // namespace qv
