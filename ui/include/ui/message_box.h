// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calc/calculate.h"

class QWidget;

namespace vistrel::ui {

// Shows each message in a modal box with an OK button, titled with the application's name.
class DialogMessageSink final : public MessageSink {
  public:
    explicit DialogMessageSink(QWidget* parent) : parent_(parent) {}

    void showMessage(std::string_view text, MessageStyle style) override;

  private:
    QWidget* parent_;
};

} // namespace vistrel::ui
