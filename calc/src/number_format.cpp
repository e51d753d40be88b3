// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/number_format.h"

namespace vistrel {

NumberFormat NumberFormat::invariant() { return {}; }

NumberFormat NumberFormat::usEnglish() {
    NumberFormat f;
    f.group.push_back(',');
    return f;
}

} // namespace vistrel
