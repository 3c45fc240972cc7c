#pragma once
// A scripted media player: records what it is given and raises the status events a test asks
// for, also from inside a URL write, play or stop.
#include <functional>
#include <vector>

#include "player/media_player.h"

namespace qv::test {

class FakePlayer final : public MediaPlayer {
  public:
    struct Log {
        std::vector<Text> urls;
        int plays = 0;
        int stops = 0;
        std::vector<int> volumes;
    };

    FakePlayer() : log_(std::make_shared<Log>()) {}
    void setURL(const Text& link) override {
        url_ = link;
        log_->urls.push_back(link);
        if (onURL)
            onURL(*this);
    }
    [[nodiscard]] Text URL() const override { return url_; }
    [[nodiscard]] Text status() const override { return status_; }
    [[nodiscard]] std::shared_ptr<PlayerControls> controls() override {
        return std::make_shared<Controls>(this, log_);
    }
    [[nodiscard]] std::shared_ptr<PlayerSettings> settings() override {
        return std::make_shared<Settings>(log_);
    }
    // Sets the status text and raises the event, as the real player does on a change.
    void report(const Text& status) {
        status_ = status;
        if (onStatusChange)
            onStatusChange();
    }
    [[nodiscard]] Log& log() { return *log_; }

    std::function<void(FakePlayer&)> onURL, onPlay, onStop;

  private:
    struct Controls final : PlayerControls {
        Controls(FakePlayer* p, std::shared_ptr<Log> l) : player(p), log(std::move(l)) {}
        void play() override {
            ++log->plays;
            if (player->onPlay)
                player->onPlay(*player);
        }
        void stop() override {
            ++log->stops;
            if (player->onStop)
                player->onStop(*player);
        }
        FakePlayer* player;
        std::shared_ptr<Log> log;
    };
    struct Settings final : PlayerSettings {
        explicit Settings(std::shared_ptr<Log> l) : log(std::move(l)) {}
        void setVolume(int v) override { log->volumes.push_back(v); }
        std::shared_ptr<Log> log;
    };
    std::shared_ptr<Log> log_;
    Text url_;
    Text status_;
};

}  // namespace qv::test
