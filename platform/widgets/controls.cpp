#include "widgets/controls.h"

#include <QFontDatabase>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <exception>

#include "qt_drawing.h"
#include "qt_pictures.h"
#include "qt_text.h"
#include "qt_widgets.h"

namespace qv {
namespace {

std::vector<Control*>& SourceStack() {
    static std::vector<Control*> stack;
    return stack;
}

QString SongFace() {
    static const QString face = [] {
        const QStringList families = QFontDatabase::families();
        for (const char* name : {"宋体", "SimSun", "NSimSun"}) {
            if (families.contains(QString::fromUtf8(name)))
                return QString::fromUtf8(name);
        }
        return QStringLiteral("Noto Serif CJK SC");
    }();
    return face;
}

void ApplyCursor(QWidget* w, Cursor c) {
    if (c == Cursor::Hand) {
        w->setCursor(Qt::PointingHandCursor);
    } else {
        w->unsetCursor();
    }
}

}  // namespace

Control* EventSourceControl() {
    return SourceStack().empty() ? nullptr : SourceStack().back();
}

QColor ToQColor(Colour c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

QFont MakeFont(const FontSpec* spec) {
    QFont f;
    if (!spec || !spec->face) {
        // The framework's default: the Song face too, so that one CJK face serves every label.
        f.setFamilies({SongFace(), QStringLiteral("Noto Sans CJK SC")});
        f.setPixelSize(12);
        return f;
    }
    QString face = QString::fromUtf8(spec->face);
    if (face == QString::fromUtf8("宋体"))
        face = SongFace();
    f.setFamilies({face, QStringLiteral("Noto Sans CJK SC")});
    f.setPixelSize(spec->height < 0 ? -spec->height : (spec->height > 0 ? spec->height : 12));
    f.setWeight(spec->weight >= 700 ? QFont::Bold : QFont::Normal);
    return f;
}

Control::Control(std::string name, Window* window) : name_(std::move(name)), window_(window) {}
Control::Control(std::string name, Window* window, std::unique_ptr<ControlWidget> widget)
    : name_(std::move(name)), window_(window), widget_(std::move(widget)) {}
Control::~Control() = default;

int Control::left() const {
    const QWidget* w = WidgetOf(*this);
    return w ? w->x() : 0;
}
int Control::top() const {
    const QWidget* w = WidgetOf(*this);
    return w ? w->y() : 0;
}
int Control::width() const {
    const QWidget* w = WidgetOf(*this);
    return w ? w->width() : 0;
}
int Control::height() const {
    const QWidget* w = WidgetOf(*this);
    return w ? w->height() : 0;
}
void Control::setLeft(int v) {
    if (QWidget* w = WidgetOf(*this))
        w->move(v, w->y());
}
void Control::setTop(int v) {
    if (QWidget* w = WidgetOf(*this))
        w->move(w->x(), v);
}
bool Control::visible() const {
    const QWidget* w = WidgetOf(*this);
    return w && !w->isHidden();
}
void Control::setVisible(bool v) {
    if (QWidget* w = WidgetOf(*this))
        w->setVisible(v);
}

void Control::raise(Event e, int a, int b, int c) {
    auto it = routines_.find(e);
    if (it == routines_.end())
        return;
    Routine r = it->second;
    SourceStack().push_back(this);
    try {
        if (auto* f0 = std::get_if<void (*)()>(&r)) {
            (*f0)();
        } else if (auto* f1 = std::get_if<void (*)(int)>(&r)) {
            (*f1)(a);
        } else if (auto* f3 = std::get_if<void (*)(int, int, int)>(&r)) {
            (*f3)(a, b, c);
        }
    } catch (const std::exception& ex) {
        std::fprintf(stderr, "quorvin: an event routine failed: %s\n", ex.what());
    } catch (...) {
        std::fprintf(stderr, "quorvin: an event routine failed\n");
    }
    SourceStack().pop_back();
}

// ---- transparent label ----

class TransparentLabel::View final : public QWidget {
  public:
    View(TransparentLabel* owner, QWidget* parent) : QWidget(parent), owner_(owner) {}

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setFont(MakeFont(owner_->font_));
        p.setPen(ToQColor(owner_->colour_));
        p.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   ToQString(owner_->caption_));
    }
    void mousePressEvent(QMouseEvent* e) override { pressed_ = e->button() == Qt::LeftButton; }
    void mouseReleaseEvent(QMouseEvent* e) override {
        bool click = pressed_ && e->button() == Qt::LeftButton && rect().contains(e->pos());
        pressed_ = false;
        if (click) {
            owner_->raise(Event::Click, 1, e->pos().x(), e->pos().y());
        }
    }

  private:
    TransparentLabel* owner_;
    bool pressed_ = false;
};

TransparentLabel::TransparentLabel(std::string name, Window* window, Control& parent)
    : Control(std::move(name), window, MakeWidget<View>(this, parent)) {}
void TransparentLabel::setCaption(const Text& t) {
    caption_ = t;
    view<View>()->update();
}
void TransparentLabel::setTextColour(Colour c) {
    colour_ = c;
    view<View>()->update();
}
void TransparentLabel::setFont(const FontSpec* f) {
    font_ = f;
    view<View>()->update();
}
void TransparentLabel::setCursor(Cursor c) {
    cursor_ = c;
    ApplyCursor(view<View>(), c);
}

// ---- label and shape box ----

namespace {
class FilledView final : public QWidget {
  public:
    FilledView(QWidget* parent, Colour frame, Colour fill, bool framed)
        : QWidget(parent), frame_(frame), fill_(fill), framed_(framed) {}

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), ToQColor(fill_));
        if (framed_) {
            p.setPen(ToQColor(frame_));
            p.drawRect(rect().adjusted(0, 0, -1, -1));
        }
    }

  private:
    Colour frame_, fill_;
    bool framed_;
};
}  // namespace

Label::Label(std::string name, Window* window, Control& parent, Colour background)
    : Control(
          std::move(name), window,
          std::make_unique<ControlWidget>(new FilledView(WidgetOf(parent), 0, background, false))) {
}

ShapeBox::ShapeBox(std::string name, Window* window, Control& parent, Colour frame, Colour fill)
    : Control(
          std::move(name), window,
          std::make_unique<ControlWidget>(new FilledView(WidgetOf(parent), frame, fill, true))) {}

// ---- picture button ----

class PictureButton::View final : public QWidget {
  public:
    View(PictureButton* owner, QWidget* parent) : QWidget(parent), owner_(owner) {
        setAttribute(Qt::WA_Hover);
    }
    void setImage(int slot, const Bytes& bytes) {
        QImage img = DecodePicture(bytes);
        if (!img.isNull() && owner_->transparent_ != kNoColour) {
            img = img.convertToFormat(QImage::Format_ARGB32);
            const QRgb key = ToQColor(owner_->transparent_).rgb() & 0xFFFFFF;
            for (int y = 0; y < img.height(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
                for (int x = 0; x < img.width(); ++x) {
                    if ((line[x] & 0xFFFFFF) == key)
                        line[x] = 0;
                }
            }
        }
        images_[slot] = img;
        update();
    }
    [[nodiscard]] int shown() const {
        int want = pressed_ && under_ ? 2 : (hover_ ? 1 : 0);
        for (int s = want; s >= 0; --s) {
            if (!images_[s].isNull())
                return s;
        }
        return -1;
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        int s = shown();
        if (s < 0)
            return;
        QPainter p(this);
        p.drawImage(0, 0, images_[s]);
    }
    void enterEvent(QEnterEvent*) override {
        hover_ = true;
        update();
    }
    void leaveEvent(QEvent*) override {
        hover_ = false;
        update();
    }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton)
            return;
        pressed_ = under_ = true;
        update();
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        bool inside = rect().contains(e->pos());
        if (inside != under_) {
            under_ = inside;
            update();
        }
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton)
            return;
        bool click = pressed_ && rect().contains(e->pos());
        pressed_ = under_ = false;
        update();
        if (click)
            owner_->raise(Event::Click);
    }

  private:
    PictureButton* owner_;
    QImage images_[3];
    bool hover_ = false, pressed_ = false, under_ = false;
};

PictureButton::PictureButton(std::string name, Window* window, Control& parent, Colour transparent)
    : Control(std::move(name), window, MakeWidget<View>(this, parent)), transparent_(transparent) {}
void PictureButton::setPicture(int slot, const Bytes& picture) {
    if (slot < 0 || slot > 2)
        return;
    pictures_[slot] = picture;
    view<View>()->setImage(slot, picture);
}
const Bytes& PictureButton::picture(int slot) const {
    static const Bytes none;
    return slot >= 0 && slot <= 2 ? pictures_[slot] : none;
}
void PictureButton::setCursor(Cursor c) {
    ApplyCursor(view<View>(), c);
}
int PictureButton::shownSlot() const {
    return view<View>()->shown();
}

// ---- timer ----

class Timer::Clock final : public QTimer {};

Timer::Timer(std::string name, Window* window)
    : Control(std::move(name), window), clock_(std::make_unique<Clock>()) {
    clock_->setTimerType(Qt::PreciseTimer);
    QObject::connect(clock_.get(), &QTimer::timeout, [this] { raise(Event::Tick); });
}
Timer::~Timer() = default;
void Timer::setInterval(int ms) {
    if (ms <= 0) {
        interval_ = 0;
        clock_->stop();
        return;
    }
    if (ms == interval_ && clock_->isActive())
        return;  // keep the running period
    interval_ = ms;
    clock_->start(ms);
}
bool Timer::active() const {
    return clock_->isActive();
}
int Timer::remaining() const {
    return clock_->isActive() ? clock_->remainingTime() : -1;
}

}  // namespace qv
