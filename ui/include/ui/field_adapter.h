// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calc/fields.h"

#include <QString>

#include <array>

class QAbstractButton;
class QWidget;

namespace vistrel::ui {

// The window's boxes as the engine's field set, found by their object names.
class WidgetFieldStore final : public FieldStore {
  public:
    explicit WidgetFieldStore(QWidget& window);

    [[nodiscard]] std::string text(Field field) const override;
    void setText(Field field, std::string_view text) override;
    [[nodiscard]] bool isSelected(ModeOption option) const override;

  private:
    std::array<QWidget*, kFieldCount> fields_{};
    std::array<QAbstractButton*, kModeOptionCount> options_{};
};

// Text of a text box or of the combo box's edit part.
[[nodiscard]] QString controlText(const QWidget& control);
void setControlText(QWidget& control, const QString& text);

} // namespace vistrel::ui
