// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calc/number_format.h"

#include <ostream>

// Regional formats that stress the number texts in different ways.
namespace vistrel::testing_formats {

inline NumberFormat german() {
    NumberFormat f;
    f.decimal = ",";
    f.group = ".";
    return f;
}

inline NumberFormat french() { // narrow no-break space between groups
    NumberFormat f;
    f.decimal = ",";
    f.group = "\u202F";
    return f;
}

inline NumberFormat indian() {
    NumberFormat f = NumberFormat::usEnglish();
    f.groupHigher = 2;
    return f;
}

inline NumberFormat swiss() {
    NumberFormat f;
    f.group = "\u2019";
    return f;
}

inline NumberFormat spanish() { // 1234 stays ungrouped, 12.345 is grouped
    NumberFormat f = german();
    f.groupMinLeading = 2;
    return f;
}

inline NumberFormat arabic() { // native digits, minus sign behind a direction mark
    NumberFormat f;
    f.decimal = "\u066B";
    f.group = "\u066C";
    f.minus = "\u061C-";
    f.digits = {"\u0660", "\u0661", "\u0662", "\u0663", "\u0664", "\u0665", "\u0666", "\u0667", "\u0668", "\u0669"};
    return f;
}

inline NumberFormat persian() {
    NumberFormat f = arabic();
    f.minus = "\u200E\u2212";
    f.digits = {"\u06F0", "\u06F1", "\u06F2", "\u06F3", "\u06F4", "\u06F5", "\u06F6", "\u06F7", "\u06F8", "\u06F9"};
    return f;
}

struct NamedFormat {
    const char* name;
    NumberFormat (*make)();
};

inline void PrintTo(const NamedFormat& f, std::ostream* os) { *os << f.name; }

inline const NamedFormat kAll[] = {
    {"invariant", NumberFormat::invariant},
    {"usEnglish", NumberFormat::usEnglish},
    {"german", german},
    {"french", french},
    {"indian", indian},
    {"swiss", swiss},
    {"spanish", spanish},
    {"arabic", arabic},
    {"persian", persian},
};

} // namespace vistrel::testing_formats
