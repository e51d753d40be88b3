// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <string>

// Names each parameterized case after its label, so CTest names stay the same from run to run.
struct ByLabel {
    template <class T> std::string operator()(const testing::TestParamInfo<T>& info) const { return info.param.label; }
};
