// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/review_meta.h"

#include "analysis/read_bounded.h"

#include <toml++/toml.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <utility>

namespace vistrel::cli {

namespace {

int lineOf(const toml::key& key) { return static_cast<int>(key.source().begin.line); }

// The value as the page shows it, or nothing when it is no text, whole number or date.
std::optional<std::string> textOf(const toml::node& node) {
    if (const auto* s = node.as_string()) {
        return s->get();
    }
    if (const auto* i = node.as_integer()) {
        return std::to_string(i->get());
    }
    if (const auto* d = node.as_date()) {
        const toml::date& day = d->get();
        std::array<char, 16> text{};
        std::snprintf(text.data(), text.size(), "%04d-%02u-%02u", static_cast<int>(day.year),
                      static_cast<unsigned>(day.month), static_cast<unsigned>(day.day));
        return std::string(text.data());
    }
    return std::nullopt;
}

// Reads the keys of one table into the fields named; the error when a key is
// unknown or its value cannot be shown.
template <std::size_t N>
std::optional<Error> readFields(const toml::table& table,
                                const std::array<std::pair<std::string_view, std::string*>, N>& fields,
                                std::string_view others, const std::string& file) {
    for (const auto& [key, node] : table) {
        if (key == "revisions" && !others.empty()) {
            continue; // the top table's list, read on its own
        }
        const std::string_view name = key.str(); // clang's lambdas take no structured binding
        const auto field =
            std::find_if(fields.begin(), fields.end(), [name](const auto& f) { return f.first == name; });
        if (field == fields.end()) {
            std::string known;
            for (const auto& f : fields) {
                known += (known.empty() ? "" : ", ") + std::string(f.first);
            }
            return inputError("unknown key '" + std::string(key.str()) + "' (" + known + std::string(others) + ")",
                              file, lineOf(key));
        }
        const auto text = textOf(node);
        if (!text) {
            return inputError(std::string(key.str()) + " must be text, a whole number or a date", file, lineOf(key));
        }
        *field->second = *text;
    }
    return std::nullopt;
}

} // namespace

Expected<ReviewMeta> parseReviewMeta(std::string_view text, const std::string& file) {
    if (text.size() > kMaxReviewMetaBytes) {
        return inputError("the file is larger than 64 KiB, the most review metadata may hold", file);
    }
    toml::table root;
    try {
        root = toml::parse(text, file);
    } catch (const toml::parse_error& e) {
        return inputError(std::string(e.description()), file, static_cast<int>(e.source().begin.line));
    }
    ReviewMeta meta;
    const std::array<std::pair<std::string_view, std::string*>, 5> top{{{"doc_id", &meta.docId},
                                                                        {"revision", &meta.revision},
                                                                        {"date", &meta.date},
                                                                        {"prepared_by", &meta.preparedBy},
                                                                        {"approved_by", &meta.approvedBy}}};
    if (auto error = readFields(root, top, " or [[revisions]]", file)) {
        return *error;
    }
    const toml::node* list = root.get("revisions");
    if (list == nullptr) {
        return meta;
    }
    if (!list->is_array_of_tables()) {
        return inputError("revisions must be written as [[revisions]] tables", file,
                          static_cast<int>(list->source().begin.line));
    }
    const toml::array& tables = *list->as_array();
    if (tables.size() > kMaxRevisions) {
        return inputError("more than " + std::to_string(kMaxRevisions) + " revisions, the most the file may list", file,
                          static_cast<int>(tables.get(kMaxRevisions)->source().begin.line));
    }
    for (const toml::node& node : tables) {
        ReviewRevision& r = meta.revisions.emplace_back();
        const std::array<std::pair<std::string_view, std::string*>, 4> fields{
            {{"revision", &r.revision}, {"date", &r.date}, {"author", &r.author}, {"description", &r.description}}};
        if (auto error = readFields(*node.as_table(), fields, "", file)) {
            return *error;
        }
    }
    return meta;
}

Expected<ReviewMeta> loadReviewMeta(const std::filesystem::path& file) {
    auto text = readBounded(file, kMaxReviewMetaBytes, "the review metadata");
    if (!text) {
        return text.error();
    }
    return parseReviewMeta(*text, file.string());
}

} // namespace vistrel::cli
