#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vistrel {

// The named fields through which every value of the calculation passes.
enum class Field : std::size_t {
    SourceID2,
    DistSinM2,
    DistSinFT2,
    DistSinIn2,
    ILLLUX2,
    ILLFC2,
    BackLumCDM,
    BackLum,
    LetterLumCDM,
    LetterLum,
    LetterTrans2,
    BackTrans2,
    Age,
    ViewDist2,
    LetterHT2,
    LHSW,
    EaseOfRead,
    FieldCorr,
    LetterSize,
    StrokeSize,
    ActualCon,
    LogBack,
    ThresholdCon,
    LogThresholdCon,
    LogActualCon,
    Result,
};
inline constexpr std::size_t kFieldCount = static_cast<std::size_t>(Field::Result) + 1;

// The three input-mode option buttons; at most one is selected.
enum class ModeOption : std::size_t { SourceID2Op, ILL2Op, BackLum2Op };
inline constexpr std::size_t kModeOptionCount = 3;

[[nodiscard]] std::string_view fieldName(Field field);
[[nodiscard]] std::optional<Field> fieldFromName(std::string_view name);
[[nodiscard]] std::string_view modeOptionName(ModeOption option);

// Emptied, in this order, after a refused calculation.
inline constexpr std::array kClearedSet{Field::LHSW,         Field::LetterSize, Field::StrokeSize,
                                        Field::ThresholdCon, Field::ActualCon,  Field::LogThresholdCon,
                                        Field::LogActualCon, Field::LogBack,    Field::Result};

// The engine's only view of the window: texts by name, and the mode options.
class FieldStore {
  public:
    FieldStore() = default;
    FieldStore(const FieldStore&) = default;
    FieldStore& operator=(const FieldStore&) = default;
    FieldStore(FieldStore&&) = default;
    FieldStore& operator=(FieldStore&&) = default;
    virtual ~FieldStore() = default;

    [[nodiscard]] virtual std::string text(Field field) const = 0;
    virtual void setText(Field field, std::string_view text) = 0;
    [[nodiscard]] virtual bool isSelected(ModeOption option) const = 0;
};

// Fields held in memory, starting as the window starts: all empty except
// FieldCorr "0.0", and no mode selected.
class MemoryStore final : public FieldStore {
  public:
    MemoryStore();

    [[nodiscard]] std::string text(Field field) const override;
    void setText(Field field, std::string_view text) override;
    [[nodiscard]] bool isSelected(ModeOption option) const override;
    // The text without a copy, valid until the field is next written.
    [[nodiscard]] std::string_view view(Field field) const;

    // Selects one option and deselects the others, as the option group does.
    void select(ModeOption option);
    void selectNone();

  private:
    std::array<std::string, kFieldCount> texts_;
    std::array<bool, kModeOptionCount> selected_{};
};

// Empties the 25 inputs and outputs of the calculation screen; FieldCorr
// and the selected mode stay.
void clearFields(FieldStore& store);

} // namespace vistrel
