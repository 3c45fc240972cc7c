#include "player_status.h"

#include <algorithm>
#include <deque>
#include <utility>

#include "texts/utf8.h"

namespace qv {
namespace {

// Each fixed wording is converted once.
const Text& Fixed(const char* utf8) {
    static std::deque<std::pair<const char*, Text>> cache;  // a deque keeps references valid
    for (const auto& [key, text] : cache) {
        if (key == utf8)
            return text;
    }
    return cache.emplace_back(utf8, Gbk(utf8)).second;
}

// Characters a title must not carry into the status line: controls, which the line cannot show,
// and those that reorder the text around them (direction marks, embeddings, overrides and
// isolates) or break it (line and paragraph separators).
bool Invisible(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
           (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool Logged(const OpenLog& log, const char* what) {
    return std::any_of(log.begin(), log.end(),
                       [&](const std::string& l) { return l.find(what) != std::string::npos; });
}

}  // namespace

Text ComposeStatus(const PlayerState& s) {
    switch (s.phase) {
        case PlayerPhase::Idle:
            return Fixed("准备就绪");
        case PlayerPhase::Stopped:
            return Fixed("已停止");
        case PlayerPhase::Failed:
            return s.failure;
        case PlayerPhase::Connecting:
            if (s.attempt == 0)
                return Fixed("正在连接…");
            [[fallthrough]];
        case PlayerPhase::Waiting:
            return Gbk("连接中断，正在重新连接（第 " + std::to_string(s.attempt) + " 次）…");
        case PlayerPhase::Loaded:
            break;
    }
    if (s.playing) {
        Text text = Fixed("正在播放：") + (s.title.empty() ? s.link : s.title);
        if (s.kbps > 0)
            text += Gbk("（" + std::to_string(s.kbps) + " kbps）");
        return text;
    }
    if (s.pausedForCache && s.bufferPercent >= 0)
        return Gbk("正在缓冲 " + std::to_string(s.bufferPercent) + "%");
    return Fixed("正在缓冲…");
}

Text FailureText(Failure failure) {
    const char* reason = "无法打开该链接";
    switch (failure) {
        case Failure::CannotOpen:
            break;
        case Failure::NoServer:
            reason = "找不到服务器";
            break;
        case Failure::Refused:
            reason = "服务器拒绝连接";
            break;
        case Failure::TimedOut:
            reason = "连接超时";
            break;
        case Failure::NotFound:
            reason = "服务器上没有这个电台";
            break;
        case Failure::HttpError:
            reason = "服务器返回了错误";
            break;
        case Failure::NotAStream:
            reason = "这不是音频流";
            break;
        case Failure::NoAudio:
            reason = "等待音频超时";
            break;
        case Failure::PlaylistLoop:
            reason = "播放列表指回自身";
            break;
        case Failure::PlaylistTooDeep:
            reason = "播放列表嵌套过深";
            break;
        case Failure::PlaylistEmpty:
            reason = "播放列表中没有可播放的地址";
            break;
        case Failure::GaveUp:
            return Fixed("连接中断，已停止重试");
    }
    return Gbk(std::string("无法播放：") + reason);
}

bool NotAStream(bool formatError, const OpenLog& log) {
    return formatError || Logged(log, "recognize file format");
}

Failure ClassifyFailure(bool formatError, const OpenLog& log) {
    if (Logged(log, "resolve") || Logged(log, "name or service not known") ||
        Logged(log, "no address")) {
        return Failure::NoServer;
    }
    if (Logged(log, "refused"))
        return Failure::Refused;
    if (Logged(log, "timed out") || Logged(log, "timeout"))
        return Failure::TimedOut;
    if (Logged(log, "404"))
        return Failure::NotFound;
    if (Logged(log, "http error") || Logged(log, "server returned"))
        return Failure::HttpError;
    if (NotAStream(formatError, log))
        return Failure::NotAStream;
    return Failure::CannotOpen;
}

Text DecodeStreamTitle(std::string_view raw) {
    const std::string utf8 = ValidUtf8(raw) ? std::string(raw) : Utf8(raw);
    std::string kept;
    for (size_t at = 0; at < utf8.size();) {
        const Utf8Char c = Utf8CharAt(utf8, at);
        if (c.length == 0) {
            ++at;  // not UTF-8 after all: dropped, as Gbk() would drop it
            continue;
        }
        if (!Invisible(c.codePoint))
            kept.append(utf8, at, c.length);
        at += c.length;
    }
    Text t = Gbk(kept);
    const size_t b = t.find_first_not_of(' ');
    const size_t e = t.find_last_not_of(' ');
    return b == Text::npos ? Text() : t.substr(b, e - b + 1);
}

}  // namespace qv
