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

WidgetHandle::WidgetHandle(QWidget* widget) : cell_(std::make_shared<QWidget*>(widget)) {
    QObject::connect(widget, &QObject::destroyed, [cell = std::weak_ptr<QWidget*>(cell_)] {
        if (const auto c = cell.lock())
            *c = nullptr;
    });
}

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
Control::~Control() = default;

int Control::left() const {
    return widget() ? widget()->x() : 0;
}
int Control::top() const {
    return widget() ? widget()->y() : 0;
}
int Control::width() const {
    return widget() ? widget()->width() : 0;
}
int Control::height() const {
    return widget() ? widget()->height() : 0;
}
void Control::setLeft(int v) {
    if (widget())
        widget()->move(v, widget()->y());
}
void Control::setTop(int v) {
    if (widget())
        widget()->move(widget()->x(), v);
}
bool Control::visible() const {
    return widget() && !widget()->isHidden();
}
void Control::setVisible(bool v) {
    if (widget())
        widget()->setVisible(v);
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

TransparentLabel::TransparentLabel(std::string name, Window* window, QWidget* parent)
    : Control(std::move(name), window), view_(new View(this, parent)) {}
TransparentLabel::~TransparentLabel() {
    delete view_;
}
QWidget* TransparentLabel::widget() const {
    return view_;
}
void TransparentLabel::setCaption(const Text& t) {
    caption_ = t;
    view_->update();
}
void TransparentLabel::setTextColour(Colour c) {
    colour_ = c;
    view_->update();
}
void TransparentLabel::setFont(const FontSpec* f) {
    font_ = f;
    view_->update();
}
void TransparentLabel::setCursor(Cursor c) {
    cursor_ = c;
    ApplyCursor(view_, c);
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

Label::Label(std::string name, Window* window, QWidget* parent, Colour background)
    : Control(std::move(name), window), view_(new FilledView(parent, 0, background, false)) {}
Label::~Label() {
    delete view_;
}
QWidget* Label::widget() const {
    return view_;
}

ShapeBox::ShapeBox(std::string name, Window* window, QWidget* parent, Colour frame, Colour fill)
    : Control(std::move(name), window), view_(new FilledView(parent, frame, fill, true)) {}
ShapeBox::~ShapeBox() {
    delete view_;
}
QWidget* ShapeBox::widget() const {
    return view_;
}

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

PictureButton::PictureButton(std::string name, Window* window, QWidget* parent, Colour transparent)
    : Control(std::move(name), window), view_(new View(this, parent)), transparent_(transparent) {}
PictureButton::~PictureButton() {
    delete view_;
}
QWidget* PictureButton::widget() const {
    return view_;
}
void PictureButton::setPicture(int slot, const Bytes& picture) {
    if (slot < 0 || slot > 2)
        return;
    pictures_[slot] = picture;
    view_->setImage(slot, picture);
}
const Bytes& PictureButton::picture(int slot) const {
    static const Bytes none;
    return slot >= 0 && slot <= 2 ? pictures_[slot] : none;
}
void PictureButton::setCursor(Cursor c) {
    ApplyCursor(view_, c);
}
int PictureButton::shownSlot() const {
    return view_->shown();
}

// ---- timer ----

Timer::Timer(std::string name, Window* window)
    : Control(std::move(name), window), timer_(new QTimer()) {
    timer_->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer_, &QTimer::timeout, [this] { raise(Event::Tick); });
}
Timer::~Timer() {
    delete timer_;
}
void Timer::setInterval(int ms) {
    if (ms <= 0) {
        interval_ = 0;
        timer_->stop();
        return;
    }
    if (ms == interval_ && timer_->isActive())
        return;  // keep the running period
    interval_ = ms;
    timer_->start(ms);
}
bool Timer::active() const {
    return timer_->isActive();
}
int Timer::remaining() const {
    return timer_->isActive() ? timer_->remainingTime() : -1;
}

}  // namespace qv
