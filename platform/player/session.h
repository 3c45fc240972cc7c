#pragma once
// The player's connection rules as a state machine: no engine, no event loop, no clock of its own.
// It takes the user's commands, the engine's reports, the resolver's answers and the timers'
// firings, reads the time from the clock it is given, and answers with commands for its player
// (open this address, halt, read a playlist, arm a timer...) and a status text.
//
// The rules: a link that cannot be opened as a stream is read as a playlist, whose entries are
// tried in turn; an mms link is tried over MMS-over-HTTP, then over MMS-over-TCP; a link that
// brings no audio within the stream wait fails; a live stream that drops, or stalls for the stream
// wait, is reconnected up to five times, each wait twice the last, and a stream that played
// steadily before it dropped gets a fresh round; a file played to its stated end is not
// reconnected, one cut short is; the bit rate shown follows real changes only.
//
// Order of use: make it; call the user's commands and feed reports as they come; after each call
// carry out the commands it returned, in order (a command's outcome may be fed back at once:
// openFailed); then show status() when it changed. Answers of a read carry the ticket of the
// command that asked for them; an answer with an older ticket is dropped.
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "player_status.h"
#include "playlist.h"
#include "texts/text.h"

namespace qv {

struct SessionTimings {
    int reconnectMs = 1000;    // the first reconnect's wait; each further one waits twice as long
    int streamWaitMs = 15000;  // how long a link may take to bring audio, or a stream may stall
    int steadyPlayMs = 15000;  // played this long before a drop: the next round starts afresh
};

// The engine has opened the current address.
struct Loaded {
    bool finite = false;      // its server stated its size: a file, not a live stream
    double durationSec = -1;  // its length as known now, -1 unknown
    bool idle = true;         // no audio comes out yet
};

enum class EndReason { Eof, Error, Other };

// The engine's current address ended.
struct Ended {
    EndReason reason = EndReason::Eof;
    bool formatError = false;  // the engine found nothing it could read there
    OpenLog log;               // what it warned of meanwhile, lower-cased
};

enum class SessionTimer { Retry, Patience };

struct SessionCommand {
    enum class Kind {
        Open,           // lead: hand it to the engine in place of what it has; reads under way end
        Halt,           // stop the engine, dropping its late reports; reads under way end
        ReadPlaylist,   // lead: read it as a playlist, then playlistRead()
        CheckVariants,  // lead: the HLS master the engine opens; onTheWay: the links before it
        EndVariantCheck,
        Arm,     // timer, ms: (re)start it
        Disarm,  // timer
    };
    Kind kind = Kind::Halt;
    Lead lead;
    std::set<std::string> onTheWay;
    SessionTimer timer = SessionTimer::Retry;
    int ms = 0;
    int ticket = 0;
};
using SessionCommands = std::vector<SessionCommand>;

class Session final {
  public:
    using Clock = std::function<int64_t()>;  // milliseconds, never going back

    Session(SessionTimings timings, Clock clock);

    // The user.
    [[nodiscard]] SessionCommands tune(const Text& link);  // empty: unload
    [[nodiscard]] SessionCommands play();
    [[nodiscard]] SessionCommands stop();

    // The engine, about the address last opened.
    [[nodiscard]] SessionCommands openFailed();
    [[nodiscard]] SessionCommands loaded(const Loaded& info);
    [[nodiscard]] SessionCommands ended(const Ended& end);
    [[nodiscard]] SessionCommands hlsFound();
    // The engine's properties.
    [[nodiscard]] SessionCommands idleChanged(bool idle);
    [[nodiscard]] SessionCommands pausedForCache(bool paused);
    [[nodiscard]] SessionCommands buffering(int64_t percent);  // -1 unknown
    [[nodiscard]] SessionCommands bitrate(std::optional<double> bitsPerSecond);
    // The stream's metadata as raw bytes: its ICY title and its tag title, either may be empty.
    [[nodiscard]] SessionCommands metadata(std::string_view icyTitle, std::string_view tagTitle);

    // The resolver.
    [[nodiscard]] SessionCommands playlistRead(int ticket, const Playlist& playlist,
                                               const std::string& base);
    [[nodiscard]] SessionCommands variantProblem(int ticket, PlaylistProblem problem);

    [[nodiscard]] SessionCommands fired(SessionTimer timer);

    [[nodiscard]] const Text& link() const { return state_.link; }
    [[nodiscard]] const Text& status() const { return status_; }

  private:
    void load(bool secondTry);
    void start(const Lead& lead);
    void tryNext();
    void retryLater();
    void giveUp();
    void halt();
    void update();
    void arm(SessionTimer timer, int ms);
    void disarm(SessionTimer timer);
    [[nodiscard]] bool& armed(SessionTimer timer);
    [[nodiscard]] bool unexpectedEnd(EndReason reason) const;
    [[nodiscard]] bool loading() const;
    [[nodiscard]] SessionCommands done();

    SessionTimings timings_;
    Clock clock_;
    SessionCommands out_;
    Text status_;
    PlayerState state_;
    PlaylistWalk walk_;
    int ticket_ = 0;         // bumped by every open and halt
    bool mms_ = false;       // the first try of an mms link, over MMS-over-HTTP
    bool checking_ = false;  // the HLS check runs beside the engine
    double duration_ = -1;   // the length known when the load began playing, -1 unknown
    bool finite_ = false;    // the server stated the size
    bool played_ = false;    // this load reached playback
    int64_t playingSince_ = 0;
    bool retryArmed_ = false;
    bool patienceArmed_ = false;
};

}  // namespace qv
