#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>
#include <algorithm>

#include "qt_drawing.h"
#include "qt_pictures.h"
#include "qt_widgets.h"
#include "widgets/controls.h"

namespace qv {

// The bright second track lies left of the knob (the volume that is on), the muted first track
// right of it. The knob shows its lighter picture while the pointer is over the bar.
class VolumeBar::View final : public QWidget {
  public:
    View(VolumeBar* owner, QWidget* parent) : QWidget(parent), owner_(owner) {
        setAttribute(Qt::WA_Hover);
        setFocusPolicy(Qt::ClickFocus);
    }
    void setGroups(const Bytes& first, const Bytes& second, const Bytes& knob) {
        first_ = DecodePicture(TakePicture(first, 0));
        second_ = DecodePicture(TakePicture(second, 0));
        knob_[0] = DecodePicture(TakePicture(knob, 0));
        knob_[1] = DecodePicture(TakePicture(knob, 1));
        update();
    }

  protected:
    [[nodiscard]] int knobWidth() const { return knob_[0].isNull() ? 4 : knob_[0].width(); }
    [[nodiscard]] int knobX(int pos) const { return pos * (width() - knobWidth()) / 100; }
    [[nodiscard]] int positionAt(int x) const {
        int span = std::max(1, width() - knobWidth());
        int p = ((x - knobWidth() / 2) * 100 + span / 2) / span;
        return std::clamp(p, 0, 100);
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const int kx = knobX(owner_->position_);
        const int trackY = (height() - 8) / 2;
        if (!first_.isNull()) {
            p.drawImage(QPoint(0, trackY), first_);
        }
        if (!second_.isNull()) {
            p.drawImage(QPoint(0, trackY), second_, QRect(0, 0, kx + knobWidth() / 2, 8));
        }
        const QImage& k = knob_[hover_ || dragging_ ? 1 : 0];
        if (!k.isNull()) {
            p.drawImage(QPoint(kx, (height() - k.height()) / 2), k);
        } else {
            p.fillRect(kx, 1, 4, height() - 2, QColor(40, 80, 200));
        }
    }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton)
            return;
        dragging_ = true;
        owner_->setPosition(positionAt(e->pos().x()));
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        if (!dragging_)
            return;
        int p = positionAt(e->pos().x());
        if (p != owner_->position_)
            owner_->setPosition(p);
    }
    void mouseReleaseEvent(QMouseEvent*) override {
        dragging_ = false;
        update();
    }
    void enterEvent(QEnterEvent*) override {
        hover_ = true;
        update();
    }
    void leaveEvent(QEvent*) override {
        hover_ = false;
        update();
    }
    void keyPressEvent(QKeyEvent* e) override {
        int p = owner_->position_;
        switch (e->key()) {
            case Qt::Key_Left:
            case Qt::Key_Down:
                p -= 1;
                break;
            case Qt::Key_Right:
            case Qt::Key_Up:
                p += 1;
                break;
            case Qt::Key_PageDown:
                p -= 10;
                break;
            case Qt::Key_PageUp:
                p += 10;
                break;
            case Qt::Key_Home:
                p = 0;
                break;
            case Qt::Key_End:
                p = 100;
                break;
            default:
                QWidget::keyPressEvent(e);
                return;
        }
        owner_->setPosition(std::clamp(p, 0, 100));
    }
    void wheelEvent(QWheelEvent* e) override {
        int step = e->angleDelta().y() > 0 ? 1 : (e->angleDelta().y() < 0 ? -1 : 0);
        if (step)
            owner_->setPosition(std::clamp(owner_->position_ + step, 0, 100));
    }

  private:
    VolumeBar* owner_;
    QImage first_, second_, knob_[2];
    bool hover_ = false, dragging_ = false;
};

VolumeBar::VolumeBar(std::string name, Window* window, Control& parent)
    : Control(std::move(name), window, MakeWidget<View>(this, parent)) {}
void VolumeBar::setGroups(const Bytes& firstTrack, const Bytes& secondTrack, const Bytes& knob) {
    view<View>()->setGroups(firstTrack, secondTrack, knob);
}
void VolumeBar::initPosition(int p) {
    position_ = std::clamp(p, 0, 100);
    view<View>()->update();
}
void VolumeBar::setPosition(int p) {
    position_ = std::clamp(p, 0, 100);
    view<View>()->update();
    raise(Event::PositionChanged);
}

}  // namespace qv
