// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace vistrel::ui {

enum class Kind { Label, TextBox, ComboBox, OptionButton, CommandButton, Frame, Line };
enum class Container { Form1, Frame2 };
// Point size and weight of the window's one typeface; None keeps the toolkit's font.
enum class FontStyle { None, S12, S12B, S18B, S24B };
enum class Align { Left, Centre };

// A colour value as the window stores it: &H00BBGGRR& for a plain colour,
// &H800000nn& for system colour nn.
using ColourValue = std::uint32_t;
inline constexpr ColourValue kWindowBackground = 0x80000005;
inline constexpr ColourValue kWindowText = 0x80000008;
inline constexpr ColourValue kButtonFace = 0x8000000F;
inline constexpr ColourValue kButtonText = 0x80000012;
inline constexpr ColourValue kGrey = 0x00808080;

inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kClientWidthTwips = 11955;
inline constexpr int kClientHeightTwips = 10845;

struct ControlSpec {
    std::string_view name;
    Kind kind;
    Container in;
    std::string_view caption;
    // Left, top, width and height; a line's X1, Y1, X2 and Y2.
    int a, b, c, d;
    FontStyle font;
    Align align;
    std::optional<ColourValue> fore; // text colour, or a line's colour
    std::optional<ColourValue> back;
    int index; // 0 when the control is not indexed
    int tab;   // -1 for lines
    bool hidden;
    std::string_view accessible; // empty: the caption says it
};

inline constexpr std::size_t kControlCount = 96;
[[nodiscard]] std::span<const ControlSpec, kControlCount> controlTable();
[[nodiscard]] const ControlSpec* findControl(std::string_view name);

} // namespace vistrel::ui
