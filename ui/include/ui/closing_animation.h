// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace vistrel::ui {

// What the closing animation needs of a window and its screen, in twips.
// Sizes are the outer ones, title bar and borders included, and are read
// back after every change: a platform may refuse a size.
class WindowGeometry {
  public:
    WindowGeometry() = default;
    WindowGeometry(const WindowGeometry&) = delete;
    WindowGeometry& operator=(const WindowGeometry&) = delete;
    virtual ~WindowGeometry() = default;

    [[nodiscard]] virtual int height() const = 0;
    [[nodiscard]] virtual int width() const = 0;
    virtual void setHeight(int twips) = 0;
    virtual void setWidth(int twips) = 0;
    virtual void setTop(int twips) = 0;
    virtual void setLeft(int twips) = 0;
    [[nodiscard]] virtual int screenHeight() const = 0;
    [[nodiscard]] virtual int screenWidth() const = 0;
    // Lets pending window events run, so each new size gets painted.
    virtual void processEvents() = 0;
};

// Folds the window up: height first, centred vertically, then width,
// centred horizontally.
void foldUp(WindowGeometry& window);

} // namespace vistrel::ui
