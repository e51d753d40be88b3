// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/cases.h"

#include "analysis/angular_table.h"
#include "analysis/case_notes.h"

#include <algorithm>
#include <numeric>
#include <span>
#include <vector>

namespace vistrel::cli {

namespace {

// Each mode's text and the option it selects, in the order of Mode.
struct ModeRow {
    std::string_view text;
    std::optional<ModeOption> option;
};
constexpr std::array<ModeRow, 4> kModes{{
    {"none", std::nullopt},
    {"source", ModeOption::SourceID2Op},
    {"illuminance", ModeOption::ILL2Op},
    {"luminance", ModeOption::BackLum2Op},
}};

class CapturedMessage final : public MessageSink {
  public:
    void showMessage(std::string_view text, MessageStyle /*style*/) override { message.assign(text); }
    std::string message;
};

} // namespace

std::optional<std::size_t> columnIndex(std::string_view name) {
    for (const ColumnAlias& a : kColumnAliases) {
        if (a.alias == name) {
            name = a.name;
        }
    }
    for (std::size_t k = 0; k < kColumns.size(); ++k) {
        if (kColumns[k].name == name) {
            return k;
        }
    }
    return std::nullopt;
}

std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    std::iota(row.begin(), row.end(), std::size_t{0});
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

bool looksLike(std::string_view typed, std::string_view name) {
    std::string lower(typed);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    const std::size_t d = editDistance(lower, name);
    return (d <= 2 && 2 * d < name.size()) || (lower.size() >= 4 && name.starts_with(lower));
}

std::optional<std::string_view> nearColumn(std::string_view name) {
    if (name.size() > 64) {
        return std::nullopt; // far from every name, and a header cell may be megabytes long
    }
    std::optional<std::string_view> best;
    std::size_t bestDistance = 0;
    const auto consider = [&](std::string_view known) {
        const std::size_t d = editDistance(name, known);
        if (looksLike(name, known) && (!best || d < bestDistance)) {
            best = known;
            bestDistance = d;
        }
    };
    for (const Column& c : kColumns) {
        consider(c.name);
    }
    for (const ColumnAlias& a : kColumnAliases) {
        consider(a.alias);
    }
    return best;
}

std::string didYouMean(std::string_view name, bool (*taken)(std::string_view column)) {
    const auto near = nearColumn(name);
    if (!near || *near == name || !taken(*near)) {
        return {};
    }
    return "; did you mean " + std::string(*near) + "?";
}

std::optional<std::string_view> easeLevel(std::string_view text) {
    for (std::size_t k = 0; k < kEaseLevels.size(); ++k) {
        if (kEaseLevels[k].text == text || kEaseAliases[k] == text) {
            return kEaseLevels[k].text;
        }
    }
    return std::nullopt;
}

std::optional<Mode> modeFromText(std::string_view text) {
    if (text.empty()) {
        return Mode::None;
    }
    for (std::size_t k = 0; k < kModes.size(); ++k) {
        if (kModes[k].text == text) {
            return static_cast<Mode>(k);
        }
    }
    return std::nullopt;
}

std::string_view modeText(Mode mode) { return kModes[static_cast<std::size_t>(mode)].text; }

void Case::makeDaylight() { show(columnSet(true)); }

void Case::show(ColumnSet set) {
    shown_.add(set);
    if (daylight() || !shown_.daylight()) {
        return;
    }
    MemoryStore every(Holds::EveryField);
    for (const FieldInfo& f : kFields) {
        if (f.window) {
            every.setText(f.field, store_.view(f.field));
        }
    }
    if (const auto option = kModes[static_cast<std::size_t>(mode())].option) {
        every.select(*option);
    }
    store_ = std::move(every);
}

bool Case::setOther(std::size_t column, std::string_view text) {
    if (const auto field = kColumns[column].field) {
        if (!fieldInfo(*field).window) {
            show(ColumnSet::of(column));
        }
        if (text.empty() && store_.view(*field).empty()) {
            return true; // already so: most cases leave several columns empty
        }
        const auto level = *field == Field::EaseOfRead ? easeLevel(text) : std::nullopt;
        store_.setText(*field, level.value_or(text));
        return true;
    }
    const auto mode = modeFromText(text);
    if (!mode) {
        return false;
    }
    if (const auto option = kModes[static_cast<std::size_t>(*mode)].option) {
        store_.select(*option);
    } else {
        store_.selectNone();
    }
    return true;
}

void Case::setAngular(std::shared_ptr<const AngularTable> table) {
    if (table) {
        show(ColumnSet::of(*columnIndex(fieldInfo(Field::OffAxisFactor).key)));
    }
    angular_ = std::move(table);
}

Mode Case::mode() const {
    for (std::size_t k = 1; k < kModes.size(); ++k) {
        if (store_.isSelected(*kModes[k].option)) {
            return static_cast<Mode>(k);
        }
    }
    return Mode::None;
}

namespace {

// " (missing: age, illuminance_lux or illuminance_fc)" for the refusal that names no box.
std::string missingText(const Case& c, bool ratioGiven) {
    const std::size_t ratio = *columnIndex(fieldInfo(Field::LHSW).key);
    const std::array<std::size_t, 1> supplied{ratio};
    std::string out;
    for (const MissingInput& m : missingInputs(c, ratioGiven ? std::span(supplied) : std::span<const std::size_t>())) {
        out += out.empty() ? " (missing: " : ", ";
        for (std::size_t k = 0; k < m.columns.size(); ++k) {
            out += (k == 0 ? "" : " or ") + std::string(kColumns[m.columns[k]].name);
        }
    }
    return out.empty() ? out : out + ")";
}

// Why a positive background in cd/m^2 was refused: its fL form is zero.
std::string zeroBackgroundText(const Case& c, const NumberText& numbers) {
    const std::size_t cd = *columnIndex(fieldInfo(Field::BackLumCDM).key);
    const std::size_t fl = *columnIndex(fieldInfo(Field::BackLum).key);
    if (c.mode() != Mode::Luminance || !c.given(cd) || c.given(fl)) {
        return {};
    }
    const ParsedNumber given = numbers.parse(c.view(cd));
    const ParsedNumber held = numbers.parse(c.view(fl));
    if (!given.ok() || !held.ok() || !(given.value > 0) || held.value != 0) {
        return {};
    }
    return " " + std::string(kColumns[cd].name) + " " + c.text(cd) + " is held as " + c.text(fl) +
           " fL: three decimals round it to zero.";
}

// The factor of the case's angular table at its off-axis angle, written into
// off_axis_factor; why not, when the table cannot apply to the case.
Expected<void> applyAngular(Case& c, const NumberText& numbers) {
    const AngularTable& table = *c.angular();
    if (c.mode() == Mode::Source || c.mode() == Mode::Illuminance) {
        return usageError("the angular table " + table.file() +
                          " applies only in luminance mode, where the display emits its own light");
    }
    const std::size_t factorColumn = *columnIndex(fieldInfo(Field::OffAxisFactor).key);
    if (c.given(factorColumn)) {
        return usageError("off_axis_factor " + c.text(factorColumn) + " and the angular table " + table.file() +
                          " both give the display's off-axis luminance: give one");
    }
    const auto factor =
        table.factorText(c.store().view(Field::ViewTiltDeg), c.store().view(Field::ViewPanDeg), numbers);
    if (!factor) {
        return factor.error();
    }
    c.store().setText(Field::OffAxisFactor, *factor);
    return {};
}

} // namespace

Evaluation evaluate(Case& c, const NumberText& numbers) {
    CapturedMessage captured;
    Evaluation e;
    if (c.angular()) {
        if (auto applied = applyAngular(c, numbers); !applied) {
            c.store().setText(Field::Result, ""); // no verdict of an earlier press stays beside the refusal
            e.message = applied.error().text();
            return e;
        }
    }
    const bool ratioGiven = !c.store().view(Field::LHSW).empty(); // a refusal empties it
    e.outcome = calculate(c.store(), numbers, captured);
    e.message = std::move(captured.message);
    if (e.outcome == Outcome::MissingField) {
        e.message += missingText(c, ratioGiven);
    } else if (!e.hasVerdict()) {
        e.message += zeroBackgroundText(c, numbers);
    }
    if (c.daylight()) {
        e.notes = c.store().text(Field::Notes);
    }
    if (e.hasVerdict()) {
        const auto actual = numbers.parse(c.store().view(Field::LogActualCon));
        const auto threshold = numbers.parse(c.store().view(Field::LogThresholdCon));
        if (actual.ok() && threshold.ok()) {
            e.margin = numbers.threeDecimals(actual.value - threshold.value);
        }
    }
    return e;
}

} // namespace vistrel::cli
