// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a review needs to be signed besides its findings: which document and
// revision it is, who prepared and who approved it. Read from a small TOML
// file; nothing is filled in for the caller, so a field not given stays
// empty and the page leaves a blank to fill in by hand.

#include "analysis/expected.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel::cli {

struct ReviewRevision {
    std::string revision;
    std::string date;
    std::string author;
    std::string description;
};

struct ReviewMeta {
    std::string docId;
    std::string revision;
    std::string date;
    std::string preparedBy;
    std::string approvedBy;
    std::vector<ReviewRevision> revisions; // as the file lists them
};

// A file holds at most kMaxReviewMetaBytes and kMaxRevisions revisions.
inline constexpr std::size_t kMaxReviewMetaBytes = std::size_t{64} << 10U;
inline constexpr std::size_t kMaxRevisions = 500;

// doc_id, revision, date, prepared_by, approved_by and [[revisions]] tables
// of revision, date, author and description. A value is text, a whole number
// or a TOML date. An unknown key is refused, since a misspelt one would
// silently leave its field blank. Errors name the file and line.
[[nodiscard]] Expected<ReviewMeta> parseReviewMeta(std::string_view text, const std::string& file);
[[nodiscard]] Expected<ReviewMeta> loadReviewMeta(const std::filesystem::path& file);

} // namespace vistrel::cli
