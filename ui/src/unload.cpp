// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/form1.h"

#include "controls.h"
#include "ui/closing_animation.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <algorithm>

namespace vistrel::ui {

namespace {

// How long a geometry request may go unanswered: a window manager answers within
// milliseconds, and one that never does must not stall the fold for long.
constexpr int kReplyBoundMs = 100;

// Lets events run until the platform reports the window's geometry as requested, or
// the bound passes. Reading back before the report arrives gives the size before
// the request, or a stale one that a later report then undoes.
class GeometryReplies final : public QObject {
  public:
    explicit GeometryReplies(QWindow* window) : window_(window) {
        if (window_ != nullptr) {
            window_->installEventFilter(this);
        }
    }
    ~GeometryReplies() override {
        if (window_ != nullptr) {
            window_->removeEventFilter(this);
        }
    }
    GeometryReplies(const GeometryReplies&) = delete;
    GeometryReplies& operator=(const GeometryReplies&) = delete;

    // Makes a request through `change` and waits for its answer.
    template <class Change> void request(Change change) {
        send(change);
        await();
    }

    // Makes a request without waiting for its answer, for one that nothing reads back: the window
    // gets on with its next frame meanwhile. The answer to the last request always comes first, as
    // a request built on a position that a late report then overwrote would move the window back.
    // A request that leaves the platform's geometry as it was sends nothing, so nothing answers it.
    template <class Change> void send(Change change) {
        await();
        const QRect before = platformGeometry();
        answered_ = false;
        change();
        wanted_ = platformGeometry();
        answered_ = answered_ || wanted_ == before;
    }

    // Waits for the answer to the last request, unless it has come.
    void await() {
        if (answered_ || window_ == nullptr) {
            return;
        }
        QEventLoop loop;
        loop_ = &loop;
        QTimer::singleShot(kReplyBoundMs, &loop, &QEventLoop::quit);
        loop.exec();
        loop_ = nullptr;
        answered_ = true; // one that never came is not waited for twice
    }

  protected:
    bool eventFilter(QObject* /*target*/, QEvent* event) override {
        const bool report = event->type() == QEvent::Resize || event->type() == QEvent::Move;
        if (report && platformGeometry() == wanted_) {
            answered_ = true;
            if (loop_ != nullptr) {
                loop_->quit();
            }
        }
        return false;
    }

  private:
    // What the platform window holds: the last request until the platform reports, then the report.
    [[nodiscard]] QRect platformGeometry() const { return window_ != nullptr ? window_->geometry() : QRect(); }

    QPointer<QWindow> window_;
    QEventLoop* loop_ = nullptr;
    QRect wanted_;
    bool answered_ = true;
};

// A top-level widget's outer frame, in twips.
class FrameGeometry final : public WindowGeometry {
  public:
    explicit FrameGeometry(QWidget& window) : window_(window), replies_(window.windowHandle()) {}

    [[nodiscard]] int height() const override { return window_.frameGeometry().height() * kTwipsPerPixel; }
    [[nodiscard]] int width() const override { return window_.frameGeometry().width() * kTwipsPerPixel; }

    void setHeight(int twips) override {
        const int border = window_.frameGeometry().height() - window_.height();
        resizeClient(window_.width(), toPixels(twips) - border);
    }
    void setWidth(int twips) override {
        const int border = window_.frameGeometry().width() - window_.width();
        resizeClient(toPixels(twips) - border, window_.height());
    }
    // A window's position is that of its frame.
    void setTop(int twips) override { moveFrame(window_.frameGeometry().x(), toPixels(twips)); }
    void setLeft(int twips) override { moveFrame(toPixels(twips), window_.frameGeometry().y()); }

    // The last move is answered before the window closes, so its geometry is the one reported.
    void settle() { replies_.await(); }

    [[nodiscard]] int screenHeight() const override { return screenArea().height() * kTwipsPerPixel; }
    [[nodiscard]] int screenWidth() const override { return screenArea().width() * kTwipsPerPixel; }

    // Each step paints once, here: a platform that paints on a timer would otherwise show the window
    // only now and then, and a paint between a resize and its re-centring would show it off centre.
    void processEvents() override {
        window_.setUpdatesEnabled(true);
        window_.repaint();
        QCoreApplication::processEvents();
        window_.setUpdatesEnabled(false);
    }

  private:
    // The window stays fixed-size for the user while it shrinks itself.
    void resizeClient(int w, int h) {
        replies_.request([&] { window_.setFixedSize(std::max(w, 1), std::max(h, 1)); });
    }
    // A move changes no size, so the fold reads nothing back from its answer.
    void moveFrame(int x, int y) {
        replies_.send([&] { window_.move(x, y); });
    }

    [[nodiscard]] QRect screenArea() const {
        const QScreen* screen = window_.screen();
        return screen != nullptr ? screen->geometry() : QRect();
    }

    QWidget& window_;
    GeometryReplies replies_;
};

// Swallows the user's clicks and keys, and further close requests, while the window folds up.
class InputBlocker final : public QObject {
  public:
    explicit InputBlocker(QWidget& window) : window_(window) { qApp->installEventFilter(this); }
    ~InputBlocker() override { qApp->removeEventFilter(this); }
    InputBlocker(const InputBlocker&) = delete;
    InputBlocker& operator=(const InputBlocker&) = delete;

  protected:
    bool eventFilter(QObject* target, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease: return true;
        // Accepting a second close of the platform window would destroy it under the animation.
        case QEvent::Close: return target == window_.windowHandle() || target == &window_;
        default: return false;
        }
    }

  private:
    QWidget& window_;
};

} // namespace

void Form1::Form_Unload(std::int16_t& /*cancel*/) {
    const InputBlocker blocker(*this);
    FrameGeometry geometry(*this);
    foldUp(geometry);
    geometry.settle();
    setUpdatesEnabled(true);
}

} // namespace vistrel::ui
