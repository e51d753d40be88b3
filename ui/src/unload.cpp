#include "ui/form1.h"

#include "controls.h"
#include "ui/closing_animation.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QWindow>

#include <algorithm>

namespace vistrel::ui {

namespace {

// A top-level widget's outer frame, in twips.
class FrameGeometry final : public WindowGeometry {
  public:
    explicit FrameGeometry(QWidget& window) : window_(window) {}

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
    void setTop(int twips) override { window_.move(window_.frameGeometry().x(), toPixels(twips)); }
    void setLeft(int twips) override { window_.move(toPixels(twips), window_.frameGeometry().y()); }

    [[nodiscard]] int screenHeight() const override { return screenArea().height() * kTwipsPerPixel; }
    [[nodiscard]] int screenWidth() const override { return screenArea().width() * kTwipsPerPixel; }

    void processEvents() override { QCoreApplication::processEvents(); }

  private:
    // The window stays fixed-size for the user while it shrinks itself.
    void resizeClient(int w, int h) { window_.setFixedSize(std::max(w, 1), std::max(h, 1)); }

    [[nodiscard]] QRect screenArea() const {
        const QScreen* screen = window_.screen();
        return screen != nullptr ? screen->geometry() : QRect();
    }

    QWidget& window_;
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
}

} // namespace vistrel::ui
