// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/control_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

namespace {

using vistrel::ui::Kind;

TEST(ControlTable, KindsNamesAndTabPlaces) {
    std::map<Kind, int> counts;
    std::set<std::string_view> names;
    std::vector<int> places;
    for (const auto& c : vistrel::ui::controlTable()) {
        ++counts[c.kind];
        EXPECT_TRUE(names.insert(c.name).second) << "twice: " << c.name;
        if (c.kind != Kind::Line) {
            places.push_back(c.tab);
        }
    }
    EXPECT_EQ(counts, (std::map<Kind, int>{{Kind::Label, 48},
                                           {Kind::TextBox, 25},
                                           {Kind::Line, 11},
                                           {Kind::CommandButton, 5},
                                           {Kind::OptionButton, 5},
                                           {Kind::ComboBox, 1},
                                           {Kind::Frame, 1}}));
    std::sort(places.begin(), places.end());
    for (std::size_t k = 0; k < places.size(); ++k) {
        ASSERT_EQ(places[k], static_cast<int>(k)) << "tab places run from 0 to 84, each once";
    }
}

} // namespace
