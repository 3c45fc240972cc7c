#include "asx.h"

#include <algorithm>

#include "texts/ascii.h"

namespace qv {
namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string DecodeEntities(std::string_view s) {
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    for (size_t i = 0; i < s.size();) {
        bool replaced = false;
        if (s[i] == '&') {
            for (const auto& [name, c] : kEntities) {
                if (s.substr(i, name.size()) == name) {
                    out += c;
                    i += name.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced)
            out += s[i++];
    }
    return out;
}

// The value of attribute `name` inside one tag's text (after its name), or empty.
std::string Attribute(std::string_view tag, std::string_view name) {
    const std::string lower = AsciiLowered(tag);
    for (size_t at = lower.find(name); at != std::string::npos; at = lower.find(name, at + 1)) {
        if (at > 0 && !IsSpace(lower[at - 1]))
            continue;
        size_t i = at + name.size();
        while (i < tag.size() && IsSpace(tag[i])) ++i;
        if (i >= tag.size() || tag[i] != '=')
            continue;
        ++i;
        while (i < tag.size() && IsSpace(tag[i])) ++i;
        if (i >= tag.size())
            return {};
        const char quote = tag[i];
        size_t end;
        if (quote == '"' || quote == '\'') {
            end = tag.find(quote, ++i);
        } else {
            end = i;
            while (end < tag.size() && !IsSpace(tag[end])) ++end;
        }
        if (end == std::string_view::npos)
            return {};
        return DecodeEntities(tag.substr(i, end - i));
    }
    return {};
}

}  // namespace

bool LooksLikeAsx(std::string_view body) {
    size_t i = 0;
    if (body.substr(0, 3) == "\xEF\xBB\xBF")
        i = 3;  // a UTF-8 byte-order mark
    for (;;) {
        while (i < body.size() && IsSpace(body[i])) ++i;
        // Skip an XML declaration or a comment in front of the root.
        if (body.substr(i, 2) == "<?" || body.substr(i, 4) == "<!--") {
            const bool comment = body[i + 1] == '!';
            size_t end = body.find(comment ? "-->" : "?>", i);
            if (end == std::string_view::npos)
                return false;
            i = end + (comment ? 3 : 2);
            continue;
        }
        break;
    }
    return StartsWithNoCase(body.substr(i), "<asx") && i + 4 < body.size() &&
           (IsSpace(body[i + 4]) || body[i + 4] == '>');
}

std::vector<std::string> AsxReferences(std::string_view body) {
    std::vector<std::string> refs;
    for (size_t i = body.find('<'); i != std::string_view::npos; i = body.find('<', i + 1)) {
        if (body.substr(i, 4) == "<!--") {
            i = body.find("-->", i);
            if (i == std::string_view::npos)
                break;
            continue;
        }
        if (!StartsWithNoCase(body.substr(i + 1), "ref") || i + 4 >= body.size() ||
            !IsSpace(body[i + 4])) {
            continue;
        }
        const size_t end = body.find('>', i);
        if (end == std::string_view::npos)
            break;
        std::string href = Attribute(body.substr(i + 4, end - i - 4), "href");
        size_t b = 0;
        while (b < href.size() && IsSpace(href[b])) ++b;
        size_t e = href.size();
        while (e > b && IsSpace(href[e - 1])) --e;
        href = href.substr(b, e - b);
        if (StartsWithNoCase(href, "mms://"))
            href = "mmsh://" + href.substr(6);
        // One address per line in the playlist: no control byte may break it up or cut it.
        const bool clean = std::none_of(
            href.begin(), href.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
        if (!href.empty() && clean)
            refs.push_back(href);
        i = end;
    }
    return refs;
}

}  // namespace qv
