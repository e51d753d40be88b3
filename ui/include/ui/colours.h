// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/control_table.h"

#include <QColor>

namespace vistrel::ui {

// The colour a value stands for; system colours come from the application palette.
[[nodiscard]] QColor colourOf(ColourValue value);

} // namespace vistrel::ui
