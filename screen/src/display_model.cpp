// SPDX-License-Identifier: GPL-3.0-or-later
// The display a screenshot is shown on, from a TOML file and the options.
#include "screen/image.h"

#include "analysis/read_bounded.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <string>

namespace vistrel::screen {

namespace {

constexpr std::size_t kMaxDisplayFileBytes = 64 * std::size_t{1024};

Error refused(const std::string& file, std::string message, int line = 0) {
    return {cli::ErrorKind::Usage, std::move(message), file, line};
}

} // namespace

Expected<DisplayModel> parseTransfer(const std::string& text, DisplayModel into) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    auto bad = [&](const std::string& why) {
        return cli::usageError("transfer '" + text + "' " + why + " (srgb, linear or gamma:G with G from 0.1 to 10)");
    };
    if (lower == "srgb") {
        into.transfer = Transfer::Srgb;
        return into;
    }
    if (lower == "linear") {
        into.transfer = Transfer::Linear;
        return into;
    }
    if (!lower.starts_with("gamma:")) {
        return bad("is unknown");
    }
    const std::string number = text.substr(6);
    const bool plain = !number.empty() && std::all_of(number.begin(), number.end(),
                                                      [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
    const auto parsed = NumberText(NumberFormat::invariant()).parse(number);
    if (!plain || !parsed.ok()) {
        return bad("has no plain number after 'gamma:'");
    }
    if (!(parsed.value >= 0.1 && parsed.value <= 10.0)) {
        return bad("has a gamma outside 0.1 to 10");
    }
    into.transfer = Transfer::Gamma;
    into.gamma = parsed.value;
    return into;
}

DisplayModel overlay(DisplayModel file, const DisplayModel& options) {
    if (options.whiteCdm2) {
        file.whiteCdm2 = options.whiteCdm2;
    }
    if (options.blackCdm2) {
        file.blackCdm2 = options.blackCdm2;
    }
    if (options.transfer) {
        file.transfer = options.transfer;
        file.gamma = options.gamma;
    }
    // Pitch and width are two ways of saying one thing: an option for either
    // replaces whichever the file gave.
    if (options.pixelPitchMm || options.widthMm) {
        file.pixelPitchMm = options.pixelPitchMm;
        file.widthMm = options.widthMm;
    }
    return file;
}

Expected<DisplayModel> readDisplayModel(const std::string& file) {
    std::error_code error;
    if (std::filesystem::is_directory(file, error)) {
        return refused(file, "is a folder, not a display model");
    }
    auto text = cli::readBounded(file, kMaxDisplayFileBytes, "the display model", cli::ErrorKind::Usage);
    if (!text) {
        return text.error();
    }
    if (text->size() > kMaxDisplayFileBytes) {
        return refused(file, "is larger than 64 KiB, too large for a display model");
    }
    toml::table root;
    try {
        root = toml::parse(*text, file);
    } catch (const toml::parse_error& e) {
        return refused(file, std::string(e.description()), static_cast<int>(e.source().begin.line));
    }
    DisplayModel model;
    for (const auto& [key, node] : root) {
        const int line = static_cast<int>(key.source().begin.line);
        const std::string name(key.str());
        if (name == "transfer") {
            if (!node.is_string()) {
                return refused(file, "transfer must be text: \"srgb\", \"linear\" or \"gamma:G\"", line);
            }
            auto parsed = parseTransfer(node.as_string()->get(), model);
            if (!parsed) {
                return refused(file, parsed.error().message, line);
            }
            model = *parsed;
            continue;
        }
        std::optional<double>* target = name == "white_cdm2"       ? &model.whiteCdm2
                                        : name == "black_cdm2"     ? &model.blackCdm2
                                        : name == "pixel_pitch_mm" ? &model.pixelPitchMm
                                        : name == "width_mm"       ? &model.widthMm
                                                                   : nullptr;
        if (target == nullptr) {
            return refused(file,
                           "unknown key '" + name + "' (white_cdm2, black_cdm2, transfer, pixel_pitch_mm or width_mm)",
                           line);
        }
        if (!node.is_number()) {
            return refused(file, name + " must be a number", line);
        }
        const double value = node.value<double>().value_or(std::nan(""));
        const bool zeroAllowed = name == "black_cdm2";
        if (!std::isfinite(value) || value < 0.0 || (value == 0.0 && !zeroAllowed)) {
            return refused(file, name + (zeroAllowed ? " must be a number of 0 or more" : " must be a number above 0"),
                           line);
        }
        *target = value;
    }
    return model;
}

} // namespace vistrel::screen
