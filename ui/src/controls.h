// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/control_table.h"

#include <QFrame>
#include <QRect>

#include <span>
#include <vector>

namespace vistrel::ui {

[[nodiscard]] constexpr int toPixels(int twips) {
    // Round half away from zero so that a negative position keeps its size.
    return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                      : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}
[[nodiscard]] QRect pixelRect(const ControlSpec& spec);

// Creates the widget of any kind but a line, as the table describes it.
QWidget* createControl(const ControlSpec& spec, QWidget& container);

// Sets a text colour or a background the way the control's kind shows it.
void setForeColour(QWidget& control, Kind kind, ColourValue value);
void setBackColour(QWidget& control, Kind kind, ColourValue value);

// Draws a container's lines; containers call it first, so lines lie beneath every child.
void paintLines(QWidget& container, std::span<const ControlSpec* const> lines);

// A frame that draws its own lines.
class FrameControl final : public QFrame {
  public:
    explicit FrameControl(QWidget& parent) : QFrame(&parent) {}
    void addLine(const ControlSpec& line) { lines_.push_back(&line); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::vector<const ControlSpec*> lines_;
};

} // namespace vistrel::ui
