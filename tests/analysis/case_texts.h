// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Cases for tests, built from (column name, text) pairs as a row gives them.

#include "analysis/cases.h"
#include "analysis/explore.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vistrel::cli::testing_cases {

using Texts = std::vector<std::pair<std::string_view, std::string_view>>;

// Every text must be taken: a misspelt name or a bad mode fails the test.
inline Case caseOf(const Texts& texts, const Texts& more = {}) {
    Case c;
    for (const Texts* list : {&texts, &more}) {
        for (const auto& [name, text] : *list) {
            const auto column = columnIndex(name);
            EXPECT_TRUE(column && c.set(*column, text)) << name;
        }
    }
    return c;
}

// The verdict state of c with one input set to x.
inline std::string stateWith(Case c, std::size_t column, double x) {
    const NumberText numbers(NumberFormat::invariant());
    c.set(column, numbers.plain(x));
    const Evaluation e = evaluate(c, numbers);
    return verdictState(c, e);
}

} // namespace vistrel::cli::testing_cases
