#include "calc/fields.h"

namespace vistrel {

namespace {

constexpr std::array<std::string_view, kFieldCount> kFieldNames{
    "SourceID2", "DistSinM2",    "DistSinFT2",      "DistSinIn2",   "ILLLUX2",    "ILLFC2",     "BackLumCDM",
    "BackLum",   "LetterLumCDM", "LetterLum",       "LetterTrans2", "BackTrans2", "Age",        "ViewDist2",
    "LetterHT2", "LHSW",         "EaseOfRead",      "FieldCorr",    "LetterSize", "StrokeSize", "ActualCon",
    "LogBack",   "ThresholdCon", "LogThresholdCon", "LogActualCon", "Result"};

constexpr std::array<std::string_view, kModeOptionCount> kModeOptionNames{"SourceID2Op", "ILL2Op", "BackLum2Op"};

constexpr std::array kClearOrder{
    Field::SourceID2,  Field::DistSinM2,       Field::DistSinFT2,   Field::DistSinIn2,   Field::ILLLUX2,
    Field::ILLFC2,     Field::BackLumCDM,      Field::BackLum,      Field::LetterLumCDM, Field::LetterLum,
    Field::Age,        Field::ViewDist2,       Field::LetterHT2,    Field::LHSW,         Field::LetterTrans2,
    Field::BackTrans2, Field::EaseOfRead,      Field::LetterSize,   Field::StrokeSize,   Field::ThresholdCon,
    Field::ActualCon,  Field::LogThresholdCon, Field::LogActualCon, Field::LogBack,      Field::Result};

constexpr std::size_t index(Field f) { return static_cast<std::size_t>(f); }

} // namespace

std::string_view fieldName(Field field) { return kFieldNames[index(field)]; }

std::optional<Field> fieldFromName(std::string_view name) {
    for (std::size_t k = 0; k < kFieldCount; ++k) {
        if (kFieldNames[k] == name) {
            return static_cast<Field>(k);
        }
    }
    return std::nullopt;
}

std::string_view modeOptionName(ModeOption option) { return kModeOptionNames[static_cast<std::size_t>(option)]; }

MemoryStore::MemoryStore() { texts_[index(Field::FieldCorr)] = "0.0"; }

std::string MemoryStore::text(Field field) const { return texts_[index(field)]; }

std::string_view MemoryStore::view(Field field) const { return texts_[index(field)]; }

void MemoryStore::setText(Field field, std::string_view text) { texts_[index(field)].assign(text); }

bool MemoryStore::isSelected(ModeOption option) const { return selected_[static_cast<std::size_t>(option)]; }

void MemoryStore::select(ModeOption option) {
    selectNone();
    selected_[static_cast<std::size_t>(option)] = true;
}

void MemoryStore::selectNone() { selected_.fill(false); }

void clearFields(FieldStore& store) {
    for (const Field f : kClearOrder) {
        store.setText(f, "");
    }
}

} // namespace vistrel
