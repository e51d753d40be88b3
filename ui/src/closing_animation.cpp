// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/closing_animation.h"

namespace vistrel::ui {

namespace {

constexpr int kStep = 100;
constexpr int kFoldedHeight = 500;
constexpr int kBarHeight = 30;
constexpr int kFoldedWidth = 2000;

struct Axis {
    int (WindowGeometry::*size)() const;
    void (WindowGeometry::*setSize)(int);
    void (WindowGeometry::*setStart)(int);
    int (WindowGeometry::*screenSize)() const;
    int done;
};

void shrink(WindowGeometry& w, const Axis& axis) {
    // The step bound is taken once, in single precision, before the first step.
    const float bound = static_cast<float>((w.*axis.size)()) / 2.0F;
    for (int n = 1; static_cast<float>(n) <= bound; ++n) {
        w.processEvents();
        (w.*axis.setSize)((w.*axis.size)() - kStep);
        // Both sides are whole twips, so halving truncates toward zero as required.
        (w.*axis.setStart)(((w.*axis.screenSize)() - (w.*axis.size)()) / 2);
        if ((w.*axis.size)() <= axis.done) {
            break;
        }
    }
}

} // namespace

void foldUp(WindowGeometry& window) {
    shrink(window, {&WindowGeometry::height, &WindowGeometry::setHeight, &WindowGeometry::setTop,
                    &WindowGeometry::screenHeight, kFoldedHeight});
    window.setHeight(kBarHeight);
    shrink(window, {&WindowGeometry::width, &WindowGeometry::setWidth, &WindowGeometry::setLeft,
                    &WindowGeometry::screenWidth, kFoldedWidth});
}

} // namespace vistrel::ui
