#pragma once
// The state the event routines share for the whole run: made before the main window exists and
// released at exit, after it is gone.
#include <memory>
#include <vector>

#include "player/media_player.h"

namespace qv {

// Empty or holding one reference; storing releases what it held.
template <class T>
class Holder {
  public:
    void store(std::shared_ptr<T> p) {
        held_.reset();
        held_ = std::move(p);
    }
    void release() { held_.reset(); }
    [[nodiscard]] T* get() const { return held_.get(); }
    [[nodiscard]] bool empty() const { return !held_; }

  private:
    std::shared_ptr<T> held_;
};

struct Globals {
    Holder<PlayerControls> controls;
    Holder<PlayerSettings> settings;
    std::vector<Text>* provinceList = nullptr;  // ProvinceList
    int playing = 0;
    int hours = 0, minutes = 0, seconds = 0;  // ElapsedTime
    int minimised = 0;
};

[[nodiscard]] Globals& G();

// The two holders and the province list, each empty; the flags and counters keep their zeros.
void CreateGlobals();
// The exit clean-up: the controls object, then the settings object, then every text of the
// province list and the list itself.
void ReleaseGlobalsAtExit();

}  // namespace qv
