// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/form1.h"

#include "controls.h"
#include "ui/colours.h"
#include "ui/message_box.h"
#include "ui/regional.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>

#include <algorithm>

namespace vistrel::ui {

namespace {

// Where the window's client area was first placed, in twips from the screen's corner.
constexpr int kStartLeft = 1515;
constexpr int kStartTop = 435;

} // namespace

Form1::Form1(MessageSink* messages)
    : ownMessages_(messages == nullptr ? std::make_unique<DialogMessageSink>(this) : nullptr),
      messages_(messages == nullptr ? ownMessages_.get() : messages) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Form1"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    QPalette surface = palette();
    surface.setColor(QPalette::Window, colourOf(kButtonFace));
    setPalette(surface);
    setAutoFillBackground(true);

    const QSize client(toPixels(kClientWidthTwips), toPixels(kClientHeightTwips));
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QPoint origin = screen != nullptr ? screen->availableGeometry().topLeft() : QPoint();
    setGeometry(QRect(origin + QPoint(toPixels(kStartLeft), toPixels(kStartTop)), client));
    setFixedSize(client);

    buildControls();
    // The design's "0.0" must read as a number under the user's settings too,
    // or every calculation would stop at the field correction.
    for (const ControlSpec& spec : controlTable()) {
        if (spec.kind == Kind::TextBox && !spec.caption.empty()) {
            control<QLineEdit>(spec.name).setText(localNumberText(spec.caption, QLocale()));
        }
    }
    connectHandlers();
}

Form1::~Form1() = default;

void Form1::buildControls() {
    const auto table = controlTable();
    FrameControl* frame2 = nullptr;
    for (const ControlSpec& spec : table) {
        if (spec.in == Container::Frame2 && frame2 == nullptr) {
            qFatal("%s comes before its frame", spec.name.data());
        }
        if (spec.kind == Kind::Line) {
            if (spec.in == Container::Form1) {
                lines_.push_back(&spec);
            } else {
                frame2->addLine(spec);
            }
            continue;
        }
        QWidget* w = createControl(spec, spec.in == Container::Form1 ? *this : *static_cast<QWidget*>(frame2));
        controls_.insert(w->objectName(), w);
        if (spec.kind == Kind::Frame) {
            frame2 = static_cast<FrameControl*>(w);
        }
    }

    // Labels lie beneath every other kind of control, in table order among themselves.
    std::for_each(table.rbegin(), table.rend(), [&](const ControlSpec& spec) {
        if (spec.kind == Kind::Label) {
            control<QWidget>(spec.name).lower();
        }
    });
    // The calculation screen covers the whole display-type screen.
    control<QWidget>("Frame2").raise();

    // Qt makes an option button exclusive with every option button anywhere beneath its parent,
    // so the display-type pair would share a group with the frame's mode options: with a mode
    // selected, a click on the selected display type cleared it. The pair gets a group of its own.
    auto* displayTypes = new QButtonGroup(this);
    for (const ControlSpec& spec : table) {
        if (spec.kind == Kind::OptionButton && spec.in == Container::Form1) {
            displayTypes->addButton(&control<QAbstractButton>(spec.name));
        }
    }

    std::vector<const ControlSpec*> tabOrder;
    for (const ControlSpec& spec : table) {
        if (spec.tab >= 0 && control<QWidget>(spec.name).focusPolicy() != Qt::NoFocus) {
            tabOrder.push_back(&spec);
        }
    }
    std::sort(tabOrder.begin(), tabOrder.end(), [](const auto* x, const auto* y) { return x->tab < y->tab; });
    for (const ControlSpec* spec : tabOrder) {
        auto& w = control<QWidget>(spec->name);
        if (!tabOrder_.empty()) {
            setTabOrder(tabOrder_.back().first, &w);
        }
        tabOrder_.emplace_back(&w, w.focusPolicy());
    }
    control<QWidget>("Frame2").installEventFilter(this);
    keyboardToScreen(false);
}

// The keyboard serves the screen in view only: while the frame covers the display-type screen,
// the controls beneath take no focus, so Tab, Space and typing cannot reach what the user cannot see.
void Form1::keyboardToScreen(bool calculation) {
    const auto& frame2 = control<QWidget>("Frame2");
    QWidget* first = nullptr;
    for (const auto& [w, policy] : tabOrder_) {
        const bool inFrame = frame2.isAncestorOf(w);
        if (!inFrame) {
            w->setFocusPolicy(calculation ? Qt::NoFocus : policy);
        }
        if (first == nullptr && inFrame == calculation) {
            first = w;
        }
    }
    if (first != nullptr) {
        first->setFocus(Qt::OtherFocusReason);
    }
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    const bool switched = event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent;
    if (switched && watched == &control<QWidget>("Frame2")) {
        keyboardToScreen(event->type() == QEvent::ShowToParent);
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::paintEvent(QPaintEvent* /*event*/) { paintLines(*this, lines_); }

void Form1::closeEvent(QCloseEvent* event) {
    // A close request that arrives while the window folds up is the same close.
    if (closing_) {
        event->ignore();
        return;
    }
    closing_ = true;
    std::int16_t cancel = 0;
    Form_Unload(cancel);
    closing_ = cancel == 0;
    event->setAccepted(cancel == 0);
}

} // namespace vistrel::ui
