#include "widgets/window.h"

#include <unistd.h>
#include <QApplication>
#include <QBuffer>
#include <QCloseEvent>
#include <QImageReader>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QSystemTrayIcon>
#include <QWidget>
#include <QWindow>
#include <cstdio>

#include "qt_drawing.h"
#include "qt_pictures.h"
#include "qt_text.h"
#include "qt_widgets.h"
#include "widgets/list_view.h"
#include "widgets/window_definition.h"

namespace qv {

class TrayIcon {
  public:
    QSystemTrayIcon icon;
};

class Window::View final : public QWidget {
  public:
    explicit View(Window* owner)
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), owner_(owner) {
        setAttribute(Qt::WA_DeleteOnClose, false);
    }
    QImage face;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        if (!face.isNull())
            p.drawImage(0, 0, face);
    }
    // No caption bar: pressing on the face where no control lies drags the window.
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton)
            return;
        if (windowHandle() && windowHandle()->startSystemMove())
            return;
        dragFrom_ = e->globalPosition().toPoint() - frameGeometry().topLeft();
        dragging_ = true;
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        if (dragging_)
            move(e->globalPosition().toPoint() - dragFrom_);
    }
    void mouseReleaseEvent(QMouseEvent*) override { dragging_ = false; }
    void closeEvent(QCloseEvent* e) override {
        owner_->close();
        e->accept();
    }

  private:
    Window* owner_;
    QPoint dragFrom_;
    bool dragging_ = false;
};

Window::Window(std::string name)
    : Control(std::move(name), this, std::make_unique<ControlWidget>(new View(this))) {}

Window::~Window() {
    tray.reset();
    copies_.clear();
    // Later controls may live inside earlier ones (the template label in its frame).
    while (!controls_.empty()) controls_.pop_back();
}
Text Window::title() const {
    return FromQString(view<View>()->windowTitle());
}
void Window::setTitle(const Text& t) {
    view<View>()->setWindowTitle(ToQString(t));
}

void Window::setState(WindowState s) {
    if (s == WindowState::Minimised) {
        view<View>()->setWindowState(view<View>()->windowState() | Qt::WindowMinimized);
        if (view<View>()->isVisible())
            view<View>()->showMinimized();
    } else {
        view<View>()->setWindowState(view<View>()->windowState() & ~Qt::WindowMinimized);
        view<View>()->showNormal();
        view<View>()->raise();
        view<View>()->activateWindow();
    }
}

WindowState Window::state() const {
    return view<View>()->windowState() & Qt::WindowMinimized ? WindowState::Minimised
                                                             : WindowState::Normal;
}

void Window::setFacePicture(const Bytes& picture) {
    view<View>()->face = DecodePicture(picture);
    view<View>()->update();
}

void Window::adopt(std::unique_ptr<Control> c) {
    controls_.push_back(std::move(c));
}

Control* Window::find(const std::string& n) const {
    for (const auto& c : controls_) {
        if (c->name() == n)
            return c.get();
    }
    return nullptr;
}

Control& Window::containerFor(const std::string& parentName) {
    if (parentName.empty())
        return *this;
    Control* c = find(parentName);
    return c && WidgetOf(*c) ? *c : *this;
}

Control* Window::copied(int n) const {
    if (n < 1 || n > static_cast<int>(copies_.size()))
        return nullptr;
    return copies_[static_cast<size_t>(n - 1)].get();
}

void Window::addCopy(std::unique_ptr<Control> c) {
    copies_.push_back(std::move(c));
}

void Window::close() {
    if (closed_)
        return;
    closed_ = true;
    raise(Event::Closing);
    view<View>()->hide();
    if (tray)
        tray->icon.hide();
    QCoreApplication::quit();
}

// ---- program life ----

namespace {
Window*& Start() {
    static Window* w = nullptr;
    return w;
}
std::unique_ptr<Window>& StartOwner() {
    static std::unique_ptr<Window> w;
    return w;
}
void (*&ExitRoutine())() {
    static void (*r)() = nullptr;
    return r;
}
void EndNow(int code) {
    std::fflush(nullptr);
    ::_exit(code);
}
void (*&ProcessEnd())(int) {
    static void (*e)(int) = EndNow;
    return e;
}
}  // namespace

Window* StartWindow() {
    return Start();
}
void SetProcessEnd(void (*end)(int)) {
    ProcessEnd() = end ? end : EndNow;
}
void RegisterExitRoutine(void (*routine)()) {
    ExitRoutine() = routine;
}

void ExitProgram(int code) {
    if (auto r = ExitRoutine()) {
        ExitRoutine() = nullptr;
        r();
    }
    if (Start() && Start()->tray)
        Start()->tray->icon.hide();
    ProcessEnd()(code);
    std::abort();  // a process end that returned
}

std::unique_ptr<Control> MakeControl(const ControlDefinition& d, Window* w);  // window_builder.cpp
bool BindEvents(Window* w, const WindowDefinition& def);                      // window_builder.cpp

Window* CreateStartWindow(const WindowDefinition& def) {
    auto w = std::make_unique<Window>("");
    QWidget* v = WidgetOf(*w);
    v->setWindowTitle(QString::fromUtf8(def.title));
    v->setFixedSize(def.width, def.height);
    v->move(def.left, def.top);
    if (def.face)
        w->setFacePicture(def.face());
    for (const ControlDefinition& d : def.controls) w->adopt(MakeControl(d, w.get()));
    // A control may sit in one defined after it: place it in its parent once all exist.
    for (const ControlDefinition& d : def.controls) {
        QWidget* widget = d.parent && w->find(d.name) ? WidgetOf(*w->find(d.name)) : nullptr;
        QWidget* parent = d.parent ? WidgetOf(w->containerFor(d.parent)) : nullptr;
        if (widget && parent && widget->parentWidget() != parent) {
            widget->setParent(parent);
            widget->setGeometry(d.left, d.top, d.width, d.height);
            widget->setVisible(d.visible);
        }
    }
    // A shape box is a frame drawn on the face: the controls that cross it (the dividers) lie
    // over it, wherever the definition lists them. Every other control keeps the definition's
    // order, later ones on top.
    for (const ControlDefinition& d : def.controls) {
        Control* c = d.kind == Kind::ShapeBox ? w->find(d.name) : nullptr;
        if (QWidget* widget = c ? WidgetOf(*c) : nullptr)
            widget->lower();
    }
    if (!BindEvents(w.get(), def))
        return nullptr;
    Start() = w.get();
    StartOwner() = std::move(w);
    Window* win = Start();
    if (def.built)
        def.built(win);
    win->raise(Event::Created);
    if (!win->closed())
        v->show();
    return win;
}

int RunMessageLoop() {
    int rc = 0;
    if (Start() && !Start()->closed())
        rc = QApplication::exec();
    DestroyStartWindow();
    return rc;
}

void DestroyStartWindow() {
    Start() = nullptr;
    StartOwner().reset();
}

void CloseWindow(Window& window) {
    window.close();
}

void ShowMessageBox(const Text& text, int, const Text& title) {
    QMessageBox box(QMessageBox::NoIcon, ToQString(title), ToQString(text), QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

void CopyControl(const Control& templ, Control*& variable) {
    variable = nullptr;
    const auto* t = dynamic_cast<const TransparentLabel*>(&templ);
    Window* w = templ.window();
    if (!t || !w)
        return;
    // Made in the window, then moved into the template's own parent.
    auto copy = std::make_unique<TransparentLabel>(t->name(), w, *w);
    WidgetOf(*copy)->setParent(WidgetOf(*t)->parentWidget());
    WidgetOf(*copy)->setGeometry(WidgetOf(*t)->geometry());
    copy->setFont(t->font());
    copy->setTextColour(t->textColour());
    copy->setCursor(t->cursor());
    copy->setCaption(t->caption());
    copy->setVisible(false);
    for (const auto& [e, r] : t->bindings()) copy->bind(e, r);
    variable = copy.get();
    w->addCopy(std::move(copy));
}

Control* CopiedControl(const Window& window, int n) {
    return window.copied(n);
}

bool SetWindowOutline(Window& window, const Bytes& mask, Colour key) {
    std::vector<QRect> runs = OutlineRuns(mask, key);
    if (runs.empty())
        return false;
    QRegion region;
    region.setRects(runs.data(), static_cast<int>(runs.size()));
    WidgetOf(window)->setMask(region);
    return true;
}

bool ShowTrayIcon(Window& window, const Bytes& icon, const Text& tip) {
    if (!window.tray)
        window.tray = std::make_unique<TrayIcon>();
    QIcon qicon;
    QByteArray data(icon.data(), static_cast<qsizetype>(icon.size()));
    QBuffer buffer(&data);
    QImageReader reader(&buffer, "ico");
    do {
        QImage img = reader.read();
        if (!img.isNull())
            qicon.addPixmap(QPixmap::fromImage(img));
    } while (reader.jumpToNextImage());
    QSystemTrayIcon& t = window.tray->icon;
    t.setIcon(qicon);
    t.setToolTip(ToQString(tip));
    Window* w = &window;
    QObject::connect(&t, &QSystemTrayIcon::activated, [w](QSystemTrayIcon::ActivationReason r) {
        int action = r == QSystemTrayIcon::Trigger       ? 1
                     : r == QSystemTrayIcon::DoubleClick ? 2
                     : r == QSystemTrayIcon::Context     ? 3
                     : r == QSystemTrayIcon::MiddleClick ? 4
                                                         : 0;
        w->raise(Event::TrayIcon, action);
    });
    t.show();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

}  // namespace qv
