// Builds a window's controls from its definition and binds their events.
#include <QWidget>
#include <cstdio>

#include "qt_widgets.h"
#include "widgets/list_view.h"
#include "widgets/window.h"
#include "widgets/window_definition.h"

namespace qv {

namespace {
Bytes Picture(PictureSource s) {
    return s ? s() : Bytes();
}
}  // namespace

std::unique_ptr<Control> MakeControl(const ControlDefinition& d, Window* w) {
    Control& parent = w->containerFor(d.parent ? d.parent : "");
    std::unique_ptr<Control> c;
    switch (d.kind) {
        case Kind::TransparentLabel: {
            auto l = std::make_unique<TransparentLabel>(d.name, w, parent);
            l->setCaption(d.caption ? Gbk(d.caption) : Text());
            l->setTextColour(d.textColour);
            l->setFont(d.font);
            l->setCursor(d.cursor);
            c = std::move(l);
            break;
        }
        case Kind::Label:
            c = std::make_unique<Label>(d.name, w, parent, d.background);
            break;
        case Kind::ShapeBox:
            c = std::make_unique<ShapeBox>(d.name, w, parent, d.frame, d.background);
            break;
        case Kind::PictureButton: {
            auto b = std::make_unique<PictureButton>(d.name, w, parent, d.transparent);
            for (int s = 0; s < 3; ++s) {
                if (d.pictures[s])
                    b->setPicture(s, Picture(d.pictures[s]));
            }
            b->setCursor(d.cursor);
            c = std::move(b);
            break;
        }
        case Kind::VolumeBar: {
            auto b = std::make_unique<VolumeBar>(d.name, w, parent);
            b->setGroups(Picture(d.pictures[0]), Picture(d.pictures[1]), Picture(d.pictures[3]));
            c = std::move(b);
            break;
        }
        case Kind::ListView: {
            auto l = std::make_unique<ListView>(d.name, w, parent);
            l->setTextColour(d.textColour);
            l->setFont(d.font);
            l->setRowIcons(Picture(d.pictures[0]));
            c = std::move(l);
            break;
        }
        case Kind::Timer:
            c = std::make_unique<Timer>(d.name, w);
            break;
        case Kind::Object:
            c = d.make ? d.make(d.name, w) : std::make_unique<Control>(d.name, w);
            break;
    }
    if (QWidget* v = WidgetOf(*c)) {
        v->setGeometry(d.left, d.top, d.width, d.height);
        v->setVisible(d.visible);
    }
    if (d.kind == Kind::VolumeBar) {
        // The start position is stored, not written: no event before the window exists.
        static_cast<VolumeBar*>(c.get())->initPosition(d.value);
    }
    if (d.kind == Kind::Timer)
        static_cast<Timer*>(c.get())->setInterval(d.value);
    return c;
}

bool BindEvents(Window* w, const WindowDefinition& def) {
    // A binding that names no control of the window (a misspelt name) would leave its event
    // silently unbound: the definition is refused instead.
    for (const EventBinding& b : def.bindings) {
        if (b.control && !w->find(b.control)) {
            std::fprintf(stderr,
                         "window definition: an event is bound to \"%s\", no control of it\n",
                         b.control);
            return false;
        }
    }
    for (const EventBinding& b : def.bindings) {
        Control* c = b.control ? w->find(b.control) : w;
        c->bind(b.event, b.routine);
    }
    return true;
}

}  // namespace qv
