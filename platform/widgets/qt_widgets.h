#pragma once
// The controls' widgets, for the widget layer and for tests that drive or inspect them.
#include <QPointer>
#include <QTreeWidget>
#include <QWidget>
#include <memory>

#include "widgets/controls.h"
#include "widgets/list_view.h"

namespace qv {

// Owns a control's widget. Qt deletes a parent's children with it, so the widget may go before
// its control; it then reads null.
class ControlWidget final {
  public:
    explicit ControlWidget(QWidget* widget) : widget_(widget) {}
    ~ControlWidget() { delete widget_.data(); }
    ControlWidget(const ControlWidget&) = delete;
    ControlWidget& operator=(const ControlWidget&) = delete;
    [[nodiscard]] QWidget* get() const { return widget_.data(); }

    // The control's widget; null for a control without one, or once it is gone.
    [[nodiscard]] static QWidget* Of(const Control& control) {
        return control.widget_ ? control.widget_->get() : nullptr;
    }

  private:
    QPointer<QWidget> widget_;
};

[[nodiscard]] inline QWidget* WidgetOf(const Control& control) {
    return ControlWidget::Of(control);
}

template <class View>
View* Control::view() const {
    return static_cast<View*>(WidgetOf(*this));
}

// A widget of class View for `owner`, inside the widget of `parent`.
template <class View, class Owner>
[[nodiscard]] std::unique_ptr<ControlWidget> MakeWidget(Owner* owner, Control& parent) {
    return std::make_unique<ControlWidget>(new View(owner, WidgetOf(parent)));
}

// The list's rows as Qt holds them.
[[nodiscard]] inline QTreeWidget* TreeOf(const ListView& list) {
    return static_cast<QTreeWidget*>(WidgetOf(list));
}

}  // namespace qv
