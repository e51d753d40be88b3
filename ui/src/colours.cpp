// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/colours.h"

#include <QApplication>
#include <QPalette>

namespace vistrel::ui {

QColor colourOf(ColourValue value) {
    if ((value & 0x80000000U) == 0) {
        return {static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                static_cast<int>((value >> 16) & 0xFF)};
    }
    const QPalette system = QApplication::palette();
    switch (value & 0xFF) {
    case 0x05: return system.color(QPalette::Base);
    case 0x08: return system.color(QPalette::Text);
    case 0x0F: return system.color(QPalette::Button);
    case 0x12: return system.color(QPalette::ButtonText);
    default: return system.color(QPalette::WindowText);
    }
}

} // namespace vistrel::ui
