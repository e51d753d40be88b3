// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calc/number_format.h"

#include <QLocale>
#include <QString>

#include <string>
#include <string_view>

namespace vistrel::ui {

// The engine's number settings for a locale, read from what Qt writes for it.
[[nodiscard]] NumberFormat numberFormatFrom(const QLocale& locale);

// A number written with the point and ASCII digits, rewritten in the locale's symbols.
[[nodiscard]] QString localNumberText(std::string_view pointText, const QLocale& locale);

} // namespace vistrel::ui
