#include "session.h"

#include <cmath>
#include <cstdlib>
#include <utility>

#include "texts/ascii.h"

namespace qv {
namespace {

constexpr int kMaxReconnects = 5;
// A file that ends this much before its stated length was cut off.
constexpr double kCutShortSec = 5;
// Above any audio stream's bit rate (8 channels of 24-bit PCM at 192 kHz: 36,864 kbit/s): such
// a figure comes from a stream the engine misreads, and is not shown.
constexpr long kMaxAudioKbps = 40000;

SessionCommand Command(SessionCommand::Kind kind) {
    SessionCommand c;
    c.kind = kind;
    return c;
}

SessionCommand Command(SessionCommand::Kind kind, Lead lead, int ticket = 0) {
    SessionCommand c = Command(kind);
    c.lead = std::move(lead);
    c.ticket = ticket;
    return c;
}

SessionCommand Command(SessionCommand::Kind kind, SessionTimer timer, int ms = 0) {
    SessionCommand c = Command(kind);
    c.timer = timer;
    c.ms = ms;
    return c;
}

Failure FailureOf(PlaylistProblem problem) {
    switch (problem) {
        case PlaylistProblem::Loop:
            return Failure::PlaylistLoop;
        case PlaylistProblem::TooDeep:
            return Failure::PlaylistTooDeep;
        case PlaylistProblem::Empty:
            break;
    }
    return Failure::PlaylistEmpty;
}

}  // namespace

Session::Session(SessionTimings timings, Clock clock)
    : timings_(timings), clock_(std::move(clock)) {
    status_ = ComposeStatus(state_);
}

SessionCommands Session::done() {
    update();
    return std::exchange(out_, {});
}

bool Session::loading() const {
    return state_.phase == PlayerPhase::Connecting || state_.phase == PlayerPhase::Loaded;
}

SessionCommands Session::tune(const Text& link) {
    state_.link = link;
    state_.attempt = 0;
    if (!link.empty()) {
        load(false);
    } else {
        halt();
        state_.phase = PlayerPhase::Idle;
    }
    return done();
}

SessionCommands Session::play() {
    if (!state_.link.empty() && !loading()) {
        state_.attempt = 0;
        load(false);
    }
    return done();
}

SessionCommands Session::stop() {
    halt();
    state_.attempt = 0;
    state_.phase = PlayerPhase::Stopped;
    return done();
}

SessionCommands Session::openFailed() {
    state_.failure = FailureText(Failure::CannotOpen);
    state_.phase = PlayerPhase::Failed;
    return done();
}

SessionCommands Session::loaded(const Loaded& info) {
    if (state_.phase != PlayerPhase::Connecting)
        return done();
    // The engine is past the playlists: whatever they named, it did not loop in them.
    if (checking_) {
        checking_ = false;
        out_.push_back(Command(SessionCommand::Kind::EndVariantCheck));
    }
    state_.playing = !info.idle;
    finite_ = info.finite;
    duration_ = info.durationSec;
    state_.phase = PlayerPhase::Loaded;
    return done();
}

bool Session::unexpectedEnd(EndReason reason) const {
    if (reason == EndReason::Error)
        return true;
    // A live stream has no end; a file that ends well before its stated length was cut off.
    if (!finite_ || duration_ <= 0)
        return true;
    const double playedSec = static_cast<double>(clock_() - playingSince_) / 1000;
    return playedSec < duration_ - kCutShortSec;
}

SessionCommands Session::ended(const Ended& end) {
    if ((end.reason != EndReason::Eof && end.reason != EndReason::Error) || !loading())
        return done();
    const bool error = end.reason == EndReason::Error;
    if (played_) {
        if (unexpectedEnd(end.reason)) {
            retryLater();
        } else if (walk_.next()) {
            start(walk_.currentLead());  // a finite file played to its end: the playlist goes on
        } else {
            state_.phase = PlayerPhase::Idle;
        }
        return done();
    }
    state_.failure = FailureText(ClassifyFailure(end.formatError, end.log));
    if (error && NotAStream(end.formatError, end.log) && CanReadPlaylist(walk_.current())) {
        // The engine reads no playlists: this may be one.
        out_.push_back(Command(SessionCommand::Kind::ReadPlaylist, walk_.currentLead(), ticket_));
    } else if (error && mms_ && state_.attempt == 0) {
        load(true);
    } else {
        tryNext();
    }
    return done();
}

SessionCommands Session::hlsFound() {
    if (state_.phase == PlayerPhase::Connecting && !checking_ && CanReadPlaylist(walk_.current())) {
        checking_ = true;
        SessionCommand check =
            Command(SessionCommand::Kind::CheckVariants, walk_.currentLead(), ticket_);
        check.onTheWay = walk_.seen();
        out_.push_back(std::move(check));
    }
    return done();
}

SessionCommands Session::playlistRead(int ticket, const Playlist& playlist,
                                      const std::string& base) {
    if (ticket != ticket_)
        return done();
    if (playlist.form != PlaylistForm::None) {
        if (auto problem = walk_.expand(playlist, base))
            state_.failure = FailureText(FailureOf(*problem));
    }
    tryNext();
    return done();
}

SessionCommands Session::variantProblem(int ticket, PlaylistProblem problem) {
    if (ticket != ticket_ || !checking_)
        return done();
    state_.failure = FailureText(FailureOf(problem));
    tryNext();
    return done();
}

SessionCommands Session::fired(SessionTimer timer) {
    bool& isArmed = armed(timer);
    if (!isArmed)
        return done();  // disarmed meanwhile
    isArmed = false;
    if (timer == SessionTimer::Retry) {
        load(false);
    } else {
        giveUp();
    }
    return done();
}

SessionCommands Session::idleChanged(bool idle) {
    state_.playing = !idle;
    return done();
}

SessionCommands Session::pausedForCache(bool paused) {
    state_.pausedForCache = paused;
    return done();
}

SessionCommands Session::buffering(int64_t percent) {
    state_.bufferPercent = percent;
    return done();
}

SessionCommands Session::bitrate(std::optional<double> bitsPerSecond) {
    if (!bitsPerSecond)
        return done();  // unavailable: keep what was shown
    const long kbps = std::lround(*bitsPerSecond / 1000);
    const long shown = state_.kbps;
    // Only a real change: the estimate wobbles from second to second.
    if (kbps > 0 && kbps <= kMaxAudioKbps && (shown == 0 || std::labs(kbps - shown) * 10 > shown))
        state_.kbps = kbps;
    return done();
}

SessionCommands Session::metadata(std::string_view icyTitle, std::string_view tagTitle) {
    const Text icy = DecodeStreamTitle(icyTitle);
    state_.title = icy.empty() ? DecodeStreamTitle(tagTitle) : icy;
    return done();
}

// Loads the station link afresh.
void Session::load(bool secondTry) {
    std::string url = Utf8(state_.link);
    walk_ = PlaylistWalk(url);
    walk_.next();
    const bool mms = StartsWithNoCase(url, "mms://");
    if (mms)
        url = (secondTry ? "mmst://" : "mmsh://") + url.substr(6);
    start({url, {}});
    mms_ = mms && !secondTry;
}

// Opens one address: the station's, or an entry of a playlist it led to.
void Session::start(const Lead& lead) {
    disarm(SessionTimer::Retry);
    disarm(SessionTimer::Patience);
    ++ticket_;
    checking_ = false;
    mms_ = false;
    state_.playing = false;
    state_.pausedForCache = false;
    state_.bufferPercent = -1;
    state_.kbps = 0;
    state_.title.clear();
    duration_ = -1;
    finite_ = false;
    played_ = false;
    state_.phase = PlayerPhase::Connecting;
    out_.push_back(Command(SessionCommand::Kind::Open, lead));
}

// The walk's next link in place of the current one; when none is left, the load has failed: a
// reconnect waits for its next try, a first connection ends.
void Session::tryNext() {
    if (walk_.next()) {
        start(walk_.currentLead());
        return;
    }
    halt();
    if (state_.attempt > 0) {
        retryLater();
    } else {
        state_.phase = PlayerPhase::Failed;
    }
}

// Waited too long for audio: to open a link, or after the stream stalled.
void Session::giveUp() {
    if (!loading())
        return;
    if (played_) {
        halt();
        retryLater();
        return;
    }
    state_.failure = FailureText(Failure::NoAudio);
    tryNext();
}

void Session::retryLater() {
    if (played_ && clock_() - playingSince_ >= timings_.steadyPlayMs)
        state_.attempt = 0;
    if (state_.attempt >= kMaxReconnects) {
        state_.attempt = 0;
        state_.failure = FailureText(Failure::GaveUp);
        state_.phase = PlayerPhase::Failed;
        return;
    }
    ++state_.attempt;
    state_.phase = PlayerPhase::Waiting;
    arm(SessionTimer::Retry, timings_.reconnectMs << (state_.attempt - 1));
}

// The engine stops what it was doing; its late reports and any read under way are dropped.
void Session::halt() {
    disarm(SessionTimer::Retry);
    ++ticket_;
    checking_ = false;
    out_.push_back(Command(SessionCommand::Kind::Halt));
}

bool& Session::armed(SessionTimer timer) {
    return timer == SessionTimer::Retry ? retryArmed_ : patienceArmed_;
}

void Session::arm(SessionTimer timer, int ms) {
    armed(timer) = true;
    out_.push_back(Command(SessionCommand::Kind::Arm, timer, ms));
}

void Session::disarm(SessionTimer timer) {
    bool& isArmed = armed(timer);
    if (!isArmed)
        return;
    isArmed = false;
    out_.push_back(Command(SessionCommand::Kind::Disarm, timer));
}

// After every change: notes the start of playback, bounds the wait for audio, composes the status.
void Session::update() {
    const bool audio = state_.phase == PlayerPhase::Loaded && state_.playing;
    if (audio && !played_) {
        played_ = true;
        playingSince_ = clock_();
    }
    const bool waiting =
        state_.phase == PlayerPhase::Connecting || (state_.phase == PlayerPhase::Loaded && !audio);
    if (!waiting) {
        disarm(SessionTimer::Patience);
    } else if (!patienceArmed_) {
        arm(SessionTimer::Patience, timings_.streamWaitMs);
    }
    PlayerState shown = state_;
    shown.playing = audio;
    status_ = ComposeStatus(shown);
}

}  // namespace qv
