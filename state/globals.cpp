#include "state/globals.h"

namespace qv {

Globals& G() {
    static Globals g;
    return g;
}

void CreateGlobals() {
    Globals& g = G();
    g.controls.release();
    g.settings.release();
    delete g.provinceList;
    g.provinceList = new std::vector<Text>();
}

void ReleaseGlobalsAtExit() {
    Globals& g = G();
    g.controls.release();
    g.settings.release();
    if (g.provinceList) {
        for (Text& t : *g.provinceList) Text().swap(t);
        delete g.provinceList;
        g.provinceList = nullptr;
    }
}

}  // namespace qv
