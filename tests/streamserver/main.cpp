// qv-streamserver: a loopback HTTP radio station for tests.
//
//   qv-streamserver --port N --log FILE [--icy-title TEXT] [--icy-charset gbk|utf8]
//                   [--icy-metaint BYTES] [--icy-title-every SECONDS] [--icy-changes-only]
//                   [--icy-first-title-after BLOCKS] [--icy-metaint-header TEXT]
//                   [--files DIR] [--ref URL]... [--times] [--paced-rate BYTES]
//                   [--live-window N]
//
// Binds 127.0.0.1:N (0 picks a free port), prints "PORT <n>" on stdout once listening, and
// appends "<METHOD> <path>" to FILE for every request (one line each, flushed), so a test can
// tell which station was tuned; with --times each line ends in a tab and the CLOCK_MONOTONIC
// time the request arrived, in microseconds. Clients are served concurrently. SIGTERM ends it.
//
// Paths:
//   any other path  an endless WAV tone (8 kHz mono 16-bit PCM, 440 Hz, 128 kbit/s), paced in
//                   real time after an 8 s head start (so probing the stream is quick); with
//                   --icy-title and a client sending "Icy-MetaData: 1", ICY metadata every
//                   --icy-metaint bytes (default 8000), the title sent in --icy-charset (default
//                   utf8; the argument is UTF-8) in every metadata block, or as asked:
//                     --icy-title-every S  the title is "TEXT N", N = 0, 1, 2... counting the
//                                          whole S-second stretches of audio before the block
//                                          (S may have a fraction): it changes every S s played
//                     --icy-changes-only   a title goes only into the first block after it
//                                          changed; the others are empty (length 0), as
//                                          Icecast and Shoutcast send them
//                     --icy-first-title-after B  the first B blocks are empty (no title known
//                                          yet); the first title is in block B+1
//                   The head start's blocks reach a player while it opens the stream: a title
//                   meant to arrive during play lies beyond its 128000 bytes (with metaint
//                   16000, B of 8 or more). With --icy-metaint-header TEXT (no --icy-title
//                   needed), a client asking for metadata is told "icy-metaint: TEXT" as written
//                   (e.g. "-5"), and the body is the tone alone, without metadata
//   /stall...       as a stream for two seconds, then a byte every two seconds (never enough
//                   to play on)
//   /drop...        about one second of audio, then the connection closes
//   /file...        a finite one-second WAV file with its Content-Length, sent whole
//   /404...         404 Not Found
//   /html...        a text/html page, not a stream
//   /silent...      audio headers, then nothing on an open socket
//   /noise...       audio/mpeg headers, then endless bytes that are not audio
//   /pls/REST       a .pls playlist whose one entry is http://<host>/REST
//   /m3u/REST       an .m3u playlist whose one entry is http://<host>/REST
//   /asx/REST       an ASX playlist whose one entry is http://<host>/REST?a=1&b=2
//   /ref/KIND[/REST]  a KIND (pls, m3u, asx; hls: a master playlist) playlist of the --ref
//                   URLs, then http://<host>/REST
//   /loop/KIND/...  a KIND playlist whose one entry is the playlist itself
//   /ping/KIND/NAME a KIND playlist whose one entry is /pong/KIND/NAME, which leads back here
//   /deep/KIND/N    a KIND playlist whose one entry is /deep/KIND/N+1, without end
//   /many/KIND/N    a KIND playlist of N entries /404/1 ... /404/N
//   /files/NAME     the file NAME of the --files folder (an HLS playlist and its segments)
//   /paced/BURST/NAME  the file NAME of the --files folder (an MP3), looped without end: BURST
//                   bytes at once, as Icecast servers send on connect, then --paced-rate bytes a
//                   second (default 16000, 128 kbit/s), in 10 ms steps; BURST 0 is strict real rate
//   /live/CHANNEL/NAME.m3u8  a live HLS playlist made from the whole-stream playlist NAME.m3u8 of
//                   the --files folder: a window of --live-window segments (default 5) that
//                   slides on in real time from the channel's first request, as if the stream
//                   had been on the air for that window already; no end until the last segment
//   /live/CHANNEL/NAME  the file NAME of the --files folder (a segment)
#include <arpa/inet.h>
#include <fcntl.h>
#include <iconv.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "texts/ascii.h"

namespace {

struct Options {
    int port = 0;
    std::string log;
    std::string icyTitle;  // already in the charset to send
    int metaint = 8000;
    double icyTitleEvery = 0;  // seconds of audio; 0 keeps one title
    bool icyChangesOnly = false;
    int icyFirstTitleAfter = 0;     // empty blocks before the first title
    std::string icyMetaintHeader;   // a declared interval, with no metadata sent
    std::string files;              // the folder /files/NAME serves
    std::vector<std::string> refs;  // the entries of /ref/KIND
    bool times = false;
    int pacedRate = 16000;  // bytes a second of /paced
    int liveWindow = 5;     // segments in a /live playlist
};

Options g_opt;
int g_logFd = -1;

constexpr int kRate = 8000;
constexpr int kBytesPerSecond = kRate * 2;
constexpr size_t kWavHeaderBytes = 44;

std::string ToGbk(const std::string& utf8) {
    iconv_t cd = iconv_open("GB18030", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return utf8;
    std::string out(utf8.size() * 2 + 8, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    iconv(cd, &in, &inLeft, &dst, &dstLeft);
    iconv_close(cd);
    out.resize(out.size() - dstLeft);
    return out;
}

bool SendAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t w = ::send(fd, p, n, MSG_NOSIGNAL);
        if (w <= 0)
            return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

bool SendAll(int fd, const std::string& s) {
    return SendAll(fd, s.data(), s.size());
}

void PutLe(std::string& s, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

// The default data size stands for "endless".
std::string WavHeader(uint32_t dataSize = 0x7ffff000u) {
    std::string h = "RIFF";
    PutLe(h, dataSize + 36, 4);
    h += "WAVEfmt ";
    PutLe(h, 16, 4);
    PutLe(h, 1, 2);  // PCM
    PutLe(h, 1, 2);  // mono
    PutLe(h, kRate, 4);
    PutLe(h, kBytesPerSecond, 4);
    PutLe(h, 2, 2);
    PutLe(h, 16, 2);
    h += "data";
    PutLe(h, dataSize, 4);
    return h;
}

// Writes the audio body, interleaving ICY metadata blocks when asked to.
class AudioWriter {
  public:
    AudioWriter(int fd, bool icy) : fd_(fd), icy_(icy) {}

    bool Write(std::string bytes) {
        size_t pos = 0;
        while (pos < bytes.size()) {
            size_t n = bytes.size() - pos;
            if (icy_)
                n = std::min(n, static_cast<size_t>(g_opt.metaint) - sinceMeta_);
            if (!SendAll(fd_, bytes.data() + pos, n))
                return false;
            pos += n;
            sent_ += n;
            sinceMeta_ += n;
            if (icy_ && sinceMeta_ == static_cast<size_t>(g_opt.metaint)) {
                sinceMeta_ = 0;
                if (!SendAll(fd_, MetaBlock()))
                    return false;
            }
        }
        return true;
    }

    // The next `seconds` of the tone.
    std::string Tone(double seconds) {
        std::string out;
        const int samples = static_cast<int>(seconds * kRate);
        for (int i = 0; i < samples; ++i, ++sample_) {
            double v = std::sin(2.0 * M_PI * 440.0 * static_cast<double>(sample_) / kRate);
            PutLe(out, static_cast<uint16_t>(static_cast<int16_t>(v * 8000.0)), 2);
        }
        return out;
    }

  private:
    // The block due now, after sent_ bytes of the body.
    std::string MetaBlock() {
        if (++blocks_ <= g_opt.icyFirstTitleAfter)
            return std::string(1, '\0');
        std::string title = g_opt.icyTitle;
        if (g_opt.icyTitleEvery > 0) {
            const double audio =
                static_cast<double>(sent_ - std::min(sent_, kWavHeaderBytes)) / kBytesPerSecond;
            title += " " + std::to_string(static_cast<int64_t>(audio / g_opt.icyTitleEvery));
        }
        if (g_opt.icyChangesOnly && title == lastTitle_)
            return std::string(1, '\0');
        lastTitle_ = title;
        std::string text = "StreamTitle='" + title + "';";
        size_t blocks = (text.size() + 15) / 16;
        if (blocks > 255)
            blocks = 255;
        text.resize(blocks * 16, '\0');
        return std::string(1, static_cast<char>(blocks)) + text;
    }

    int fd_;
    bool icy_;
    size_t sinceMeta_ = 0;
    size_t sent_ = 0;  // body bytes, metadata aside
    int blocks_ = 0;   // metadata blocks so far
    std::string lastTitle_;
    int64_t sample_ = 0;
};

bool StartsWith(const std::string& s, const char* prefix) {
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

// Waits until the peer closes (or a long while passes), reading and dropping whatever comes.
void WaitForClose(int fd) {
    char buf[512];
    for (int i = 0; i < 600; ++i) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 1000) > 0 && ::recv(fd, buf, sizeof buf, 0) <= 0)
            return;
    }
}

// Keeps the connection alive with a byte now and then, until the peer closes.
void TrickleUntilClose(int fd) {
    char buf[512];
    for (int i = 0; i < 300; ++i) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 2000) > 0 && ::recv(fd, buf, sizeof buf, 0) <= 0)
            return;
        if (!SendAll(fd, std::string(1, '\0')))
            return;
    }
}

void ServeStream(int fd, const std::string& path, bool wantsIcy) {
    const bool declared = wantsIcy && !g_opt.icyMetaintHeader.empty();
    const bool icy = wantsIcy && !declared && !g_opt.icyTitle.empty();
    std::string head = "HTTP/1.0 200 OK\r\nContent-Type: audio/wav\r\nCache-Control: no-cache\r\n";
    if (icy || declared) {
        head += "icy-name: qv test station\r\nicy-metaint: " +
                (declared ? g_opt.icyMetaintHeader : std::to_string(g_opt.metaint)) + "\r\n";
    }
    head += "Connection: close\r\n\r\n";
    if (!SendAll(fd, head))
        return;
    AudioWriter w(fd, icy);
    std::string first = WavHeader();
    if (StartsWith(path, "/drop")) {
        w.Write(first + w.Tone(1.0));
        return;
    }
    // A head start, then real time in 100 ms steps.
    if (!w.Write(first + w.Tone(8.0)))
        return;
    const bool stall = StartsWith(path, "/stall");
    const auto start = std::chrono::steady_clock::now();
    double sent = 0;
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (stall && sent >= 2.0) {
            TrickleUntilClose(fd);
            return;
        }
        double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        double due = elapsed - sent;
        if (due <= 0)
            continue;
        if (!w.Write(w.Tone(due)))
            return;
        sent += static_cast<double>(static_cast<int>(due * kRate)) / kRate;
    }
}

void ServeSilence(int fd) {
    if (SendAll(fd, "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\nConnection: close\r\n\r\n"))
        WaitForClose(fd);
}

// Text, endlessly, at the pace of a 128 kbit/s stream.
void ServeNoise(int fd) {
    if (!SendAll(fd, "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\nConnection: close\r\n\r\n"))
        return;
    std::string chunk;
    while (chunk.size() < 1600) chunk += "This is not audio. ";
    for (;;) {
        if (!SendAll(fd, chunk))
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

void ServeFile(int fd) {
    AudioWriter w(fd, false);
    std::string body = WavHeader(kBytesPerSecond) + w.Tone(1.0);
    SendAll(fd, "HTTP/1.0 200 OK\r\nContent-Type: audio/wav\r\nContent-Length: " +
                    std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
}

// The file NAME of the --files folder; false when there is none.
bool ReadFolderFile(const std::string& name, std::string& body) {
    const bool safe = !g_opt.files.empty() && !name.empty() &&
                      name.find('/') == std::string::npos && name.find("..") == std::string::npos;
    FILE* f = safe ? std::fopen((g_opt.files + "/" + name).c_str(), "rb") : nullptr;
    if (!f)
        return false;
    char buf[8192];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) body.append(buf, n);
    std::fclose(f);
    return true;
}

void NotFound(int fd) {
    SendAll(fd, "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
}

void ServeFolderFile(int fd, const std::string& name) {
    std::string body;
    if (!ReadFolderFile(name, body)) {
        NotFound(fd);
        return;
    }
    const bool playlist = name.size() > 5 && name.compare(name.size() - 5, 5, ".m3u8") == 0;
    const std::string type = playlist ? "application/vnd.apple.mpegurl" : "video/mp2t";
    SendAll(fd, "HTTP/1.0 200 OK\r\nContent-Type: " + type + "\r\nContent-Length: " +
                    std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
}

// "/paced/BURST/NAME": NAME looped without end, BURST bytes at once, then at the paced rate.
void ServePaced(int fd, std::string rest) {
    rest = rest.substr(0, rest.find('?'));  // a query tells requests apart, nothing more
    const size_t slash = rest.find('/');
    std::string file;
    if (slash == std::string::npos || !ReadFolderFile(rest.substr(slash + 1), file) ||
        file.empty()) {
        NotFound(fd);
        return;
    }
    const size_t burst = std::strtoul(rest.substr(0, slash).c_str(), nullptr, 10);
    if (!SendAll(fd,
                 "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\nCache-Control: no-cache\r\n"
                 "icy-br: " +
                     std::to_string(g_opt.pacedRate * 8 / 1000) + "\r\nConnection: close\r\n\r\n"))
        return;
    size_t at = 0;  // where in the file the next byte comes from
    auto send = [&](size_t n) {
        while (n > 0) {
            const size_t part = std::min(n, file.size() - at);
            if (!SendAll(fd, file.data() + at, part))
                return false;
            at = (at + part) % file.size();
            n -= part;
        }
        return true;
    };
    if (!send(burst))
        return;
    const auto start = std::chrono::steady_clock::now();
    uint64_t sent = 0;
    for (int step = 1;; ++step) {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(10 * step));
        const uint64_t due =
            static_cast<uint64_t>(g_opt.pacedRate) * static_cast<uint64_t>(step) / 100;
        if (!send(static_cast<size_t>(due - sent)))
            return;
        sent = due;
    }
}

struct Segment {
    double seconds = 0;
    std::string name;
};

// The segments of a whole-stream HLS playlist, in order.
std::vector<Segment> ReadSegments(const std::string& text) {
    std::vector<Segment> out;
    double seconds = -1;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (StartsWith(line, "#EXTINF:")) {
            seconds = std::atof(line.c_str() + 8);
        } else if (!line.empty() && line[0] != '#' && seconds >= 0) {
            out.push_back({seconds, line});
            seconds = -1;
        }
    }
    return out;
}

// When each /live channel was first asked for.
std::chrono::steady_clock::time_point ChannelStart(const std::string& channel) {
    static std::mutex m;
    static std::map<std::string, std::chrono::steady_clock::time_point> starts;
    std::lock_guard<std::mutex> lock(m);
    return starts.try_emplace(channel, std::chrono::steady_clock::now()).first->second;
}

// "/live/CHANNEL/NAME.m3u8" (the window as it stands now) or "/live/CHANNEL/SEGMENT".
void ServeLive(int fd, const std::string& rest) {
    const size_t slash = rest.find('/');
    if (slash == std::string::npos) {
        NotFound(fd);
        return;
    }
    const std::string channel = rest.substr(0, slash);
    const std::string name = rest.substr(slash + 1);
    if (name.size() <= 5 || name.compare(name.size() - 5, 5, ".m3u8") != 0) {
        ServeFolderFile(fd, name);
        return;
    }
    std::string whole;
    const std::vector<Segment> segments =
        ReadFolderFile(name, whole) ? ReadSegments(whole) : std::vector<Segment>();
    if (segments.empty()) {
        NotFound(fd);
        return;
    }
    const size_t window =
        std::min(static_cast<size_t>(std::max(g_opt.liveWindow, 1)), segments.size());
    double live =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - ChannelStart(channel))
            .count();
    for (size_t i = 0; i < window; ++i) live += segments[i].seconds;
    // The newest segment is the last one that has ended by now.
    size_t newest = 0;
    double ended = 0;
    for (size_t i = 0; i < segments.size(); ++i) {
        ended += segments[i].seconds;
        if (ended > live + 1e-6)
            break;
        newest = i;
    }
    const size_t first = newest + 1 - std::min(window, newest + 1);
    double target = 1;
    for (const Segment& seg : segments) target = std::max(target, std::ceil(seg.seconds));
    std::string body = "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:" +
                       std::to_string(static_cast<int>(target)) +
                       "\n#EXT-X-MEDIA-SEQUENCE:" + std::to_string(first) + "\n";
    char extinf[64];
    for (size_t i = first; i <= newest; ++i) {
        std::snprintf(extinf, sizeof extinf, "#EXTINF:%.6f,\n", segments[i].seconds);
        body += extinf + segments[i].name + "\n";
    }
    if (newest + 1 == segments.size())
        body += "#EXT-X-ENDLIST\n";
    SendAll(fd,
            "HTTP/1.0 200 OK\r\nContent-Type: application/vnd.apple.mpegurl\r\n"
            "Cache-Control: no-cache\r\nContent-Length: " +
                std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
}

std::string PlaylistBody(const std::string& kind, const std::vector<std::string>& entries,
                         std::string& type) {
    std::string body;
    if (kind == "pls") {
        body = "[playlist]\nNumberOfEntries=" + std::to_string(entries.size()) + "\n";
        for (size_t i = 0; i < entries.size(); ++i) {
            body += "File" + std::to_string(i + 1) + "=" + entries[i] + "\nTitle" +
                    std::to_string(i + 1) + "=test\n";
        }
        type = "audio/x-scpls";
    } else if (kind == "m3u") {
        body = "#EXTM3U\n";
        for (const std::string& e : entries) body += "#EXTINF:-1,test\n" + e + "\n";
        type = "audio/x-mpegurl";
    } else if (kind == "hls") {
        // An HLS master playlist: each entry a variant stream.
        body = "#EXTM3U\n";
        for (const std::string& e : entries)
            body += "#EXT-X-STREAM-INF:BANDWIDTH=128000\n" + e + "\n";
        type = "application/vnd.apple.mpegurl";
    } else {
        // As Windows Media servers write them: upper-case tags.
        body = "<ASX Version=\"3.0\">\r\n<Title>test</Title>\r\n";
        for (const std::string& e : entries)
            body += "<Entry>\r\n<Ref HREF=\"" + e + "\" />\r\n</Entry>\r\n";
        body += "</ASX>\r\n";
        type = "video/x-ms-asf";
    }
    return body;
}

void ServePlaylist(int fd, const std::string& kind, const std::vector<std::string>& entries) {
    std::string type;
    const std::string body = PlaylistBody(kind, entries, type);
    SendAll(fd, "HTTP/1.0 200 OK\r\nContent-Type: " + type + "\r\nContent-Length: " +
                    std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
}

// The playlists of /ref, /loop, /ping, /pong, /deep and /many; false for any other path.
bool ServeTestPlaylist(int fd, const std::string& host, const std::string& path) {
    // "/MODE/KIND" or "/MODE/KIND/REST"
    const size_t modeEnd = path.find('/', 1);
    if (modeEnd == std::string::npos)
        return false;
    const std::string mode = path.substr(1, modeEnd - 1);
    const std::string kind = path.substr(modeEnd + 1, 3);
    const size_t kindEnd = modeEnd + 4;
    if ((kind != "pls" && kind != "m3u" && kind != "asx" && kind != "hls") ||
        (kindEnd < path.size() && path[kindEnd] != '/')) {
        return false;
    }
    const std::string rest = kindEnd < path.size() ? path.substr(kindEnd + 1) : std::string();
    const std::string origin = "http://" + host;
    std::vector<std::string> entries;
    if (mode == "ref") {
        entries = g_opt.refs;
        if (!rest.empty())
            entries.push_back(origin + "/" + rest);
    } else if (mode == "loop") {
        entries = {origin + path};
    } else if (mode == "ping" || mode == "pong") {
        entries = {origin + "/" + (mode == "ping" ? "pong/" : "ping/") + kind + "/" + rest};
    } else if (mode == "deep") {
        entries = {origin + "/deep/" + kind + "/" + std::to_string(std::atoi(rest.c_str()) + 1)};
    } else if (mode == "many") {
        const int n = std::atoi(rest.c_str());
        entries.reserve(static_cast<size_t>(std::max(n, 0)));
        for (int i = 1; i <= n; ++i) entries.push_back(origin + "/404/" + std::to_string(i));
    } else {
        return false;
    }
    ServePlaylist(fd, kind, entries);
    return true;
}

void Serve(int fd) {
    timeval tv{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    std::string req;
    char buf[2048];
    while (req.find("\r\n\r\n") == std::string::npos && req.size() < 16384) {
        ssize_t r = ::recv(fd, buf, sizeof buf, 0);
        if (r <= 0)
            break;
        req.append(buf, static_cast<size_t>(r));
    }
    size_t sp1 = req.find(' ');
    size_t sp2 = sp1 == std::string::npos ? sp1 : req.find(' ', sp1 + 1);
    size_t eol = req.find_first_of("\r\n");
    std::string method, path;
    if (sp1 != std::string::npos && sp1 < eol) {
        method = req.substr(0, sp1);
        path = req.substr(sp1 + 1, (sp2 == std::string::npos || sp2 > eol ? eol : sp2) - sp1 - 1);
    }
    if (method.empty()) {
        ::close(fd);
        return;
    }
    std::string line = method + " " + path;
    if (g_opt.times) {
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        line +=
            "\t" + std::to_string(static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000);
    }
    line += "\n";
    if (g_logFd >= 0 && ::write(g_logFd, line.data(), line.size()) < 0)
        std::perror("log");

    const std::string lower = qv::AsciiLowered(req);
    bool wantsIcy = lower.find("\nicy-metadata: 1") != std::string::npos ||
                    lower.find("\nicy-metadata:1") != std::string::npos;
    std::string host = "127.0.0.1:" + std::to_string(g_opt.port);
    if (size_t h = lower.find("\nhost:"); h != std::string::npos) {
        size_t b = req.find_first_not_of(' ', h + 6);
        size_t e = req.find_first_of("\r\n", b);
        if (b != std::string::npos && e != std::string::npos)
            host = req.substr(b, e - b);
    }

    if (method == "HEAD") {
        SendAll(fd, "HTTP/1.0 200 OK\r\nContent-Type: audio/wav\r\nConnection: close\r\n\r\n");
    } else if (StartsWith(path, "/404")) {
        SendAll(fd,
                "HTTP/1.0 404 Not Found\r\nContent-Type: text/plain\r\nContent-Length: 10\r\n"
                "Connection: close\r\n\r\nnot found\n");
    } else if (StartsWith(path, "/html")) {
        std::string body =
            "<!DOCTYPE html>\n<html><head><title>Not a stream</title></head>"
            "<body><p>This is a web page.</p></body></html>\n";
        SendAll(fd,
                "HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                    std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    } else if (StartsWith(path, "/files/")) {
        ServeFolderFile(fd, path.substr(7));
    } else if (StartsWith(path, "/paced/")) {
        ServePaced(fd, path.substr(7));
    } else if (StartsWith(path, "/live/")) {
        ServeLive(fd, path.substr(6));
    } else if (StartsWith(path, "/file")) {
        ServeFile(fd);
    } else if (StartsWith(path, "/pls/") || StartsWith(path, "/m3u/") ||
               StartsWith(path, "/asx/")) {
        const std::string kind = path.substr(1, 3);
        // The entry carries an entity, as addresses in Windows Media playlists do.
        const std::string entry = "http://" + host + "/" + path.substr(5);
        ServePlaylist(fd, kind, {kind == "asx" ? entry + "?a=1&amp;b=2" : entry});
    } else if (ServeTestPlaylist(fd, host, path)) {
    } else if (StartsWith(path, "/silent")) {
        ServeSilence(fd);
    } else if (StartsWith(path, "/noise")) {
        ServeNoise(fd);
    } else {
        ServeStream(fd, path, wantsIcy);
    }
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
}

int Usage() {
    std::fprintf(stderr,
                 "usage: qv-streamserver --port N --log FILE [--icy-title TEXT] "
                 "[--icy-charset gbk|utf8] [--icy-metaint BYTES] [--icy-title-every SECONDS] "
                 "[--icy-changes-only] [--icy-first-title-after BLOCKS] "
                 "[--icy-metaint-header TEXT] [--files DIR] [--ref URL]... "
                 "[--times] [--paced-rate BYTES] [--live-window N]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string charset = "utf8";
    std::string title;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--times") {
            g_opt.times = true;
            continue;
        }
        if (a == "--icy-changes-only") {
            g_opt.icyChangesOnly = true;
            continue;
        }
        if (i + 1 >= argc)
            return Usage();
        std::string v = argv[++i];
        if (a == "--port") {
            g_opt.port = std::atoi(v.c_str());
        } else if (a == "--log") {
            g_opt.log = v;
        } else if (a == "--icy-title") {
            title = v;
        } else if (a == "--icy-charset") {
            charset = v;
        } else if (a == "--files") {
            g_opt.files = v;
        } else if (a == "--ref") {
            g_opt.refs.push_back(v);
        } else if (a == "--paced-rate") {
            g_opt.pacedRate = std::atoi(v.c_str());
        } else if (a == "--live-window") {
            g_opt.liveWindow = std::atoi(v.c_str());
        } else if (a == "--icy-metaint") {
            g_opt.metaint = std::atoi(v.c_str());
        } else if (a == "--icy-title-every") {
            g_opt.icyTitleEvery = std::atof(v.c_str());
            if (!(g_opt.icyTitleEvery > 0))
                return Usage();
        } else if (a == "--icy-first-title-after") {
            g_opt.icyFirstTitleAfter = std::atoi(v.c_str());
            if (g_opt.icyFirstTitleAfter < 0)
                return Usage();
        } else if (a == "--icy-metaint-header") {
            g_opt.icyMetaintHeader = v;
            if (v.find_first_of("\r\n") != std::string::npos)
                return Usage();
        } else {
            return Usage();
        }
    }
    if (g_opt.log.empty() || g_opt.metaint <= 0 || g_opt.pacedRate <= 0 || g_opt.liveWindow <= 0 ||
        (charset != "gbk" && charset != "utf8")) {
        return Usage();
    }
    g_opt.icyTitle = charset == "gbk" ? ToGbk(title) : title;

    // A test that dies must not leave its server behind.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    ::signal(SIGPIPE, SIG_IGN);
    g_logFd = ::open(g_opt.log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (g_logFd < 0) {
        std::perror(g_opt.log.c_str());
        return 1;
    }
    int ls = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(ls, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(g_opt.port));
    if (ls < 0 || ::bind(ls, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(ls, 64) != 0) {
        std::perror("listen");
        return 1;
    }
    socklen_t len = sizeof addr;
    ::getsockname(ls, reinterpret_cast<sockaddr*>(&addr), &len);
    g_opt.port = ntohs(addr.sin_port);
    std::printf("PORT %d\n", g_opt.port);
    std::fflush(stdout);

    for (;;) {
        int fd = ::accept4(ls, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR)
                continue;
            std::perror("accept");
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
        }
        std::thread([fd] { Serve(fd); }).detach();
    }
}
